#include "ui/processing_dialogs.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>

#include "ui/value_box.h"

namespace tarvex::ui {

namespace {

// The size of the plot area: the histogram window leaves room for its
// listing at the right, the stretch dialog for its marker strip below.
constexpr QSize HISTOGRAM_WINDOW_PLOT{356, 272};
constexpr QSize STRETCH_DIALOG_PLOT{272, 236};

QColor qt_colour(PlotColour c) {
  return QColor(c.red, c.green, c.blue);
}

// Scroll bar actions as the models name them; "up" is toward the lower end.
std::optional<SliderAction> slider_action(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return SliderAction::LineUp;
    case QAbstractSlider::SliderSingleStepAdd: return SliderAction::LineDown;
    case QAbstractSlider::SliderPageStepSub: return SliderAction::PageUp;
    case QAbstractSlider::SliderPageStepAdd: return SliderAction::PageDown;
    case QAbstractSlider::SliderMove: return SliderAction::Drag;
    default: return std::nullopt;
  }
}

QScrollBar* make_slider(QWidget* parent, int id, int minimum, int maximum, int page) {
  auto* bar = new QScrollBar(Qt::Horizontal, parent);
  bar->setObjectName(QString::number(id));
  bar->setRange(minimum, maximum);
  bar->setSingleStep(1);
  bar->setPageStep(page);
  bar->setMinimumWidth(200);
  return bar;
}

// Forwards every action of `bar` to `apply` (action, dragged position), then
// puts the bar where `position` says and lets the dialog refresh. Actions the
// model has no rule for leave the bar where it was.
template <typename Apply, typename Position, typename Refresh>
void drive_slider(QDialog* dialog, QScrollBar* bar, Apply apply, Position position,
                  Refresh refresh) {
  QObject::connect(bar, &QScrollBar::actionTriggered, dialog, [=](int action) {
    if (auto a = slider_action(action)) apply(*a, bar->sliderPosition());
    bar->setSliderPosition(position());
    refresh();
  });
}

QLineEdit* make_field(QWidget* parent, int id) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::number(id));
  make_value_box(field);  // values change only through the sliders and spins
  field->setMaximumWidth(60);
  return field;
}

// OK, Cancel and Help under the controls; Help shows the model's help box
// and then runs `after_help`.
QHBoxLayout* button_row(QDialog* dialog, Messages& messages, HelpText help,
                        std::function<void()> after_help = {}) {
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton("OK", dialog);
  auto* cancel = new QPushButton("Cancel", dialog);
  auto* help_button = new QPushButton("Help", dialog);
  ok->setObjectName("OK");
  cancel->setObjectName("Cancel");
  help_button->setObjectName("Help");
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  QObject::connect(help_button, &QPushButton::clicked, dialog,
                   [&messages, help = std::move(help), after_help = std::move(after_help)] {
                     messages.box(help.caption, help.text, BoxIcon::None);
                     if (after_help) after_help();
                   });
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  row->addWidget(help_button);
  return row;
}

// A labelled value: the field with the control that steps it.
QGridLayout* labelled_rows(QDialog* dialog,
                           std::initializer_list<std::tuple<QString, QWidget*, QWidget*>> rows) {
  auto* grid = new QGridLayout;
  int r = 0;
  for (const auto& [text, control, field] : rows) {
    grid->addWidget(new QLabel(text, dialog), r, 0);
    grid->addWidget(control, r, 1);
    grid->addWidget(field, r, 2);
    ++r;
  }
  return grid;
}

}  // namespace

HistogramPlot::HistogramPlot(const HistogramBins& histogram, PlotStyle style, QWidget* parent)
    : QWidget(parent), histogram_(histogram), style_(style) {
  setFixedSize(sizeHint());
}

QSize HistogramPlot::sizeHint() const {
  return style_ == PlotStyle::HistogramWindow ? HISTOGRAM_WINDOW_PLOT : STRETCH_DIALOG_PLOT;
}

void HistogramPlot::set_markers(unsigned black, unsigned white) {
  black_ = black;
  white_ = white;
  update();
}

void HistogramPlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  auto draw = [&p](const std::vector<PlotLine>& lines) {
    for (const PlotLine& l : lines) {
      p.setPen(QPen(qt_colour(l.colour), 1));
      p.drawLine(l.x1, l.y1, l.x2, l.y2);
    }
  };
  draw(histogram_plot(histogram_, style_));
  if (style_ == PlotStyle::StretchDialog) {
    const PlotRect r = MARKER_STRIP_RECT;
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1);
    draw(marker_strip(black_, white_));
  } else {
    const PlotRect r = HISTOGRAM_LISTING_RECT;
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(10);
    p.setFont(mono);
    p.setPen(Qt::black);
    p.drawText(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top),
               Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(histogram_listing(histogram_)));
  }
}

SpinArrows::SpinArrows(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  up_ = new QToolButton(this);
  down_ = new QToolButton(this);
  up_->setObjectName("up");
  down_->setObjectName("down");
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  up_->setAutoRepeat(true);
  down_->setAutoRepeat(true);
  for (QToolButton* b : {up_, down_}) b->setFixedSize(18, 12);
  layout->addWidget(up_);
  layout->addWidget(down_);
  connect(up_, &QToolButton::clicked, this, [this] {
    if (stepped) stepped(1);
  });
  connect(down_, &QToolButton::clicked, this, [this] {
    if (stepped) stepped(-1);
  });
}

TStretchDialog::TStretchDialog(StretchDialogModel& model, const HistogramBins& histogram,
                               Messages& messages, QWidget* parent)
    : QDialog(parent), model_(model) {
  setWindowTitle(StretchDialogModel::TITLE);
  auto* layout = new QVBoxLayout(this);
  plot_ = new HistogramPlot(histogram, PlotStyle::StretchDialog, this);
  layout->addWidget(plot_);
  black_ = make_slider(this, StretchDialogModel::BLACK_SLIDER, 0,
                       static_cast<int>(STRETCH_BLACK_MAX), 10);
  white_ = make_slider(this, StretchDialogModel::WHITE_SLIDER, 1,
                       static_cast<int>(STRETCH_WHITE_MAX), 10);
  black_field_ = make_field(this, StretchDialogModel::BLACK_FIELD);
  white_field_ = make_field(this, StretchDialogModel::WHITE_FIELD);
  layout->addLayout(
      labelled_rows(this, {{"Black", black_, black_field_}, {"White", white_, white_field_}}));
  layout->addLayout(button_row(this, messages, StretchDialogModel::help(),
                               [this] { plot_->set_markers(model_.black(), model_.white()); }));
  auto refresh = [this] { this->refresh(); };
  drive_slider(
      this, black_, [this](SliderAction a, int pos) { model_.black_slider(a, pos); },
      [this] { return static_cast<int>(model_.black()); }, refresh);
  drive_slider(
      this, white_, [this](SliderAction a, int pos) { model_.white_slider(a, pos); },
      [this] { return static_cast<int>(model_.white()); }, refresh);
  refresh();
}

void TStretchDialog::refresh() {
  black_->setValue(static_cast<int>(model_.black()));
  white_->setValue(static_cast<int>(model_.white()));
  black_field_->setText(QString::fromStdString(model_.black_field()));
  white_field_->setText(QString::fromStdString(model_.white_field()));
  plot_->set_markers(model_.black(), model_.white());
}

TPowerDialog::TPowerDialog(PowerDialogModel& model, Messages& messages, QWidget* parent)
    : QDialog(parent), model_(model) {
  setWindowTitle(PowerDialogModel::TITLE);
  auto* layout = new QVBoxLayout(this);
  slider_ = make_slider(this, PowerDialogModel::SLIDER, 1, 30, 1);
  field_ = make_field(this, PowerDialogModel::FIELD);
  layout->addLayout(labelled_rows(this, {{"Power", slider_, field_}}));
  layout->addLayout(button_row(this, messages, PowerDialogModel::help()));
  drive_slider(
      this, slider_, [this](SliderAction a, int pos) { model_.slider(a, pos); },
      [this] { return model_.slider_position(); }, [this] { refresh(); });
  refresh();
}

