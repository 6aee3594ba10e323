// The camera command's windows: the camera control dialog TVQDialog, a view
// over CameraDialogModel that refreshes every control from the settings
// after each click and runs the focus mode from its "Start" button, and the
// small "Saving Image" window of automatic saving.
#pragma once

#include <QDialog>
#include <QPointer>
#include <cstddef>
#include <functional>
#include <map>

#include "app/capture/camera_dialog_model.h"
#include "app/capture/focus_mode.h"
#include "app/capture/sequencer.h"

class QAbstractButton;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace tarvex::ui {

inline constexpr const char* CAMERA_DIALOG_TITLE = "Helion KR9- Camera Control Interface";
// The "Live Stack" check box, beside "Continuous Mode".
inline constexpr int LIVE_STACK_ID = 141;
// "Dither Between Exposures" and its pixels, in the self-guiding controls.
inline constexpr int DITHER_ID = 142;
inline constexpr int DITHER_PIXELS_ID = 143;

class TVQDialog : public QDialog, private FocusFront {
  Q_OBJECT
 public:
  // `live` holds the "Live Stack" check box's setting; null: the dialog's own.
  explicit TVQDialog(Tarvex& app, QWidget* parent = nullptr, LiveStackSettings* live = nullptr);

  CameraDialogModel& model() { return model_; }
  // The controls by their resource identifiers (101..777).
  QWidget* control(int id) const;
  QPushButton* button(int id) const;
  QCheckBox* check(int id) const;
  QRadioButton* radio(int id) const;
  QScrollBar* bar(int id) const;
  QLineEdit* edit(int id) const;
  QPushButton* take_photo_button() const { return button(1); }
  QPushButton* cancel_button() const { return button(2); }
  bool focusing() const { return focusing_; }
  // The last focus frame, as the dialog shows it (null before any).
  const QLabel* focus_picture() const { return picture_; }

  // Fills every control from the settings.
  void refresh();

 public slots:
  void reject() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void start_focus();
  void show_help();
  void frame_shown(int peak) override;
  bool pause_prompt() override;
  template <class W>
  W* add(int id, W* widget);
  void changed();
  // Building the dialog, group by group.
  template <class Button, std::size_t N, class Choose>
  QGroupBox* radio_group(const char* title, const Button (&buttons)[N], Choose choose);
  QCheckBox* check_box(int id, const char* text, QWidget* parent, std::function<void()> toggle);
  // A row of a label, a bar whose arrows call `arrow` and the value's box.
  void arrow_row(QGridLayout* layout, int row, const char* label, int bar_id, int edit_id,
                 void (CameraDialogModel::*arrow)(int));
  QGroupBox* exposure_box();
  QGroupBox* focus_box();
  void stretch_action(int action, int position);
  QGroupBox* guide_box();
  QHBoxLayout* closing_buttons();

  Tarvex& app_;
  CameraDialogModel model_;
  LiveStackSettings own_live_;
  LiveStackSettings* live_;
  std::map<int, QWidget*> controls_;
  QLabel* picture_ = nullptr;
  bool focusing_ = false;
  bool refreshing_ = false;
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
  QtCaptureFront(Tarvex& app, QWidget* owner) : app_(app), owner_(owner) {}
  CameraDialogResult run_camera_dialog(AcquisitionSettings& settings) override;
  void saving_image(const std::filesystem::path& file) override;
  void saving_done() override;
  TSavingDialog* saving_window() const { return saving_; }
  LiveStackSettings live_stack() const override { return live_; }

 private:
  Tarvex& app_;
  LiveStackSettings live_;  // the camera dialog's "Live Stack", kept between runs
  QWidget* owner_;
  QPointer<TSavingDialog> saving_;
};

}  // namespace tarvex::ui
