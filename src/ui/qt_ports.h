// The Qt adapters of the ports: message boxes, the "Filter Progress" window,
// the event pump, the clock and the launcher of separate programs.
#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>

#include "platform/basic_ports.h"
#include "platform/ports.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace tarvex::ui {

// Modal boxes owned by the main window: caption "Tarvex", one OK button, no icon.
class QtMessages : public Messages {
 public:
  explicit QtMessages(QWidget* owner) : owner_(owner) {}
  int message(unsigned code, const std::string& text) override;
  int box(const std::string& caption, const std::string& text, BoxIcon icon) override;
  bool ask_yes_no(const std::string& caption, const std::string& text) override;
  // A warning box with the buttons "Save", "Discard" and "Cancel"; Escape
  // and closing the box cancel.
  SaveChoice ask_save_discard_cancel(const std::string& caption, const std::string& text) override;

 private:
  QWidget* owner_;
};

// TProgressDialog: the modeless "Filter Progress" window, a bar 0..256
// between "0%" and "100%" under the caller's caption.
class TProgressDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TProgressDialog(QWidget* parent);
  void start(const QString& caption);
  void set_position(int position);
  int position() const;
  QString caption() const;

 private:
  QLabel* caption_;
  QProgressBar* bar_;
};

class QtProgress : public Progress {
 public:
  explicit QtProgress(QWidget* owner) : owner_(owner) {}
  void open(const std::string& caption) override;
  void set_position(int position) override;
  void close() override;
  void busy_cursor(bool on) override;
  TProgressDialog* dialog() const { return dialog_; }

 private:
  QWidget* owner_;
  QPointer<TProgressDialog> dialog_;
  int busy_depth_ = 0;
};

// Marks a window or a single control as a place where a key or button press
// asks a long operation to stop: the main window, the progress and Guiding
// Info windows that show the operation, the camera dialog's focus "Stop".
void mark_stop_source(QWidget* widget);

// Handles pending events; an event filter on the application records which
// input arrived (a key, the left or the right mouse button) for the long
// operation to act on. Only presses on a stop source count: a press that a
// message box, a dialog or a menu takes (the click on "OK", the Enter that
// closes a box, a click on one of the camera dialog's own controls) belongs
// to that window and is no request to stop; nor is a held key's repeat.
class QtEventPump : public QObject, public EventPump {
  Q_OBJECT
 public:
  QtEventPump();
  void pump() override;
  Inputs pending() const override { return pending_; }
  void clear(Inputs which = Inputs::all()) override { pending_ = pending_.without(which); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Inputs pending_;
};

class QtClock : public SteadyClock {
 public:
  void beep() override;
};

// Starts a separate program detached. A bare program name is looked for
// beside this program first, then on the PATH.
class QtLauncher : public Launcher {
 public:
  bool start_detached(const std::string& program, const std::vector<std::string>& args) override;
};

}  // namespace tarvex::ui
