#include "ui/fits_dialogs.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/file_dialogs.h"

namespace tarvex::ui {

TFitsDialog::TFitsDialog(FitsDetailsModel& model, QWidget* parent, const QString& solution)
    : QDialog(parent), model_(model) {
  setWindowTitle(FitsDetailsModel::TITLE);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  int row = 0;
  for (const FitsFieldInfo& info : fits_fields()) {
    grid->addWidget(new QLabel(info.label, this), row, 0);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(info.label);
    edit->setMaxLength(static_cast<int>(info.max_chars));
    edit->setText(QString::fromStdString(model_.text(info.field)));
    edit->setMinimumWidth(info.max_chars > 40 ? 420 : 260);
    const FitsField f = info.field;
    connect(edit, &QLineEdit::textChanged, this,
            [this, f](const QString& t) { model_.set_text(f, t.toStdString()); });
    grid->addWidget(edit, row, 1, 1, 2);
    fields_[f] = edit;
    ++row;
  }
  layout->addLayout(grid);

  // The time difference: the arrows step by one hour, the thumb sets it.
  auto* time_row = new QHBoxLayout;
  time_row->addWidget(new QLabel(FitsDetailsModel::UT_LABEL, this));
  bar_ = new QScrollBar(Qt::Horizontal, this);
  bar_->setRange(UT_BAR_MIN, UT_BAR_MAX);
  bar_->setSingleStep(1);
  bar_->setPageStep(1);
  bar_->setMinimumWidth(160);
  time_row->addWidget(bar_);
  bar_value_ = new QLabel(this);
  bar_value_->setMinimumWidth(30);
  time_row->addWidget(bar_value_);
  layout->addLayout(time_row);
  connect(bar_, &QScrollBar::actionTriggered, this, [this](int action) {
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub:
      case QAbstractSlider::SliderPageStepSub: model_.step_time_difference(-1); break;
      case QAbstractSlider::SliderSingleStepAdd:
      case QAbstractSlider::SliderPageStepAdd: model_.step_time_difference(1); break;
      case QAbstractSlider::SliderMove: model_.set_time_difference(bar_->sliderPosition()); break;
      default: break;
    }
    bar_->setSliderPosition(model_.time_difference());
    show_time_difference();
  });

  auto* format_row = new QHBoxLayout;
  unsigned_ = new QCheckBox(FitsDetailsModel::UNSIGNED_LABEL, this);
  unsigned_->setChecked(model_.unsigned_format());
  // The switch acts on the record at once; Abort keeps it.
  connect(unsigned_, &QCheckBox::clicked, this, [this] {
    model_.toggle_unsigned();
    unsigned_->setChecked(model_.unsigned_format());
  });
  format_row->addWidget(unsigned_);
  format_row->addStretch();
  format_row->addWidget(new QLabel(FitsDetailsModel::FORMAT_LABEL, this));
  format_ = new QLabel(model_.image_format(), this);
  format_->setObjectName("format");
  format_row->addWidget(format_);
  layout->addLayout(format_row);
  if (!solution.isEmpty()) {
    solution_ = new QLabel(solution, this);
    solution_->setObjectName("solution");
    solution_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(solution_);
  }

  auto* buttons = new QHBoxLayout;
  auto* go = new QPushButton(FitsDetailsModel::CONTINUE_LABEL, this);
  auto* abort = new QPushButton(FitsDetailsModel::ABORT_LABEL, this);
  go->setDefault(true);
  connect(go, &QPushButton::clicked, this, &QDialog::accept);
  connect(abort, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addStretch();
  buttons->addWidget(go);
  buttons->addWidget(abort);
  layout->addLayout(buttons);

  bar_->setValue(model_.time_difference());
  show_time_difference();
}

void TFitsDialog::show_time_difference() {
  bar_value_->setText(QString::fromStdString(model_.time_difference_text()));
}

QString ask_save_file(QWidget* parent, const char* filter, const QString& default_suffix) {
  QFileDialog dialog(parent, "Save As");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  QStringList filters;
  for (const auto& f : translate_filter(filter)) filters << QString::fromStdString(f);
  dialog.setNameFilters(filters);
  if (!default_suffix.isEmpty()) dialog.setDefaultSuffix(default_suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

bool QtFitsDialogs::run_details(FitsDetailsModel& model) {
  TFitsDialog dialog(model, parent_, solution_);
  return dialog.exec() == QDialog::Accepted;
}

std::filesystem::path QtFitsDialogs::choose_save_path(const std::string& filter,
                                                      const std::string& default_extension) {
  const QString path =
      ask_save_file(parent_, filter.c_str(), QString::fromStdString(default_extension));
  return std::filesystem::path(path.toStdString());
}

}  // namespace tarvex::ui
