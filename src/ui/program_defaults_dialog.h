// TINIDialog: File > Set Program Defaults. Every control acts at once on the
// settings in memory through ProgramDefaultsModel, then the dialog redraws
// every control from the settings.
#pragma once

#include <QDialog>
#include <map>

#include "app/program_defaults.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QRadioButton;

namespace tarvex::ui {

class TINIDialog : public QDialog {
  Q_OBJECT
 public:
  TINIDialog(ProgramDefaultsModel& model, QWidget* parent = nullptr);
  // Shows every control's current value.
  void refresh();
  // The control with this text (for tests and keyboard users alike).
  QAbstractButton* button(const QString& text) const;
  QLineEdit* field(const QString& name) const;

 private:
  QCheckBox* check(const QString& text, void (ProgramDefaultsModel::*toggle)());
  QRadioButton* radio(const QString& text, std::function<void()> choose);
  // Building the dialog, group by group.
  QGroupBox* slew_box();
  QWidget* option_checks();
  QGroupBox* subdir_box();
  QGroupBox* guide_algorithm_box();
  QGroupBox* dithering_box();
  // A number field of GUIDE_DEFAULTS_FIELDS with its label, in `g`; its
  // text is taken by "Save Changes", as the INDI fields' are.
  void add_guide_field(QGroupBox* g, const GuideDefaultsField& field);
  // Hands the guiding fields whose text changed to the model; false when
  // one was refused (its field shows the value kept again).
  bool apply_guide_fields();
  QHBoxLayout* closing_row();

  ProgramDefaultsModel& model_;
  std::map<QString, QAbstractButton*> buttons_;
  std::map<QString, QLineEdit*> fields_;
  bool refreshing_ = false;
};

}  // namespace tarvex::ui
