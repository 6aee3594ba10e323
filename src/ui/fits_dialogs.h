// The "FITS DETAILS" dialog and the Qt side of the FITS commands' dialogs:
// the details dialog and the save-file dialog with the FITS filter.
#pragma once

#include <QDialog>
#include <QString>
#include <map>
#include <utility>

#include "app/fits_commands.h"
#include "app/fits_details_model.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollBar;
class QWidget;

namespace tarvex::ui {

// TFitsDialog: one edit box per field of the FITS text record, the time
// difference bar, "Unsigned Integer Format" and the image format. "Continue"
// accepts, "Abort" rejects; the command stores the fields after a Continue.
class TFitsDialog : public QDialog {
  Q_OBJECT
 public:
  // `solution`, when not empty, is shown under the fields: where View >
  // Solve Image found the image to point.
  TFitsDialog(FitsDetailsModel& model, QWidget* parent = nullptr, const QString& solution = {});
  // The edit box of a field (its object name is the field's label).
  QLineEdit* field(FitsField f) const { return fields_.at(f); }
  QScrollBar* time_bar() const { return bar_; }
  QLabel* time_value() const { return bar_value_; }
  QCheckBox* unsigned_box() const { return unsigned_; }
  QLabel* image_format() const { return format_; }
  QLabel* solution() const { return solution_; }

 private:
  void show_time_difference();
  FitsDetailsModel& model_;
  std::map<FitsField, QLineEdit*> fields_;
  QScrollBar* bar_;
  QLabel* bar_value_;
  QCheckBox* unsigned_;
  QLabel* format_;
  QLabel* solution_ = nullptr;
};

// Runs a save-file dialog ("Save As") with a filter in the program's
// "text|pattern|...|" form and a default extension (may be empty); an empty
// string for Cancel.
QString ask_save_file(QWidget* parent, const char* filter, const QString& default_suffix);

// The FITS commands' dialogs as modal Qt dialogs owned by `parent`.
class QtFitsDialogs : public FitsDialogs {
 public:
  explicit QtFitsDialogs(QWidget* parent, QString solution = {})
      : parent_(parent), solution_(std::move(solution)) {}
  bool run_details(FitsDetailsModel& model) override;
  std::filesystem::path choose_save_path(const std::string& filter,
                                         const std::string& default_extension) override;

 private:
  QWidget* parent_;
  QString solution_;
};

}  // namespace tarvex::ui
