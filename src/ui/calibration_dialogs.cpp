#include "ui/calibration_dialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/file_dialogs.h"
#include "ui/file_filters.h"
#include "ui/value_box.h"

namespace tarvex::ui {

QString chooser_title(ChooserMode mode) {
  switch (mode) {
    case ChooserMode::DarkSubtraction: return "Open Dark Frame to Subtract";
    case ChooserMode::FlatField: return "Open Flat Field";
    case ChooserMode::SelectDarkFrame: return "Select Dark Frame";
    case ChooserMode::Delete: return "Choose File to Delete";
  }
  return "Open";
}

QString ask_chooser_file(const FileChooserModel& model, QWidget* parent) {
  QFileDialog dialog(parent, chooser_title(model.mode()));
  dialog.setObjectName("calibration_chooser");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setFileMode(QFileDialog::ExistingFile);
  set_open_filters(dialog, model.filter(), model.initial_filter() - 1);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

TDeleteFileDialog::TDeleteFileDialog(const QString& path, QWidget* parent) : QDialog(parent) {
  setWindowTitle(DELETE_CAPTION);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(DELETE_PROMPT, this));
  // The path is shown, not edited: the file deleted is the one chosen.
  path_ = new QLineEdit(path, this);
  make_value_box(path_);
  path_->setMinimumWidth(360);
  path_->setCursorPosition(0);
  layout->addWidget(path_);
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton("OK", this);
  auto* cancel = new QPushButton("Cancel", this);
  ok->setObjectName("OK");
  cancel->setObjectName("Cancel");
  // Deleting is not undone: Enter alone does not delete.
  ok->setAutoDefault(false);
  cancel->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
}

TMergeDialog::TMergeDialog(Tarvex& app, QWidget* parent) : QDialog(parent), model_(app) {
  using Model = MergeDialogModel;
  setWindowTitle(Model::TITLE);
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  // The radio buttons only show which image the clicks mark.
  auto radio = [this](const char* text) {
    auto* r = new QRadioButton(text, this);
    r->setAttribute(Qt::WA_TransparentForMouseEvents);
    r->setFocusPolicy(Qt::NoFocus);
    return r;
  };
  original_ = radio("Original  Image");
  merge_image_ = radio("Merge Image");
  auto number = [this](int id) {
    auto* f = new_value_box(this);
    f->setMaximumWidth(70);
    f->setObjectName(QString::number(id));
    return f;
  };
  base_x_ = number(Model::ID_BASE_X);
  base_y_ = number(Model::ID_BASE_Y);
  merge_x_ = number(Model::ID_MERGE_X);
  merge_y_ = number(Model::ID_MERGE_Y);
  grid->addWidget(original_, 0, 1);
  grid->addWidget(merge_image_, 0, 2);
  grid->addWidget(new QLabel("x", this), 1, 0);
  grid->addWidget(base_x_, 1, 1);
  grid->addWidget(merge_x_, 1, 2);
  grid->addWidget(new QLabel("y", this), 2, 0);
  grid->addWidget(base_y_, 2, 1);
  grid->addWidget(merge_y_, 2, 2);
  layout->addLayout(grid);
  average_ = new QCheckBox("Average", this);
  centre_ = new QCheckBox("Centre on Star", this);
  layout->addWidget(average_);
  layout->addWidget(centre_);
  connect(average_, &QCheckBox::clicked, this, [this] { press(Model::ID_AVERAGE); });
  connect(centre_, &QCheckBox::clicked, this, [this] { press(Model::ID_CENTRE); });
  auto* row = new QHBoxLayout;
  merge_ = new QPushButton("Merge", this);
  cancel_ = new QPushButton("Cancel", this);
  help_ = new QPushButton("Help", this);
  merge_->setAutoDefault(false);
  cancel_->setAutoDefault(false);
  help_->setAutoDefault(false);
  connect(merge_, &QPushButton::clicked, this, [this] { press(Model::ID_MERGE); });
  connect(cancel_, &QPushButton::clicked, this, [this] { press(Model::ID_CANCEL); });
  connect(help_, &QPushButton::clicked, this, [this] { press(Model::ID_HELP); });
  row->addWidget(merge_);
  row->addWidget(cancel_);
  row->addWidget(help_);
  layout->addLayout(row);
  refresh();
}

void TMergeDialog::refresh() {
  using Model = MergeDialogModel;
  const bool base = model_.checked_radio() == Model::ID_ORIGINAL;
  original_->setChecked(base);
  merge_image_->setChecked(!base);
  base_x_->setText(QString::fromStdString(model_.field_text(Model::ID_BASE_X)));
  base_y_->setText(QString::fromStdString(model_.field_text(Model::ID_BASE_Y)));
  merge_x_->setText(QString::fromStdString(model_.field_text(Model::ID_MERGE_X)));
  merge_y_->setText(QString::fromStdString(model_.field_text(Model::ID_MERGE_Y)));
  average_->setChecked(model_.average_checked());
  centre_->setChecked(model_.centre_checked());
}

QLineEdit* TMergeDialog::field(int id) const {
  using Model = MergeDialogModel;
  switch (id) {
    case Model::ID_BASE_X: return base_x_;
    case Model::ID_BASE_Y: return base_y_;
    case Model::ID_MERGE_X: return merge_x_;
    case Model::ID_MERGE_Y: return merge_y_;
    default: return nullptr;
  }
}

QPushButton* TMergeDialog::button(int id) const {
  using Model = MergeDialogModel;
  switch (id) {
    case Model::ID_MERGE: return merge_;
    case Model::ID_CANCEL: return cancel_;
    case Model::ID_HELP: return help_;
    default: return nullptr;
  }
}

void TMergeDialog::press(int id) {
  if (model_.command(id)) {
    close();
    return;
  }
  refresh();
}

void TMergeDialog::reject() {
  press(MergeDialogModel::ID_CANCEL);
}

void TMergeDialog::closeEvent(QCloseEvent* event) {
  // Closed by its frame while the merge is still in progress: as Cancel.
  // (The plain widget close: QDialog's own would call reject() again.)
  if (model_.is_open()) model_.command(MergeDialogModel::ID_CANCEL);
  QWidget::closeEvent(event);
  if (ended) ended();
}

}  // namespace tarvex::ui
