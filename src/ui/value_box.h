// The read-only value boxes of the dialogs: the boxes beside scroll bars,
// spins and buttons that show a value those controls set. Every dialog makes
// them the same way, so they look and behave read-only alike: no keyboard
// focus (no caret, not in the Tab order), the window's colour behind the
// text instead of the white of an edit box. The text can still be selected
// with the mouse.
#pragma once

class QLineEdit;
class QWidget;

namespace tarvex::ui {

// Makes an existing box a read-only value box.
void make_value_box(QLineEdit* box);

// A new read-only value box.
QLineEdit* new_value_box(QWidget* parent);

}  // namespace tarvex::ui
