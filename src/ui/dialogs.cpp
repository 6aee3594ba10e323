#include "ui/dialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "ui/value_box.h"

namespace tarvex::ui {

TLabelDialog::TLabelDialog(LabelDialogModel& model, const FitsText& fits, Messages& messages,
                           QWidget* parent)
    : QDialog(parent), model_(model) {
  setWindowTitle("Label Current Image");
  model_.open();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Enter the Label text", this));
  text_ = new QLineEdit(this);
  text_->setMaxLength(static_cast<int>(LABEL_TEXT_MAX));
  layout->addWidget(text_);
  auto_date_ = new QCheckBox("Auto Date", this);
  fits_date_ = new QCheckBox("Use FITs Date", this);
  layout->addWidget(auto_date_);
  layout->addWidget(fits_date_);
  connect(text_, &QLineEdit::textChanged, this,
          [this](const QString& t) { model_.set_text(t.toStdString()); });
  connect(auto_date_, &QCheckBox::clicked, this, [this] {
    model_.toggle_auto_date();
    refresh();
  });
  connect(fits_date_, &QCheckBox::clicked, this, [this, &fits, &messages] {
    model_.toggle_use_fits_date(fits, messages);
    refresh();
  });
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton("OK", this);
  auto* cancel = new QPushButton("Cancel", this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  refresh();
}

void TLabelDialog::refresh() {
  auto_date_->setChecked(model_.auto_date());
  fits_date_->setChecked(model_.use_fits_date());
}

TPaletteDialog::TPaletteDialog(StretchPaletteModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  setWindowTitle("Stretch Palette");
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel("12 bit", this));
  bar_ = new QScrollBar(Qt::Horizontal, this);
  bar_->setRange(MIN_PALETTE_BITS, MAX_PALETTE_BITS);
  bar_->setSingleStep(1);
  bar_->setPageStep(1);
  bar_->setMinimumWidth(160);
  row->addWidget(bar_);
  row->addWidget(new QLabel("16 bit", this));
  layout->addLayout(row);
  value_ = new QLineEdit(this);
  make_value_box(value_);
  value_->setMaximumWidth(50);
  layout->addWidget(value_);
  all_ = new QCheckBox("Selected for use on all images", this);
  layout->addWidget(all_);
  auto* ok = new QPushButton("OK", this);
  ok->setDefault(true);
  layout->addWidget(ok, 0, Qt::AlignRight);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(all_, &QCheckBox::clicked, this, [this] {
    model_.toggle_all_images();
    refresh();
  });
  // Line steps move by one, page steps jump to the ends, dragging sets the value.
  connect(bar_, &QScrollBar::actionTriggered, this, [this](int action) {
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub: model_.line_left(); break;
      case QAbstractSlider::SliderSingleStepAdd: model_.line_right(); break;
      case QAbstractSlider::SliderPageStepSub: model_.page_left(); break;
      case QAbstractSlider::SliderPageStepAdd: model_.page_right(); break;
      case QAbstractSlider::SliderToMinimum: model_.page_left(); break;
      case QAbstractSlider::SliderToMaximum: model_.page_right(); break;
      case QAbstractSlider::SliderMove: model_.set_bits(bar_->sliderPosition()); break;
      default: break;
    }
    bar_->setSliderPosition(model_.bits());
    value_->setText(QString::fromStdString(model_.value_text()));
  });
  refresh();
}

void TPaletteDialog::refresh() {
  bar_->setValue(model_.bits());
  value_->setText(QString::fromStdString(model_.value_text()));
  all_->setChecked(model_.all_images());
}

TValuesDialog::TValuesDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Pixel Value");
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  auto add = [&](const QString& name, int row) {
    grid->addWidget(new QLabel(name, this), row, 0);
    auto* v = new QLabel(this);
    v->setFont(mono);
    v->setMinimumWidth(70);
    grid->addWidget(v, row, 1);
    return v;
  };
  x_ = add("x", 0);
  y_ = add("y", 1);
  red_ = add("Red", 2);
  green_ = add("Green", 3);
  blue_ = add("Blue", 4);
  lum_ = add("Lum", 5);
  layout->addLayout(grid);
  auto* buttons = new QGridLayout;
  const std::pair<const char*, ColourView> views[] = {{"Red", ColourView::Red},
                                                      {"Green", ColourView::Green},
                                                      {"Blue", ColourView::Blue},
                                                      {"Normal", ColourView::Normal},
                                                      {"Lumens", ColourView::Lumens}};
  int i = 0;
  for (const auto& [text, view] : views) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(text);
    connect(b, &QPushButton::clicked, this, [this, v = view] {
      if (choose_view) choose_view(v);
    });
    buttons->addWidget(b, i / 3, i % 3);
    ++i;
  }
  auto* done = new QPushButton("Finished", this);
  done->setObjectName("Finished");
  connect(done, &QPushButton::clicked, this, &QDialog::close);
  buttons->addWidget(done, 1, 2);
  layout->addLayout(buttons);
}

void TValuesDialog::show_readout(const PixelReadout& r) {
  x_->setText(QString::number(r.x));
  y_->setText(QString::number(r.y));
  red_->setText(QString::number(r.red));
  green_->setText(QString::number(r.green));
  blue_->setText(QString::number(r.blue));
  lum_->setText(QString::fromStdString(lum_text(r.lum)));
}

QString TValuesDialog::readout_text() const {
  return QString("x %1 y %2 R %3 G %4 B %5 Lum %6")
      .arg(x_->text(), y_->text(), red_->text(), green_->text(), blue_->text(), lum_->text());
}

void TValuesDialog::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  if (finished) finished();
}

}  // namespace tarvex::ui