void TPowerDialog::refresh() {
  slider_->setValue(model_.slider_position());
  field_->setText(QString::fromStdString(model_.field()));
}

TNonLiniarDialog::TNonLiniarDialog(NonLiniarDialogModel& model, Messages& messages, QWidget* parent)
    : QDialog(parent), model_(model) {
  setWindowTitle(NonLiniarDialogModel::TITLE);
  auto* layout = new QVBoxLayout(this);
  auto* note = new QLabel(NonLiniarDialogModel::NOTE, this);
  note->setWordWrap(true);
  layout->addWidget(note);
  slider_ = make_slider(this, NonLiniarDialogModel::SLIDER, static_cast<int>(NON_LINEAR_POWER_MIN),
                        static_cast<int>(NON_LINEAR_POWER_MAX), 1);
  field_ = make_field(this, NonLiniarDialogModel::FIELD);
  layout->addLayout(labelled_rows(this, {{"Non-Linear Power", slider_, field_}}));
  layout->addLayout(button_row(this, messages, NonLiniarDialogModel::help()));
  drive_slider(
      this, slider_, [this](SliderAction a, int pos) { model_.slider(a, pos); },
      [this] { return static_cast<int>(model_.power()); }, [this] { refresh(); });
  refresh();
}

void TNonLiniarDialog::refresh() {
  slider_->setValue(static_cast<int>(model_.power()));
  field_->setText(QString::fromStdString(model_.field()));
}

TwoValueDialog::TwoValueDialog(TwoValueDialogModel& model, Messages& messages, QWidget* parent)
    : QDialog(parent), model_(model) {
  const TwoValueDialogLayout& d = model.layout();
  setWindowTitle(d.title);
  auto* layout = new QVBoxLayout(this);
  radius_spin_ = new SpinArrows(this);
  power_spin_ = new SpinArrows(this);
  radius_spin_->setObjectName(QString::number(d.radius_spin_id));
  power_spin_->setObjectName(QString::number(d.power_spin_id));
  radius_field_ = make_field(this, d.radius_field_id);
  power_field_ = make_field(this, d.power_field_id);
  layout->addLayout(labelled_rows(
      this, {{"Radius", radius_field_, radius_spin_}, {"Power", power_field_, power_spin_}}));
  layout->addLayout(button_row(this, messages, d.help()));
  radius_spin_->stepped = [this](int step) {
    if (model_.radius_spin(step)) refresh();
  };
  power_spin_->stepped = [this](int step) {
    if (model_.power_spin(step)) refresh();
  };
  refresh();
}

void TwoValueDialog::refresh() {
  radius_field_->setText(QString::fromStdString(model_.radius_field()));
  power_field_->setText(QString::fromStdString(model_.power_field()));
}

THistDialog::THistDialog(HistDialogModel& model, const HistogramBins& histogram, Messages& messages,
                         QWidget* parent)
    : QDialog(parent), model_(model) {
  setWindowTitle(HistDialogModel::TITLE);
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  plot_ = new HistogramPlot(histogram, PlotStyle::HistogramWindow, this);
  layout->addWidget(plot_);
  auto* row = new QHBoxLayout;
  close_ = new QPushButton("Close", this);
  help_ = new QPushButton("Help", this);
  close_->setObjectName(QString::number(HistDialogModel::CLOSE_ID));
  help_->setObjectName(QString::number(HistDialogModel::HELP_ID));
  row->addStretch();
  row->addWidget(close_);
  row->addWidget(help_);
  layout->addLayout(row);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this, [&messages] {
    const HelpText h = HistDialogModel::help();
    messages.box(h.caption, h.text, BoxIcon::None);
  });
  // Close, the title bar's close box and Escape all end here.
  connect(this, &QDialog::finished, this, [this] {
    model_.close();
    deleteLater();
  });
}

// Destroyed with the main window, whose model may already be gone: hiding
// during destruction must not reach it.
THistDialog::~THistDialog() {
  disconnect(this, &QDialog::finished, nullptr, nullptr);
}

}  // namespace tarvex::ui
