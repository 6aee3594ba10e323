// The small dialogs of the main window: "Label Current Image", "Stretch
// Palette" and the modeless "Pixel Value" box of Show Values.
#pragma once

#include <QDialog>
#include <functional>

#include "app/label.h"
#include "app/view_commands.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollBar;

namespace tarvex::ui {

class TLabelDialog : public QDialog {
  Q_OBJECT
 public:
  TLabelDialog(LabelDialogModel& model, const FitsText& fits, Messages& messages,
               QWidget* parent = nullptr);
  QLineEdit* text_field() const { return text_; }
  QCheckBox* auto_date_box() const { return auto_date_; }
  QCheckBox* fits_date_box() const { return fits_date_; }

 private:
  void refresh();
  LabelDialogModel& model_;
  QLineEdit* text_;
  QCheckBox* auto_date_;
  QCheckBox* fits_date_;
};

class TPaletteDialog : public QDialog {
  Q_OBJECT
 public:
  TPaletteDialog(StretchPaletteModel& model, QWidget* parent = nullptr);
  QScrollBar* scroll_bar() const { return bar_; }
  QLineEdit* value_field() const { return value_; }
  QCheckBox* all_images_box() const { return all_; }

 private:
  void refresh();
  StretchPaletteModel& model_;
  QScrollBar* bar_;
  QLineEdit* value_;
  QCheckBox* all_;
};

// The modeless "Pixel Value" box. Its colour buttons call `choose_view`
// with the view each names; "Finished" calls `finished`.
class TValuesDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TValuesDialog(QWidget* parent = nullptr);
  void show_readout(const PixelReadout& r);
  QString readout_text() const;
  std::function<void(ColourView)> choose_view;
  std::function<void()> finished;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* x_;
  QLabel* y_;
  QLabel* red_;
  QLabel* green_;
  QLabel* blue_;
  QLabel* lum_;
};

}  // namespace tarvex::ui
