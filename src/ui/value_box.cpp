#include "ui/value_box.h"

#include <QLineEdit>
#include <QPalette>

namespace tarvex::ui {

void make_value_box(QLineEdit* box) {
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::NoFocus);
  QPalette p = box->palette();
  p.setColor(QPalette::Base, p.color(QPalette::Window));
  box->setPalette(p);
  box->setProperty("valueBox", true);
}

QLineEdit* new_value_box(QWidget* parent) {
  auto* box = new QLineEdit(parent);
  make_value_box(box);
  return box;
}

}  // namespace tarvex::ui
