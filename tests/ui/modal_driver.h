// Drives the modal dialogs a command opens: each step waits for the next
// modal dialog of the expected kind and acts on it (it must close it). A
// dialog no step expects is rejected and counted, so a test never hangs.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <vector>

namespace tarvex::ui::testing {

class ModalDriver {
 public:
  ModalDriver() {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] { check(); });
    timer_.start();
  }
  template <class D>
  ModalDriver& then(std::function<void(D*)> act) {
    steps_.push_back([act](QWidget* w) {
      auto* d = qobject_cast<D*>(w);
      if (d == nullptr) return false;
      act(d);
      return true;
    });
    return *this;
  }
  bool finished() const { return done == static_cast<int>(steps_.size()); }
  int done = 0;
  int unexpected = 0;

 private:
  void check() {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || w == last_.data() || !w->isVisible()) return;
    last_ = w;
    if (done < static_cast<int>(steps_.size()) && steps_[done](w)) {
      ++done;
    } else if (auto* d = qobject_cast<QDialog*>(w)) {
      ++unexpected;
      d->reject();
    }
  }
  QTimer timer_;
  QPointer<QWidget> last_;
  std::vector<std::function<bool(QWidget*)>> steps_;
};

}  // namespace tarvex::ui::testing
