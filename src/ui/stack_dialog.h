// File > "Stack Files...": the lights, darks and flats of a night, the
// combine method and its kappa, star alignment, and where the stack goes (a
// 32-bit floating-point FITS file and optionally a 16-bit TIFF). The stack
// runs on the window's thread and pumps events at every step, so the window
// stays alive and "Cancel" stops it; the result is reported in the dialog
// and put on show as the current image when it has the camera's frame size.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

#include "app/stack/batch_stack.h"
#include "app/tarvex.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tarvex::ui {

inline constexpr const char* STACK_DIALOG_TITLE = "Stack Files";

class TStackDialog : public QDialog {
  Q_OBJECT
 public:
  enum class Role { Lights, Darks, Flats };
  explicit TStackDialog(Tarvex& app, QWidget* parent = nullptr);
  ~TStackDialog() override;

  // Adds files to a list, as its "Add..." button does.
  void add_files(Role role, const QStringList& files);
  QListWidget* list(Role role) const;
  QComboBox* method_box() const { return method_; }
  QDoubleSpinBox* kappa_box() const { return kappa_; }
  QCheckBox* align_box() const { return align_; }
  QLineEdit* out_edit() const { return out_; }
  QCheckBox* tiff_box() const { return tiff_; }
  QLineEdit* tiff_edit() const { return tiff_path_; }
  QPushButton* stack_button() const { return stack_; }
  QPushButton* cancel_button() const { return cancel_; }
  QProgressBar* progress_bar() const { return bar_; }
  QPlainTextEdit* report() const { return report_; }
  bool running() const { return running_; }
  // The outcome of the last run (empty before one).
  const StackOutcome& outcome() const { return outcome_; }

  // What the controls ask for.
  StackRequest request() const;

 public slots:
  // Starts the stack; returns when it has ended (written, failed or cancelled).
  void run();
  // Closing the dialog while a stack runs cancels the stack first.
  void reject() override;

 private:
  void set_running(bool on);
  bool step(int done, int total, const std::string& what);
  void show_outcome(const StackRequest& request);

  Tarvex& app_;
  QListWidget* lists_[3] = {};
  QComboBox* method_ = nullptr;
  QDoubleSpinBox* kappa_ = nullptr;
  QCheckBox* align_ = nullptr;
  QLineEdit* out_ = nullptr;
  QCheckBox* tiff_ = nullptr;
  QLineEdit* tiff_path_ = nullptr;
  QPushButton* stack_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QLabel* stage_ = nullptr;
  QPlainTextEdit* report_ = nullptr;
  QWidget* settings_ = nullptr;  // every control a run must not change
  bool running_ = false;
  bool cancel_requested_ = false;
  StackOutcome outcome_;
};

}  // namespace tarvex::ui
