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

TMoveTelescopeDialog::TMoveTelescopeDialog(Tarvex& app, QWidget* parent)
    : QDialog(parent), model_(app) {
  setWindowTitle("TARVEX Move Telescope");
  setModal(false);
  auto* layout = new QVBoxLayout(this);

  // Catalogue go-to.
  auto* catalogue = new QGroupBox("Catalogue", this);
  auto* cat = new QGridLayout(catalogue);
  cat->addWidget(new QLabel("Messier Object", this), 0, 0);
  cat->addWidget(number_box("Messier Object", &MoveTelescopeModel::messier, false), 0, 1);
  cat->addWidget(new QLabel("CNGC Object", this), 1, 0);
  cat->addWidget(number_box("CNGC Object", &MoveTelescopeModel::ngc, false), 1, 1);
  QAbstractButton* goto_object = push("GoTo Object");
  cat->addWidget(goto_object, 0, 2, 2, 1);
  connect(goto_object, &QAbstractButton::clicked, this, [this] {
    model_.goto_object();
    refresh();
  });

  // Coordinate go-to.
  auto* coordinates = new QGroupBox("Co-ordinates", this);
  auto* co = new QGridLayout(coordinates);
  co->addWidget(new QLabel("R.A.", this), 0, 0);
  co->addWidget(number_box("R.A. hrs", &MoveTelescopeModel::ra_hours, false), 0, 1);
  co->addWidget(new QLabel("hrs", this), 0, 2);
  co->addWidget(number_box("R.A. mins", &MoveTelescopeModel::ra_minutes, false), 0, 3);
  co->addWidget(new QLabel("mins", this), 0, 4);
  co->addWidget(new QLabel("Dec.", this), 1, 0);
  co->addWidget(number_box("Dec. Deg", &MoveTelescopeModel::dec_degrees, true), 1, 1);
  co->addWidget(new QLabel("Deg", this), 1, 2);
  co->addWidget(number_box("Dec. mins", &MoveTelescopeModel::dec_minutes, false), 1, 3);
  co->addWidget(new QLabel("mins", this), 1, 4);
  QAbstractButton* goto_coordinates = push("Go To ");
  co->addWidget(goto_coordinates, 0, 5, 2, 1);
  connect(goto_coordinates, &QAbstractButton::clicked, this, [this] {
    model_.goto_coordinates();
    refresh();
  });

  auto* targets = new QHBoxLayout;
  targets->addWidget(catalogue);
  targets->addWidget(coordinates);
  layout->addLayout(targets);

  // Planets.
  auto* planets = new QGroupBox("Go to Planet", this);
  auto* pl = new QGridLayout(planets);
  for (int i = 0; i < static_cast<int>(std::size(PLANET_BUTTONS)); ++i) {
    QAbstractButton* b = push(PLANET_BUTTONS[i].name);
    pl->addWidget(b, i / 4, i % 4);
    connect(b, &QAbstractButton::clicked, this, [this, i] {
      model_.goto_planet(i);
      refresh();
    });
  }
  layout->addWidget(planets);

  // What the mount says about its target.
  layout->addWidget(new QLabel("Info from Scope", this));
  info_ = new QPlainTextEdit(this);
  info_->setObjectName("Info from Scope");
  info_->setReadOnly(true);
  info_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  info_->setLineWrapMode(QPlainTextEdit::NoWrap);
  info_->setFixedHeight(info_->fontMetrics().lineSpacing() * 2 + 14);
  layout->addWidget(info_);

  // Press-and-hold moves, their rate, focus and its speed.
  auto* motion = new QHBoxLayout;
  auto* move = new QGroupBox("Move", this);
  auto* cross = new QGridLayout(move);
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
  motion->addWidget(move);

  auto* rates = new QGroupBox("Rate", this);
  auto* rl = new QVBoxLayout(rates);
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
    const MoveRate rate = r.rate;
    connect(b, &QAbstractButton::clicked, this, [this, rate] {
      model_.set_rate(rate);
      refresh();
    });
  }
  motion->addWidget(rates);

  auto* focus = new QGroupBox("focus", this);
  auto* fl = new QGridLayout(focus);
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
  connect(fast, &QAbstractButton::clicked, this, [this] {
    model_.set_focus_fast(true);
    refresh();
  });
  connect(slow, &QAbstractButton::clicked, this, [this] {
    model_.set_focus_fast(false);
    refresh();
  });
  motion->addWidget(focus);
  layout->addLayout(motion);

  auto* row = new QHBoxLayout;
  QAbstractButton* help = push("Help");
  QAbstractButton* finished = push("Finished");
  row->addWidget(help);
  row->addStretch();
  row->addWidget(finished);
  layout->addLayout(row);
  connect(help, &QAbstractButton::clicked, this, [this] { model_.show_help(); });
  connect(finished, &QAbstractButton::clicked, this, &QDialog::close);
  refresh();
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
  auto* row = new QHBoxLayout;
  auto* help = new QPushButton("Help", this);
  auto* finished = new QPushButton("Finished", this);
  for (QPushButton* b : {help, finished}) {
    b->setObjectName(b->text());
    b->setAutoDefault(false);
    buttons_[b->text()] = b;
  }
  row->addWidget(help);
  row->addStretch();
  row->addWidget(finished);
  layout->addLayout(row);
  connect(help, &QAbstractButton::clicked, this, [this] { model_.show_help(); });
  connect(finished, &QAbstractButton::clicked, this, &QDialog::close);
}

void TBoxMoveDialog::hideEvent(QHideEvent* event) {
  model_.release_all();
  QDialog::hideEvent(event);
}

}  // namespace tarvex::ui
