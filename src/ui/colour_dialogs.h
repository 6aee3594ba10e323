// The colour dialogs: "SYNTHESIZE COLOUR IMAGE", "Colour Starting Balance"
// and "CHROMATIC ADJUSTMENT", thin views over their models.
#pragma once

#include <QDialog>
#include <QWidget>
#include <map>

#include "app/colour/colour_dialog_models.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QRadioButton;
class QScrollBar;

namespace tarvex::ui {

// TColourDialog: the options of a colour synthesis. "Create Image" accepts
// only when the three edit boxes hold valid values; otherwise the clock
// beeps and the dialog stays open. "Cancel" rejects; "Help" shows the help.
class TColourDialog : public QDialog {
  Q_OBJECT
 public:
  TColourDialog(SynthesisDialogModel& model, Clock& clock, Messages& messages,
                QWidget* parent = nullptr);
  // A check box, radio button or push button by its text.
  QAbstractButton* button(const QString& text) const { return buttons_.at(text); }
  QLineEdit* box(SynthesisDialogModel::Box box) const { return boxes_.at(box); }

 private:
  void refresh();
  // Building the dialog, part by part.
  QLabel* hint(int index);
  QCheckBox* check(SynthesisDialogModel::Check c);
  QGroupBox* stretch_box();
  QWidget* sharpen_row();
  QHBoxLayout* closing_buttons(Clock& clock, Messages& messages);
  SynthesisDialogModel& model_;
  std::map<QString, QAbstractButton*> buttons_;
  std::map<SynthesisDialogModel::Box, QLineEdit*> boxes_;
};

// One colour's histogram box of the balance dialog: 128 x 211 pixels, the
// model's plot lines drawn at their own coordinates on white.
class BalanceHistogramView : public QWidget {
  Q_OBJECT
 public:
  BalanceHistogramView(const BalanceDialogModel& model, BalanceDialogModel::Colour colour,
                       QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const BalanceDialogModel& model_;
  BalanceDialogModel::Colour colour_;
};

// TBalanceDialog: three columns Red, Green, Blue with Start, Min and Max
// bars and boxes under each colour's histogram, and the saturation factor.
// "Apply" accepts (the command then balances), "Cancel" rejects.
class TBalanceDialog : public QDialog {
  Q_OBJECT
 public:
  using Colour = BalanceDialogModel::Colour;
  using Field = BalanceDialogModel::Field;
  TBalanceDialog(BalanceDialogModel& model, Messages& messages, QWidget* parent = nullptr);
  QScrollBar* bar(Colour colour, Field field) const { return bars_.at({colour, field}); }
  QLineEdit* box(Colour colour, Field field) const { return boxes_.at({colour, field}); }
  QScrollBar* saturation_bar() const { return saturation_bar_; }
  QLineEdit* saturation_box() const { return saturation_box_; }
  BalanceHistogramView* histogram(Colour colour) const { return histograms_.at(colour); }
  QAbstractButton* button(const QString& text) const { return buttons_.at(text); }

 private:
  void refresh();
  BalanceDialogModel& model_;
  std::map<std::pair<Colour, Field>, QScrollBar*> bars_;
  std::map<std::pair<Colour, Field>, QLineEdit*> boxes_;
  std::map<Colour, BalanceHistogramView*> histograms_;
  std::map<QString, QAbstractButton*> buttons_;
  QScrollBar* saturation_bar_;
  QLineEdit* saturation_box_;
};

// TChromaticDialog: "Left / Right" and "Up / Down" controls for red and for
// blue, each stepping its shift by one within -3..+3. "OK" accepts.
class TChromaticDialog : public QDialog {
  Q_OBJECT
 public:
  using Control = ChromaticDialogModel::Control;
  TChromaticDialog(ChromaticDialogModel& model, Messages& messages, QWidget* parent = nullptr);
  QScrollBar* control(Control c) const { return controls_.at(c); }
  QLineEdit* box(Control c) const { return boxes_.at(c); }
  QAbstractButton* button(const QString& text) const { return buttons_.at(text); }

 private:
  ChromaticDialogModel& model_;
  std::map<Control, QScrollBar*> controls_;
  std::map<Control, QLineEdit*> boxes_;
  std::map<QString, QAbstractButton*> buttons_;
};

}  // namespace tarvex::ui
