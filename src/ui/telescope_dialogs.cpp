#include "ui/telescope_dialogs.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarvex::ui {

namespace {

// A failed press (its message already shown) leaves the button up, so the
// window does not look as if a move ran.
void show_press(QAbstractButton* b, ScopeResult r) {
  if (r != ScopeResult::Done && r != ScopeResult::Ignored) b->setDown(false);
}

// The windows' last row: "Help" at the left, "Finished" at the right,
// which closes the window.
void add_closing_row(QDialog* window, QBoxLayout* layout,
                     std::map<QString, QAbstractButton*>& buttons, std::function<void()> help) {
  auto* row = new QHBoxLayout;
  auto* help_button = new QPushButton("Help", window);
  auto* finished = new QPushButton("Finished", window);
  for (QPushButton* b : {help_button, finished}) {
    b->setObjectName(b->text());
    b->setAutoDefault(false);
    buttons[b->text()] = b;
  }
  row->addWidget(help_button);
  row->addStretch();
  row->addWidget(finished);
  layout->addLayout(row);
  QObject::connect(help_button, &QAbstractButton::clicked, window, std::move(help));
  QObject::connect(finished, &QAbstractButton::clicked, window, &QDialog::close);
}

}  // namespace

// --- "TARVEX Move Telescope" ---

QLineEdit* TMoveTelescopeDialog::number_box(const QString& label,
                                            std::string MoveTelescopeModel::*field,
                                            bool signed_number) {
  auto* e = new QLineEdit(QString::fromStdString(model_.*field), this);
  e->setObjectName(label);
  // Digits, and for the degrees a sign: "-0" is south of the equator.
  e->setValidator(new QRegularExpressionValidator(
      QRegularExpression(signed_number ? "[+-]?[0-9]{0,3}" : "[0-9]{0,4}"), e));
  e->setFixedWidth(e->fontMetrics().horizontalAdvance("-00000") + 12);
  connect(e, &QLineEdit::textChanged, this,
          [this, field](const QString& t) { model_.*field = t.toStdString(); });
  boxes_[label] = e;
  return e;
}

QToolButton* TMoveTelescopeDialog::arrow(const QString& name, Qt::ArrowType type) {
  auto* b = new QToolButton(this);
  b->setObjectName(name);
  b->setArrowType(type);
  b->setToolTip(name);
  b->setAutoRepeat(false);
  b->setMinimumSize(32, 32);
  buttons_[name] = b;
  return b;
}

QRadioButton* TMoveTelescopeDialog::radio(const QString& text) {
  auto* r = new QRadioButton(text, this);
  r->setObjectName(text);
  r->setAutoExclusive(false);  // the command buffers decide which one shows
  buttons_[text] = r;
  return r;
}

QAbstractButton* TMoveTelescopeDialog::push(const QString& text) {
  auto* b = new QPushButton(text, this);
  b->setObjectName(text);
  b->setAutoDefault(false);
  buttons_[text] = b;
  return b;
}

void TMoveTelescopeDialog::after_press(QAbstractButton* b, ScopeResult r) {
  show_press(b, r);
  refresh();
}

void TMoveTelescopeDialog::on_click(QAbstractButton* b, std::function<void()> command) {
  connect(b, &QAbstractButton::clicked, this, [this, command = std::move(command)] {
    command();
    refresh();
  });
}

TMoveTelescopeDialog::TMoveTelescopeDialog(Tarvex& app, QWidget* parent)
    : QDialog(parent), model_(app) {
  setWindowTitle("TARVEX Move Telescope");
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  // The controls are made in their tab order, top to bottom.
  auto* targets = new QHBoxLayout;
  targets->addWidget(catalogue_box());
  targets->addWidget(coordinates_box());
  layout->addLayout(targets);
  layout->addWidget(planets_box());

  // What the mount says about its target.
  layout->addWidget(new QLabel("Info from Scope", this));
  info_ = new QPlainTextEdit(this);
  info_->setObjectName("Info from Scope");
  info_->setReadOnly(true);
  info_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  info_->setLineWrapMode(QPlainTextEdit::NoWrap);
  info_->setFixedHeight(info_->fontMetrics().lineSpacing() * 2 + 14);
  layout->addWidget(info_);

  // Closing the loop through the camera and the plate solver; each step
  // shows in the information text as it happens.
  auto* solving = new QHBoxLayout;
  QAbstractButton* sync = push("Solve && Sync");
  sync->setObjectName("Solve & Sync");
  QAbstractButton* centre = push("Centre Target");
  solving->addWidget(sync);
  solving->addWidget(centre);
  layout->addLayout(solving);
  on_click(sync, [this] { model_.solve_and_sync(); });
  on_click(centre, [this] { model_.centre_target(); });
  model_.on_step = [this] { refresh(); };

  // Press-and-hold moves, their rate, focus and its speed.
  auto* motion = new QHBoxLayout;
  motion->addWidget(move_box());
  motion->addWidget(rate_box());
  motion->addWidget(focus_box());
  layout->addLayout(motion);

  add_closing_row(this, layout, buttons_, [this] { model_.show_help(); });
  refresh();
}

