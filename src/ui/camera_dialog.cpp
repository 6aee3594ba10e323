#include "ui/camera_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/tarvex.h"
#include "ui/qt_ports.h"
#include "ui/value_box.h"

namespace tarvex::ui {

namespace {

struct RangeButton {
  int id;
  ExposureRange range;
  const char* text;
};
constexpr RangeButton RANGE_BUTTONS[] = {{701, ExposureRange::Thousandths, "Thousandths"},
                                         {702, ExposureRange::Hundredths, "Hundredth's"},
                                         {703, ExposureRange::Tenths, "Tenth's"},
                                         {704, ExposureRange::Seconds, "Seconds"},
                                         {705, ExposureRange::Minutes, "Minutes"}};

struct ModeButton {
  int id;
  ExposureMode mode;
  const char* text;
};
constexpr ModeButton MODE_BUTTONS[] = {{133, ExposureMode::Fast, "Fast"},
                                       {134, ExposureMode::Progressive, "Progressive"},
                                       {135, ExposureMode::Interlaced, "Interlaced"}};

struct CheckBox {
  int id;
  CameraCheck check;
  const char* text;
};
constexpr CheckBox CHECK_BOXES[] = {
    {114, CameraCheck::Average, "Average Multiple Exposures"},
    {113, CameraCheck::AlternativeSlew, "Alternative Slew Method"},
    {117, CameraCheck::DelayBefore, "Delay before exposure"},
    {119, CameraCheck::Continuous, "Continuous Mode"},
    {777, CameraCheck::PauseBetween, "Pause between Exposures"},
    {115, CameraCheck::AutoSave, "Auto Save Image"},
    {106, CameraCheck::AutoDark, "Auto-Remove Dark Frame"},
    {124, CameraCheck::AutoColour, "Auto Colour Convert"},
    {122, CameraCheck::AutoExposure, "Auto-Exposure mode"},
    {132, CameraCheck::StretchAll, "Use Stretch on all Images"},
};

QScrollBar* make_bar(Qt::Orientation o, QWidget* parent) {
  auto* bar = new QScrollBar(o, parent);
  bar->setSingleStep(1);
  bar->setPageStep(1);
  if (o == Qt::Horizontal) bar->setMinimumWidth(120);
  return bar;
}

QLineEdit* make_edit(QWidget* parent, int width = 60) {
  QLineEdit* e = new_value_box(parent);
  e->setMinimumWidth(width);
  return e;
}

// A box the user types a value in. Return takes the value there and then,
// without pressing the dialog's default button "Take Photo".
class EntryEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    QLineEdit::keyPressEvent(event);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) event->accept();
  }
};

// -1 for the arrow or page towards the minimum, +1 towards the maximum, 0
// for any other action.
int arrow_step(int action) {
  if (action == QAbstractSlider::SliderSingleStepSub) return -1;
  if (action == QAbstractSlider::SliderSingleStepAdd) return 1;
  return 0;
}

}  // namespace

template <class W>
W* TVQDialog::add(int id, W* widget) {
  controls_[id] = widget;
  widget->setObjectName(QString("control%1").arg(id));
  return widget;
}

template <class Button, std::size_t N, class Choose>
QGroupBox* TVQDialog::radio_group(const char* title, const Button (&buttons)[N], Choose choose) {
  auto* box = new QGroupBox(title, this);
  auto* layout = new QVBoxLayout(box);
  for (const Button& button : buttons) {
    auto* b = add(button.id, new QRadioButton(button.text, box));
    b->setAutoExclusive(false);
    layout->addWidget(b);
    connect(b, &QRadioButton::clicked, this, [this, choose, &button] {
      choose(button);
      changed();
    });
  }
  return box;
}

QCheckBox* TVQDialog::check_box(int id, const char* text, QWidget* parent,
                                std::function<void()> toggle) {
  auto* box = add(id, new QCheckBox(text, parent));
  connect(box, &QCheckBox::clicked, this, [this, toggle = std::move(toggle)] {
    toggle();
    changed();
  });
  return box;
}

void TVQDialog::arrow_row(QGridLayout* layout, int row, const char* label, int bar_id, int edit_id,
                          void (CameraDialogModel::*arrow)(int)) {
  QWidget* parent = layout->parentWidget();
  auto* bar = add(bar_id, make_bar(Qt::Horizontal, parent));
  connect(bar, &QScrollBar::actionTriggered, this, [this, arrow](int action) {
    if (refreshing_) return;
    if (const int step = arrow_step(action)) (model_.*arrow)(step);
    changed();
  });
  layout->addWidget(new QLabel(label, parent), row, 0);
  layout->addWidget(bar, row, 1);
  layout->addWidget(add(edit_id, make_edit(parent)), row, 2);
}

