// The dialogs of the Merge menu and of File > "Select Dark Frame" and
// File > "Delete": the calibration file chooser, the "Delete Selected File"
// confirmation and the modeless "MERGE IMAGES" box.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "app/processing/file_chooser.h"
#include "app/processing/merge_commands.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarvex::ui {

// The chooser's title: what the command opens the file for.
QString chooser_title(ChooserMode mode);

// Shows the file-open dialog on the chooser's filter, starting on the filter
// it remembers, and returns the existing file chosen (empty when cancelled).
QString ask_chooser_file(const FileChooserModel& model, QWidget* parent);

// "Delete Selected File": the prompt above a field holding the chosen path.
class TDeleteFileDialog : public QDialog {
  Q_OBJECT
 public:
  TDeleteFileDialog(const QString& path, QWidget* parent = nullptr);
  QLineEdit* path_field() const { return path_; }

 private:
  QLineEdit* path_;
};

// The modeless "MERGE IMAGES" box, a view of the merge dialog model. It
// shows the marked positions, which image is being marked and the two
// flags; closing it by its frame cancels the merge like "Cancel".
class TMergeDialog : public QDialog {
  Q_OBJECT
 public:
  TMergeDialog(Tarvex& app, QWidget* parent = nullptr);
  // Shows the model's positions, radio button and flags again.
  void refresh();
  QLineEdit* field(int id) const;
  QPushButton* button(int id) const;
  QCheckBox* average_box() const { return average_; }
  QCheckBox* centre_box() const { return centre_; }
  QRadioButton* original_radio() const { return original_; }
  QRadioButton* merge_radio() const { return merge_image_; }
  // Called after the merge ran or was cancelled and the box closed.
  std::function<void()> ended;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void press(int id);
  MergeDialogModel model_;
  QRadioButton* original_;
  QRadioButton* merge_image_;
  QLineEdit* base_x_;
  QLineEdit* base_y_;
  QLineEdit* merge_x_;
  QLineEdit* merge_y_;
  QCheckBox* average_;
  QCheckBox* centre_;
  QPushButton* merge_;
  QPushButton* cancel_;
  QPushButton* help_;
};

}  // namespace tarvex::ui
