// The modeless telescope windows of File > "Telescope Control": "TARVEX Move
// Telescope" for an LX200 mount and "Move Telescope" for the guider control
// box. Views over the models of app/telescope_windows.h: every control
// calls the model, then the window shows what the model reads back.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <map>

#include "app/telescope_windows.h"

class QAbstractButton;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QToolButton;

namespace tarvex::ui {

class TMoveTelescopeDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TMoveTelescopeDialog(Tarvex& app, QWidget* parent = nullptr);

  MoveTelescopeModel& model() { return model_; }
  // Shows what the link holds now: the information text, the rate and the
  // focus speed.
  void refresh();

  // The controls by their text ("GoTo Object", "Mars", "Slew", "fast",
  // "Finished", ...), the number boxes by their labels ("Messier Object",
  // "CNGC Object", "R.A. hrs", "R.A. mins", "Dec. Deg", "Dec. mins"), and
  // the arrows as
  // "north", "south", "east", "west", "focus in" and "focus out".
  QAbstractButton* button(const QString& text) const { return buttons_.at(text); }
  QLineEdit* box(const QString& label) const { return boxes_.at(label); }
  QPlainTextEdit* info() const { return info_; }

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  QLineEdit* number_box(const QString& label, std::string MoveTelescopeModel::*field,
                        bool signed_number);
  QToolButton* arrow(const QString& name, Qt::ArrowType type);
  QRadioButton* radio(const QString& text);
  QAbstractButton* push(const QString& text);
  void after_press(QAbstractButton* b, ScopeResult r);
  // A click runs `command`, then the window shows what the link holds.
  void on_click(QAbstractButton* b, std::function<void()> command);
  // Building the window, group by group.
  void add_goto(QGridLayout* grid, const QString& text, int column, std::function<void()> command);
  QGroupBox* catalogue_box();
  QGroupBox* coordinates_box();
  QGroupBox* planets_box();
  QGroupBox* move_box();
  QGroupBox* rate_box();
  QGroupBox* focus_box();

  MoveTelescopeModel model_;
  std::map<QString, QAbstractButton*> buttons_;
  std::map<QString, QLineEdit*> boxes_;
  QPlainTextEdit* info_ = nullptr;
};

class TBoxMoveDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TBoxMoveDialog(Tarvex& app, QWidget* parent = nullptr);

  ControlBoxMoveModel& model() { return model_; }
  // "Up", "Down", "Left", "Right", "Help", "Finished".
  QAbstractButton* button(const QString& text) const { return buttons_.at(text); }

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  ControlBoxMoveModel model_;
  std::map<QString, QAbstractButton*> buttons_;
};

}  // namespace tarvex::ui