TVQDialog::TVQDialog(Tarvex& app, QWidget* parent, LiveStackSettings* live)
    : QDialog(parent), app_(app), model_(app), live_(live != nullptr ? live : &own_live_) {
  setWindowTitle(CAMERA_DIALOG_TITLE);
  setModal(true);
  auto* grid = new QGridLayout(this);
  // The controls are made in their tab order: the left column, the exposure
  // settings, focus mode, self-guiding, the closing buttons.
  auto* left = new QVBoxLayout;
  left->addWidget(radio_group("Exposure Range", RANGE_BUTTONS,
                              [this](const RangeButton& r) { model_.choose_range(r.range); }));
  left->addWidget(radio_group("Exposure Mode", MODE_BUTTONS,
                              [this](const ModeButton& m) { model_.choose_mode(m.mode); }));
  left->addStretch();
  grid->addLayout(left, 0, 0, 2, 1);
  grid->addWidget(exposure_box(), 0, 1, 2, 1);
  grid->addWidget(focus_box(), 0, 2);
  grid->addWidget(guide_box(), 1, 2);
  grid->addLayout(closing_buttons(), 2, 0, 1, 3);
  refresh();
}

// The exposure value and the multiple exposure options.
QGroupBox* TVQDialog::exposure_box() {
  auto* box = new QGroupBox(this);
  auto* ex = new QGridLayout(box);
  arrow_row(ex, 0, "Exposure Value", 104, 105, &CameraDialogModel::exposure_arrow);
  ex->addWidget(new QLabel("Multiple Exposure Options", box), 1, 0, 1, 3);
  arrow_row(ex, 2, "No of Exposures", 111, 112, &CameraDialogModel::count_arrow);
  arrow_row(ex, 3, "Delay between Exposures (mins)", 120, 121, &CameraDialogModel::delay_arrow);
  int row = 4;
  for (const CheckBox& c : CHECK_BOXES) {
    if (c.id == 132) continue;  // in the focus group
    ex->addWidget(check_box(c.id, c.text, box, [this, which = c.check] { model_.toggle(which); }),
                  row, 0, 1, 2);
    if (c.id == 119) {
      // Beside "Continuous Mode", the runs it belongs to.
      ex->addWidget(check_box(LIVE_STACK_ID, "Live Stack", box, [this] { live_->on = !live_->on; }),
                    row, 2);
    }
    // The dark frame's name on a row of its own, under its check box, so
    // the dialog fits a 1024 x 768 screen.
    if (c.id == 106) ex->addWidget(add(116, make_edit(box, 140)), ++row, 1, 1, 2);
    if (c.id == 115) {
      ++row;
      ex->addWidget(new QLabel("Directory", box), row, 0);
      ex->addWidget(add(129, make_edit(box, 140)), row, 1, 1, 2);
      ++row;
      ex->addWidget(new QLabel("Last File No.", box), row, 0);
      ex->addWidget(add(118, make_edit(box)), row, 1);
    }
    ++row;
  }
  return box;
}

QGroupBox* TVQDialog::focus_box() {
  auto* box = new QGroupBox("Focus Mode", this);
  auto* fo = new QGridLayout(box);
  auto* start = add(108, new QPushButton("Start", box));
  connect(start, &QPushButton::clicked, this, [this] { start_focus(); });
  // Its press, a left button press, is what ends the focus mode; presses on
  // the dialog's other controls are not.
  auto* stop = add(109, new QPushButton("Stop", box));
  mark_stop_source(stop);
  fo->addWidget(start, 0, 0);
  fo->addWidget(stop, 0, 1);
  fo->addWidget(new QLabel("Max Value", box), 1, 0);
  fo->addWidget(add(110, make_edit(box)), 1, 1);
  auto* stretch_bar = add(130, make_bar(Qt::Vertical, box));
  stretch_bar->setMinimumHeight(90);
  connect(stretch_bar, &QScrollBar::actionTriggered, this, [this, stretch_bar](int action) {
    stretch_action(action, stretch_bar->sliderPosition());
  });
  auto* stretch_labels = new QVBoxLayout;
  stretch_labels->addWidget(new QLabel("Stretch", box));
  stretch_labels->addWidget(new QLabel("12bit", box));
  stretch_labels->addStretch();
  stretch_labels->addWidget(new QLabel("16bit", box));
  fo->addLayout(stretch_labels, 2, 0);
  auto* stretch_col = new QHBoxLayout;
  stretch_col->addWidget(stretch_bar);
  stretch_col->addWidget(add(131, make_edit(box, 40)));
  fo->addLayout(stretch_col, 2, 1);
  fo->addWidget(check_box(132, "Use Stretch on all Images", box,
                          [this] { model_.toggle(CameraCheck::StretchAll); }),
                3, 0, 1, 2);
  fo->addWidget(new QLabel("Focus Window", box), 4, 0, 1, 2);
  picture_ = new QLabel(box);
  picture_->setFixedSize(WINDOW_SIZE, WINDOW_SIZE);
  picture_->setFrameShape(QFrame::Box);
  fo->addWidget(picture_, 5, 0, 1, 2);
  return box;
}

