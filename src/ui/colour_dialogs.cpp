#include "ui/colour_dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "ui/value_box.h"

namespace tarvex::ui {

namespace {

void show_help(Messages& messages, const HelpText& help) {
  messages.box(help.caption, help.text, BoxIcon::None);
}

QLineEdit* small_box(QWidget* parent, int width = 40) {
  auto* e = new QLineEdit(parent);
  e->setMaximumWidth(width);
  return e;
}

QLineEdit* shown_value(QWidget* parent) {
  auto* e = small_box(parent);
  make_value_box(e);
  return e;
}

// The model's step for a scroll bar action; false for actions it ignores.
bool slider_action(int action, SliderAction& out) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: out = SliderAction::LineUp; return true;
    case QAbstractSlider::SliderSingleStepAdd: out = SliderAction::LineDown; return true;
    case QAbstractSlider::SliderPageStepSub: out = SliderAction::PageUp; return true;
    case QAbstractSlider::SliderPageStepAdd: out = SliderAction::PageDown; return true;
    case QAbstractSlider::SliderMove:
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum: out = SliderAction::Drag; return true;
    default: return false;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// SYNTHESIZE COLOUR IMAGE

TColourDialog::TColourDialog(SynthesisDialogModel& model, Clock& clock, Messages& messages,
                             QWidget* parent)
    : QDialog(parent), model_(model) {
  using M = SynthesisDialogModel;
  setWindowTitle(M::TITLE);
  auto* layout = new QVBoxLayout(this);
  // Each option with its hint beside it, in tab order.
  auto* grid = new QGridLayout;
  int row = 0;
  auto add_row = [&](QWidget* option, int hint_index) {
    grid->addWidget(option, row, 0);
    grid->addWidget(hint(hint_index), row, 1);
    ++row;
  };
  const M::Check plain[] = {M::Check::Daylight, M::Check::LightPollution, M::Check::Smoothing,
                            M::Check::AntiAlias, M::Check::IrFilter};
  for (int i = 0; i < 5; ++i) add_row(check(plain[i]), i);
  add_row(stretch_box(), 5);
  add_row(check(M::Check::RemoveBackground), 6);
  add_row(sharpen_row(), 7);
  grid->addWidget(hint(8), row, 0, 1, 2);
  layout->addLayout(grid);

  for (const auto& [b, edit] : boxes_) {
    edit->setObjectName(b == M::Box::UserPower         ? "user power"
                        : b == M::Box::UnsharpDiameter ? "dia."
                                                       : "power");
    const M::Box which = b;
    connect(edit, &QLineEdit::textEdited, this,
            [this, which](const QString& t) { model_.set_text(which, t.toStdString()); });
  }
  layout->addLayout(closing_buttons(clock, messages));
  refresh();
}

QLabel* TColourDialog::hint(int index) {
  auto* l = new QLabel(SynthesisDialogModel::hints()[index], this);
  l->setWordWrap(true);
  return l;
}

QCheckBox* TColourDialog::check(SynthesisDialogModel::Check c) {
  auto* box = new QCheckBox(SynthesisDialogModel::check_label(c), this);
  connect(box, &QCheckBox::clicked, this, [this, c] {
    model_.toggle(c);
    refresh();
  });
  buttons_[box->text()] = box;
  return box;
}

// The stretch choice: exactly one, shown from the options.
QGroupBox* TColourDialog::stretch_box() {
  using M = SynthesisDialogModel;
  auto* stretch = new QGroupBox(this);
  auto* sl = new QGridLayout(stretch);
  const AutoStretch kinds[] = {AutoStretch::None, AutoStretch::Weak, AutoStretch::Strong,
                               AutoStretch::User};
  for (int i = 0; i < 4; ++i) {
    auto* r = new QRadioButton(M::stretch_label(kinds[i]), stretch);
    r->setAutoExclusive(false);
    const AutoStretch k = kinds[i];
    connect(r, &QRadioButton::clicked, this, [this, k] {
      model_.set_stretch(k);
      refresh();
    });
    buttons_[r->text()] = r;
    sl->addWidget(r, i, 0);
  }
  boxes_[M::Box::UserPower] = small_box(stretch);
  sl->addWidget(boxes_[M::Box::UserPower], 3, 1);
  return stretch;
}

// High pass, and unsharp masking with its diameter and power.
QWidget* TColourDialog::sharpen_row() {
  using M = SynthesisDialogModel;
  auto* sharpen = new QWidget(this);
  auto* shl = new QGridLayout(sharpen);
  shl->setContentsMargins(0, 0, 0, 0);
  shl->addWidget(check(M::Check::HighPass), 0, 0, 1, 5);
  shl->addWidget(check(M::Check::Unsharp), 1, 0);
  boxes_[M::Box::UnsharpDiameter] = small_box(sharpen);
  boxes_[M::Box::UnsharpPower] = small_box(sharpen);
  shl->addWidget(new QLabel(M::box_label(M::Box::UnsharpDiameter), sharpen), 1, 1);
  shl->addWidget(boxes_[M::Box::UnsharpDiameter], 1, 2);
  shl->addWidget(new QLabel(M::box_label(M::Box::UnsharpPower), sharpen), 1, 3);
  shl->addWidget(boxes_[M::Box::UnsharpPower], 1, 4);
  return sharpen;
}

QHBoxLayout* TColourDialog::closing_buttons(Clock& clock, Messages& messages) {
  auto* buttons = new QHBoxLayout;
  auto* create = new QPushButton("Create Image", this);
  auto* cancel = new QPushButton("Cancel", this);
  auto* help = new QPushButton("Help", this);
  create->setDefault(true);
  for (auto* b : {create, cancel, help}) {
    buttons_[b->text()] = b;
    buttons->addWidget(b);
  }
  // The three boxes are read together; an invalid one beeps and keeps the
  // dialog open, and every box then shows its stored value.
  connect(create, &QPushButton::clicked, this, [this, &clock] {
    const bool ok = model_.create_image(clock);
    refresh();
    if (ok) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this,
          [&messages] { show_help(messages, SynthesisDialogModel::help()); });
  return buttons;
}

void TColourDialog::refresh() {
  using M = SynthesisDialogModel;
  for (M::Check c :
       {M::Check::Daylight, M::Check::LightPollution, M::Check::Smoothing, M::Check::AntiAlias,
        M::Check::IrFilter, M::Check::RemoveBackground, M::Check::HighPass, M::Check::Unsharp}) {
    buttons_.at(M::check_label(c))->setChecked(model_.checked(c));
  }
  for (AutoStretch k :
       {AutoStretch::None, AutoStretch::Weak, AutoStretch::Strong, AutoStretch::User}) {
    buttons_.at(M::stretch_label(k))->setChecked(model_.stretch() == k);
  }
  for (const auto& [b, edit] : boxes_) edit->setText(QString::fromStdString(model_.text(b)));
}

// ---------------------------------------------------------------------------
// Colour Starting Balance

BalanceHistogramView::BalanceHistogramView(const BalanceDialogModel& model,
                                           BalanceDialogModel::Colour colour, QWidget* parent)
    : QWidget(parent), model_(model), colour_(colour) {
  setFixedSize(BalanceDialogModel::HISTOGRAM_BARS, BalanceDialogModel::BAR_MAX + 1);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void BalanceHistogramView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  for (const PlotLine& l : model_.histogram_plot(colour_)) {
    p.setPen(QPen(QColor(l.colour.red, l.colour.green, l.colour.blue), 0));
    p.drawLine(l.x1, l.y1, l.x2, l.y2);
  }
}

TBalanceDialog::TBalanceDialog(BalanceDialogModel& model, Messages& messages, QWidget* parent)
    : QDialog(parent), model_(model) {
  using M = BalanceDialogModel;
  setWindowTitle(M::TITLE);
  auto* layout = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout;
  for (Colour c : {Colour::Red, Colour::Green, Colour::Blue}) {
    auto* column = new QGroupBox(M::colour_label(c), this);
    auto* grid = new QGridLayout(column);
    histograms_[c] = new BalanceHistogramView(model_, c, column);
    grid->addWidget(histograms_[c], 0, 0, 1, 3, Qt::AlignHCenter);
    int row = 1;
    for (Field f : {Field::Start, Field::Min, Field::Max}) {
      auto* bar = new QScrollBar(Qt::Horizontal, column);
      const int lo = f == Field::Start ? M::START_MIN : f == Field::Min ? M::MINIMUM_MIN : 1;
      const int hi = f == Field::Start ? M::START_MAX
                     : f == Field::Min ? M::MINIMUM_MAX
                                       : M::MAXIMUM_MAX;
      bar->setRange(lo, hi);
      bar->setSingleStep(1);
      bar->setPageStep(10);
      bar->setMinimumWidth(110);
      bar->setObjectName(QString("%1 %2").arg(M::colour_label(c), M::field_label(f)));
      connect(bar, &QScrollBar::actionTriggered, this, [this, bar, c, f](int action) {
        SliderAction a;
        if (slider_action(action, a)) model_.scroll(c, f, a, bar->sliderPosition());
        refresh();
      });
      grid->addWidget(new QLabel(M::field_label(f), column), row, 0);
      grid->addWidget(bar, row, 1);
      boxes_[{c, f}] = shown_value(column);
      grid->addWidget(boxes_[{c, f}], row, 2);
      bars_[{c, f}] = bar;
      ++row;
    }
    columns->addWidget(column);
  }
  layout->addLayout(columns);

  auto* saturation = new QHBoxLayout;
  saturation->addWidget(new QLabel("Saturation Factor", this));
  saturation_bar_ = new QScrollBar(Qt::Horizontal, this);
  saturation_bar_->setRange(M::SATURATION_MIN, M::SATURATION_MAX);
  saturation_bar_->setSingleStep(1);
  saturation_bar_->setPageStep(10);
  saturation_bar_->setMinimumWidth(120);
  connect(saturation_bar_, &QScrollBar::actionTriggered, this, [this](int action) {
    SliderAction a;
    if (slider_action(action, a)) model_.saturation_scroll(a, saturation_bar_->sliderPosition());
    refresh();
  });
  saturation->addWidget(saturation_bar_);
  saturation_box_ = shown_value(this);
  saturation->addWidget(saturation_box_);
  saturation->addStretch();
  layout->addLayout(saturation);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (const char* text : {"Apply", "Cancel", "Help"}) {
    auto* b = new QPushButton(text, this);
    buttons_[text] = b;
    buttons->addWidget(b);
  }
  connect(buttons_["Apply"], &QPushButton::clicked, this, &QDialog::accept);
  connect(buttons_["Cancel"], &QPushButton::clicked, this, &QDialog::reject);
  connect(buttons_["Help"], &QPushButton::clicked, this,
          [&messages] { show_help(messages, M::help()); });
  layout->addLayout(buttons);
  refresh();
}

void TBalanceDialog::refresh() {
  for (const auto& [key, bar] : bars_) {
    const int v = model_.value(key.first, key.second);
    bar->setSliderPosition(v);
    bar->setValue(v);
    boxes_.at(key)->setText(QString::fromStdString(model_.field_text(key.first, key.second)));
  }
  saturation_bar_->setSliderPosition(model_.saturation());
  saturation_bar_->setValue(model_.saturation());
  saturation_box_->setText(QString::fromStdString(model_.saturation_text()));
  for (const auto& [c, view] : histograms_) view->update();
}

// ---------------------------------------------------------------------------
// CHROMATIC ADJUSTMENT

TChromaticDialog::TChromaticDialog(ChromaticDialogModel& model, Messages& messages, QWidget* parent)
    : QDialog(parent), model_(model) {
  using M = ChromaticDialogModel;
  setWindowTitle(M::TITLE);
  auto* layout = new QVBoxLayout(this);
  auto* groups = new QHBoxLayout;
  const std::pair<const char*, std::array<Control, 2>> colours[] = {
      {"Red", {Control::RedLeftRight, Control::RedUpDown}},
      {"Blue", {Control::BlueLeftRight, Control::BlueUpDown}}};
  for (const auto& [name, controls] : colours) {
    auto* group = new QGroupBox(name, this);
    auto* grid = new QGridLayout(group);
    int row = 0;
    for (Control c : controls) {
      // A small spin control: each arrow moves the shift by one.
      auto* spin = new QScrollBar(Qt::Vertical, group);
      spin->setRange(-CHROMATIC_SHIFT_MAX, CHROMATIC_SHIFT_MAX);
      spin->setInvertedAppearance(true);  // the upper arrow raises the value
      spin->setInvertedControls(false);
      spin->setFixedHeight(40);
      spin->setObjectName(QString("%1 %2").arg(name, M::control_label(c)));
      connect(spin, &QScrollBar::actionTriggered, this, [this, spin, c](int action) {
        switch (action) {
          case QAbstractSlider::SliderSingleStepAdd:
          case QAbstractSlider::SliderPageStepAdd: model_.step(c, 1); break;
          case QAbstractSlider::SliderSingleStepSub:
          case QAbstractSlider::SliderPageStepSub: model_.step(c, -1); break;
          default: break;
        }
        spin->setSliderPosition(model_.value(c));
        boxes_.at(c)->setText(QString::fromStdString(model_.text(c)));
      });
      grid->addWidget(new QLabel(M::control_label(c), group), row, 0);
      boxes_[c] = shown_value(group);
      boxes_[c]->setText(QString::fromStdString(model_.text(c)));
      grid->addWidget(boxes_[c], row, 1);
      grid->addWidget(spin, row, 2);
      spin->setValue(model_.value(c));
      controls_[c] = spin;
      ++row;
    }
    groups->addWidget(group);
  }
  layout->addLayout(groups);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (const char* text : {"OK", "Cancel", "Help"}) {
    auto* b = new QPushButton(text, this);
    buttons_[text] = b;
    buttons->addWidget(b);
  }
  connect(buttons_["OK"], &QPushButton::clicked, this, &QDialog::accept);
  connect(buttons_["Cancel"], &QPushButton::clicked, this, &QDialog::reject);
  connect(buttons_["Help"], &QPushButton::clicked, this,
          [&messages] { show_help(messages, M::help()); });
  layout->addLayout(buttons);
}

}  // namespace tarvex::ui
