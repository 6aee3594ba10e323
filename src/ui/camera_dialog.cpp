#include "ui/camera_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/value_box.h"

namespace tarvex::ui {

namespace {

const char* range_word(char range) {
  switch (range) {
    case 'q': return "Thousandths";
    case 'h': return "Hundredths";
    case 't': return "Tenths";
    case 'm': return "Minutes";
    default: return "Seconds";
  }
}

const char* mode_word(ExposureMode mode) {
  switch (mode) {
    case ExposureMode::Progressive: return "Progressive";
    case ExposureMode::Interlaced: return "Interlaced";
    case ExposureMode::Fast: break;
  }
  return "Fast";
}

}  // namespace

QString acquisition_summary(const AcquisitionSettings& s) {
  QString text = QString("%1 %2, %3, %4 exposure%5")
                     .arg(s.value)
                     .arg(range_word(s.range))
                     .arg(mode_word(s.mode))
                     .arg(s.count)
                     .arg(s.count == 1 ? "" : "s");
  if (s.count > 1) text += s.average ? " averaged" : " summed";
  if (s.continuous) text += ", continuous";
  if (s.auto_dark) text += ", dark removed";
  if (s.auto_colour) text += ", colour";
  if (s.auto_save) text += ", saved";
  return text;
}

TVQDialog::TVQDialog(const AcquisitionSettings& settings, QWidget* parent) : QDialog(parent) {
  setWindowTitle(CAMERA_DIALOG_TITLE);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  summary_ = new QLabel(acquisition_summary(settings), this);
  layout->addWidget(summary_);
  auto* buttons = new QDialogButtonBox(this);
  take_ = buttons->addButton("Take Photo", QDialogButtonBox::AcceptRole);
  cancel_ = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
  take_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QString TVQDialog::summary() const {
  return summary_->text();
}

TSavingDialog::TSavingDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Saving Image");
  setModal(false);
  auto* form = new QFormLayout(this);
  name_ = new_value_box(this);
  name_->setMinimumWidth(320);
  form->addRow("Filename", name_);
}

void TSavingDialog::show_file(const QString& path) {
  name_->setText(path);
  show();
  raise();
}

QString TSavingDialog::file_name() const {
  return name_->text();
}

CameraDialogResult QtCaptureFront::run_camera_dialog(AcquisitionSettings& settings) {
  TVQDialog dialog(settings, owner_);
  return dialog.exec() == QDialog::Accepted ? CameraDialogResult::TakePhoto
                                            : CameraDialogResult::Cancel;
}

void QtCaptureFront::saving_image(const std::filesystem::path& file) {
  if (!saving_) saving_ = new TSavingDialog(owner_);
  saving_->show_file(QString::fromStdString(file.string()));
  // Shown before the write starts.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtCaptureFront::saving_done() {
  if (saving_) saving_->hide();
}

}  // namespace tarvex::ui