void TVQDialog::stretch_action(int action, int position) {
  if (refreshing_) return;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: model_.stretch_arrow(-1); break;
    case QAbstractSlider::SliderSingleStepAdd: model_.stretch_arrow(1); break;
    case QAbstractSlider::SliderPageStepSub: model_.stretch_page(-1); break;
    case QAbstractSlider::SliderPageStepAdd: model_.stretch_page(1); break;
    case QAbstractSlider::SliderMove: model_.stretch_to(position); break;
    default: break;
  }
  changed();
}

QGroupBox* TVQDialog::guide_box() {
  auto* box = new QGroupBox("Self-Guiding Controls", this);
  auto* gu = new QGridLayout(box);
  gu->addWidget(
      check_box(123, "Self-Guide Next Exposure", box, [this] { model_.toggle_self_guide(); }), 0, 0,
      1, 3);
  gu->addWidget(
      check_box(125, "Take matching Darkframe", box, [this] { model_.toggle_matching_dark(); }), 1,
      0, 1, 3);
  // Dithering between the exposures of a self-guided, automatically saved
  // run, and how far (pixels).
  gu->addWidget(
      check_box(DITHER_ID, "Dither Between Exposures", box, [this] { model_.toggle_dither(); }), 2,
      0, 1, 2);
  auto* pixels = add(DITHER_PIXELS_ID, new EntryEdit(box));
  pixels->setMaximumWidth(60);
  connect(pixels, &QLineEdit::editingFinished, this, [this, pixels] {
    if (refreshing_) return;
    model_.set_dither_pixels(pixels->text().trimmed().toStdString());
    pixels->setModified(false);  // taken: the box shows the amount held
    changed();
  });
  gu->addWidget(pixels, 2, 2);
  gu->addWidget(new QLabel("No of Guiding Frames", box), 3, 0);
  gu->addWidget(add(126, make_edit(box)), 3, 1);
  gu->addWidget(new QLabel("Value", box), 4, 0);
  gu->addWidget(add(127, make_edit(box)), 4, 1);
  gu->addWidget(add(128, make_edit(box, 90)), 4, 2);
  gu->addWidget(add(136, make_edit(box, 140)), 5, 0, 1, 3);
  // Wrapped, so the dialog fits a 1024 x 768 screen.
  auto* note = new QLabel("***Nb: Self-Guide only available with special Control Box", box);
  note->setWordWrap(true);
  gu->addWidget(note, 6, 0, 1, 3);
  return box;
}

QHBoxLayout* TVQDialog::closing_buttons() {
  auto* buttons = new QHBoxLayout;
  auto* take = add(1, new QPushButton("Take Photo", this));
  take->setDefault(true);
  connect(take, &QPushButton::clicked, this, [this] {
    if (!focusing_) done(1);
  });
  auto* cancel = add(2, new QPushButton("Cancel", this));
  connect(cancel, &QPushButton::clicked, this, &TVQDialog::reject);
  auto* help = add(9, new QPushButton("Help", this));
  connect(help, &QPushButton::clicked, this, [this] { show_help(); });
  buttons->addStretch();
  buttons->addWidget(take);
  buttons->addWidget(cancel);
  buttons->addWidget(help);
  return buttons;
}

QWidget* TVQDialog::control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}
QPushButton* TVQDialog::button(int id) const {
  return qobject_cast<QPushButton*>(control(id));
}
QCheckBox* TVQDialog::check(int id) const {
  return qobject_cast<QCheckBox*>(control(id));
}
QRadioButton* TVQDialog::radio(int id) const {
  return qobject_cast<QRadioButton*>(control(id));
}
QScrollBar* TVQDialog::bar(int id) const {
  return qobject_cast<QScrollBar*>(control(id));
}
QLineEdit* TVQDialog::edit(int id) const {
  return qobject_cast<QLineEdit*>(control(id));
}

void TVQDialog::changed() {
  refresh();
  update();
}