// The go-to button of a target group, beside both rows of its boxes.
void TMoveTelescopeDialog::add_goto(QGridLayout* grid, const QString& text, int column,
                                    std::function<void()> command) {
  QAbstractButton* go = push(text);
  grid->addWidget(go, 0, column, 2, 1);
  on_click(go, std::move(command));
}

// Catalogue go-to.
QGroupBox* TMoveTelescopeDialog::catalogue_box() {
  auto* box = new QGroupBox("Catalogue", this);
  auto* cat = new QGridLayout(box);
  cat->addWidget(new QLabel("Messier Object", this), 0, 0);
  cat->addWidget(number_box("Messier Object", &MoveTelescopeModel::messier, false), 0, 1);
  cat->addWidget(new QLabel("CNGC Object", this), 1, 0);
  cat->addWidget(number_box("CNGC Object", &MoveTelescopeModel::ngc, false), 1, 1);
  add_goto(cat, "GoTo Object", 2, [this] { model_.goto_object(); });
  return box;
}

// Coordinate go-to: a row for the right ascension, one for the declination,
// each a label and two boxes with their units.
QGroupBox* TMoveTelescopeDialog::coordinates_box() {
  auto* box = new QGroupBox("Co-ordinates", this);
  auto* co = new QGridLayout(box);
  const struct {
    const char* row_label;  // before the row's first box
    const char* label;
    std::string MoveTelescopeModel::*field;
    bool signed_number;
    const char* unit;
  } kBoxes[] = {{"R.A.", "R.A. hrs", &MoveTelescopeModel::ra_hours, false, "hrs"},
                {nullptr, "R.A. mins", &MoveTelescopeModel::ra_minutes, false, "mins"},
                {"Dec.", "Dec. Deg", &MoveTelescopeModel::dec_degrees, true, "Deg"},
                {nullptr, "Dec. mins", &MoveTelescopeModel::dec_minutes, false, "mins"}};
  for (int i = 0; i < 4; ++i) {
    const auto& b = kBoxes[i];
    const int row = i / 2, column = 1 + 2 * (i % 2);
    if (b.row_label != nullptr) co->addWidget(new QLabel(b.row_label, this), row, 0);
    co->addWidget(number_box(b.label, b.field, b.signed_number), row, column);
    co->addWidget(new QLabel(b.unit, this), row, column + 1);
  }
  add_goto(co, "Go To ", 5, [this] { model_.goto_coordinates(); });
  return box;
}

QGroupBox* TMoveTelescopeDialog::planets_box() {
  auto* box = new QGroupBox("Go to Planet", this);
  auto* pl = new QGridLayout(box);
  for (int i = 0; i < static_cast<int>(std::size(PLANET_BUTTONS)); ++i) {
    QAbstractButton* b = push(PLANET_BUTTONS[i].name);
    pl->addWidget(b, i / 4, i % 4);
    on_click(b, [this, i] { model_.goto_planet(i); });
  }
  return box;
}

// The four arrows of the move cross, held down to move.
QGroupBox* TMoveTelescopeDialog::move_box() {
  auto* box = new QGroupBox("Move", this);
  auto* cross = new QGridLayout(box);
  const struct {
    const char* name;
    Qt::ArrowType type;
    Direction direction;
    int row, column;
  } kArrows[] = {{"north", Qt::UpArrow, Direction::North, 0, 1},
                 {"west", Qt::LeftArrow, Direction::West, 1, 0},
                 {"east", Qt::RightArrow, Direction::East, 1, 2},
                 {"south", Qt::DownArrow, Direction::South, 2, 1}};
  for (const auto& a : kArrows) {
    QToolButton* b = arrow(a.name, a.type);
    cross->addWidget(b, a.row, a.column);
    const Direction d = a.direction;
    connect(b, &QAbstractButton::pressed, this,
            [this, b, d] { after_press(b, model_.press_move(d)); });
    connect(b, &QAbstractButton::released, this, [this] {
      model_.release_move();
      refresh();
    });
  }
  return box;
}

