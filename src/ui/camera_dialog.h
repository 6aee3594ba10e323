// The camera command's windows: a minimal camera control dialog ("Take
// Photo" and "Cancel" under a summary of the exposure to be taken) until the
// full dialog is built, and the small "Saving Image" window of automatic
// saving.
#pragma once

#include <QDialog>
#include <QPointer>

#include "app/capture/sequencer.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvex::ui {

inline constexpr const char* CAMERA_DIALOG_TITLE = "Helion KR9- Camera Control Interface";

// What the exposure settings say, in words: "1 Seconds, Fast, 1 exposure".
QString acquisition_summary(const AcquisitionSettings& settings);

class TVQDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TVQDialog(const AcquisitionSettings& settings, QWidget* parent = nullptr);
  QPushButton* take_photo_button() const { return take_; }
  QPushButton* cancel_button() const { return cancel_; }
  QString summary() const;

 private:
  QLabel* summary_;
  QPushButton* take_;
  QPushButton* cancel_;
};

// The modeless "Saving Image" window with its "Filename" field.
class TSavingDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TSavingDialog(QWidget* parent = nullptr);
  void show_file(const QString& path);
  QString file_name() const;

 private:
  QLineEdit* name_;
};

// The window's side of the sequencer: the dialogs above, parented to it.
class QtCaptureFront : public CaptureFront {
 public:
  explicit QtCaptureFront(QWidget* owner) : owner_(owner) {}
  CameraDialogResult run_camera_dialog(AcquisitionSettings& settings) override;
  void saving_image(const std::filesystem::path& file) override;
  void saving_done() override;
  TSavingDialog* saving_window() const { return saving_; }

 private:
  QWidget* owner_;
  QPointer<TSavingDialog> saving_;
};

}  // namespace tarvex::ui