void TVQDialog::refresh() {
  refreshing_ = true;
  const AcquisitionSettings& s = model_.settings();
  auto set_bar = [](QScrollBar* b, int lo, int hi, int v) {
    b->setRange(lo, hi);
    b->setValue(v);
    b->setSliderPosition(v);
  };
  set_bar(bar(104), 0, model_.value_maximum(), s.value);
  set_bar(bar(111), 0, MAX_EXPOSURE_COUNT, s.count);
  set_bar(bar(120), 0, MAX_DELAY_MINUTES, s.delay_minutes);
  set_bar(bar(130), MIN_PALETTE_BITS, MAX_PALETTE_BITS, model_.stretch_bits());
  edit(105)->setText(QString::number(s.value));
  edit(112)->setText(QString::number(s.count));
  edit(121)->setText(QString::number(s.delay_minutes));
  edit(118)->setText(QString::fromStdString(model_.last_file_text()));
  edit(110)->setText(QString::number(model_.peak()));
  edit(116)->setText(QString::fromStdString(model_.dark_name_text()));
  edit(129)->setText(QString::fromStdString(model_.directory_text()));
  edit(131)->setText(QString::number(model_.stretch_bits()));
  edit(126)->setText(QString::number(s.guide_frames));
  for (const CheckBox& c : CHECK_BOXES) check(c.id)->setChecked(model_.checked(c.check));
  check(LIVE_STACK_ID)->setChecked(live_->on);
  check(LIVE_STACK_ID)->setEnabled(model_.checked(CameraCheck::Continuous));
  for (const RangeButton& r : RANGE_BUTTONS) radio(r.id)->setChecked(s.range == r.range);
  for (const ModeButton& m : MODE_BUTTONS) radio(m.id)->setChecked(s.mode == m.mode);
  check(123)->setChecked(s.self_guide_next);
  check(125)->setChecked(s.take_matching_dark);
  edit(127)->setText(QString::fromStdString(model_.guide_value_text()));
  edit(128)->setText(QString::fromStdString(model_.guide_range_text()));
  edit(136)->setText(QString::fromStdString(model_.guide_mode_text()));
  // Shown whatever the run, but only live where it acts.
  const bool dither_live = model_.dither_available();
  const QString dither_tip = dither_live ? QString() : QString(DITHER_NEEDS_TEXT);
  check(DITHER_ID)->setChecked(s.dither);
  for (int id : {DITHER_ID, DITHER_PIXELS_ID}) {
    control(id)->setEnabled(dither_live);
    control(id)->setToolTip(dither_tip);
  }
  // Not while the user is typing in it.
  if (QLineEdit* pixels = edit(DITHER_PIXELS_ID); !(pixels->hasFocus() && pixels->isModified()))
    pixels->setText(QString::fromStdString(model_.dither_pixels_text()));
  // While focusing only "Stop" and the settings the frames read stay live.
  for (int id : {1, 2, 9, 108}) control(id)->setEnabled(!focusing_);
  refreshing_ = false;
}

void TVQDialog::paintEvent(QPaintEvent* event) {
  // The last focus frame, once its bitmap has been written.
  if (app_.display.SmallFrameMode) {
    const QString file = QString::fromStdString(app_.paths.bitmap_file(true).string());
    if (QFile::exists(file)) {
      QPixmap pixmap(file);
      if (!pixmap.isNull()) picture_->setPixmap(pixmap);
    }
  }
  QDialog::paintEvent(event);
}

void TVQDialog::reject() {
  if (focusing_) return;  // the focus mode ends with a left press first
  QDialog::reject();
}

void TVQDialog::show_help() {
  QMessageBox::information(this, CAMERA_HELP_CAPTION, CAMERA_HELP_TEXT);
}

void TVQDialog::start_focus() {
  if (focusing_) return;
  focusing_ = true;
  refresh();
  run_focus_mode(app_, *this);
  focusing_ = false;
  refresh();
  update();
}

void TVQDialog::frame_shown(int peak) {
  model_.set_peak(peak);
  refresh();
  update();
}

bool TVQDialog::pause_prompt() {
  QMessageBox box(QMessageBox::NoIcon, FOCUS_PAUSE_TITLE, FOCUS_PAUSE_TEXT, QMessageBox::NoButton,
                  this);
  QPushButton* ok = box.addButton("OK", QMessageBox::AcceptRole);
  box.addButton("Stop", QMessageBox::RejectRole);
  box.exec();
  return box.clickedButton() == ok;
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

CameraDialogResult QtCaptureFront::run_camera_dialog(AcquisitionSettings& /*settings*/) {
  TVQDialog dialog(app_, owner_, &live_);
  return dialog.exec() == 1 ? CameraDialogResult::TakePhoto : CameraDialogResult::Cancel;
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