QGroupBox* TMoveTelescopeDialog::rate_box() {
  auto* box = new QGroupBox("Rate", this);
  auto* rl = new QVBoxLayout(box);
  const struct {
    const char* text;
    MoveRate rate;
  } kRates[] = {{"Slew", MoveRate::Slew},
                {"Find", MoveRate::Find},
                {"Centre", MoveRate::Centre},
                {"Guide", MoveRate::Guide}};
  for (const auto& r : kRates) {
    QRadioButton* b = radio(r.text);
    rl->addWidget(b);
    on_click(b, [this, rate = r.rate] { model_.set_rate(rate); });
  }
  return box;
}

// The focuser's two arrows, held down to run it, and its speed.
QGroupBox* TMoveTelescopeDialog::focus_box() {
  auto* box = new QGroupBox("focus", this);
  auto* fl = new QGridLayout(box);
  QToolButton* focus_in = arrow("focus in", Qt::UpArrow);
  QToolButton* focus_out = arrow("focus out", Qt::DownArrow);
  fl->addWidget(focus_in, 0, 0);
  fl->addWidget(focus_out, 1, 0);
  for (QToolButton* b : {focus_in, focus_out}) {
    const bool up = b == focus_in;
    connect(b, &QAbstractButton::pressed, this,
            [this, b, up] { after_press(b, model_.press_focus(up)); });
    connect(b, &QAbstractButton::released, this, [this] {
      model_.release_focus();
      refresh();
    });
  }
  QRadioButton* fast = radio("fast");
  QRadioButton* slow = radio("slow");
  fl->addWidget(fast, 0, 1);
  fl->addWidget(slow, 1, 1);
  on_click(fast, [this] { model_.set_focus_fast(true); });
  on_click(slow, [this] { model_.set_focus_fast(false); });
  return box;
}

void TMoveTelescopeDialog::refresh() {
  info_->setPlainText(QString::fromStdString(model_.info_text()));
  const MoveRate rate = model_.rate();
  buttons_.at("Slew")->setChecked(rate == MoveRate::Slew);
  buttons_.at("Find")->setChecked(rate == MoveRate::Find);
  buttons_.at("Centre")->setChecked(rate == MoveRate::Centre);
  buttons_.at("Guide")->setChecked(rate == MoveRate::Guide);
  buttons_.at("fast")->setChecked(model_.focus_fast());
  buttons_.at("slow")->setChecked(!model_.focus_fast());
}

void TMoveTelescopeDialog::hideEvent(QHideEvent* event) {
  // A window that goes away leaves no move running.
  model_.release_all();
  QDialog::hideEvent(event);
}

// --- "Move Telescope" ---

TBoxMoveDialog::TBoxMoveDialog(Tarvex& app, QWidget* parent) : QDialog(parent), model_(app) {
  setWindowTitle("Move Telescope");
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* cross = new QGridLayout;
  const struct {
    const char* text;
    Qt::ArrowType type;
    Direction direction;  // its position in the direction block
    int row, column;
  } kArrows[] = {{"Up", Qt::UpArrow, Direction::North, 0, 1},
                 {"Left", Qt::LeftArrow, Direction::West, 1, 0},
                 {"Right", Qt::RightArrow, Direction::East, 1, 2},
                 {"Down", Qt::DownArrow, Direction::South, 2, 1}};
  for (const auto& a : kArrows) {
    auto* b = new QToolButton(this);
    b->setObjectName(a.text);
    b->setText(a.text);
    b->setArrowType(a.type);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setMinimumSize(48, 48);
    cross->addWidget(b, a.row, a.column);
    buttons_[a.text] = b;
    const Direction d = a.direction;
    connect(b, &QAbstractButton::pressed, this, [this, b, d] { show_press(b, model_.press(d)); });
    connect(b, &QAbstractButton::released, this, [this] { model_.release(); });
  }
  layout->addLayout(cross);
  add_closing_row(this, layout, buttons_, [this] { model_.show_help(); });
}

void TBoxMoveDialog::hideEvent(QHideEvent* event) {
  model_.release_all();
  QDialog::hideEvent(event);
}

}  // namespace tarvex::ui
