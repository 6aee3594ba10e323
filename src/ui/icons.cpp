#include "ui/icons.h"

#include <QPainter>
#include <QPixmap>

namespace tarvex::ui {

namespace {

struct Look {
  int bitmap;
  const char* text;
  QColor colour;
};

// Files blue, camera and palette dark, settings grey, colour in its colours,
// contrast orange, filters green, calibration purple.
const Look kLooks[] = {
    {24333, "S", QColor(40, 90, 170)}, {24336, "FT", QColor(40, 90, 170)},
    {24332, "O", QColor(40, 90, 170)}, {1000, "", QColor(30, 30, 30)},
    {1002, "A", QColor(60, 60, 60)},   {1003, "F", QColor(60, 60, 60)},
    {122, "", QColor(110, 110, 110)},  {124, "?", QColor(20, 120, 120)},
    {116, "", QColor(0, 0, 0)},        {114, "AA", QColor(150, 40, 120)},
    {129, "LP", QColor(150, 40, 120)}, {1, "N", QColor(200, 110, 20)},
    {118, "NL", QColor(200, 110, 20)}, {2, "P", QColor(200, 110, 20)},
    {103, "B", QColor(200, 110, 20)},  {106, "U", QColor(30, 130, 50)},
    {3, "M", QColor(30, 130, 50)},     {110, "D", QColor(110, 50, 150)},
    {117, "FF", QColor(110, 50, 150)}, {111, "+", QColor(110, 50, 150)},
};

}  // namespace

QIcon tool_icon(int bitmap) {
  QPixmap pm(24, 24);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const Look* look = nullptr;
  for (const auto& l : kLooks)
    if (l.bitmap == bitmap) look = &l;
  const QColor colour = look ? look->colour : QColor(80, 80, 80);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawRoundedRect(QRectF(1, 1, 22, 22), 4, 4);
  p.setPen(QPen(Qt::white, 2));
  p.setBrush(Qt::NoBrush);
  if (bitmap == 1000) {  // a camera body with its lens
    p.drawRect(QRectF(4, 8, 16, 11));
    p.drawEllipse(QPointF(12, 13.5), 3.5, 3.5);
    p.drawLine(QPointF(8, 8), QPointF(10, 5));
    p.drawLine(QPointF(10, 5), QPointF(14, 5));
    p.drawLine(QPointF(14, 5), QPointF(16, 8));
  } else if (bitmap == 122) {  // a check list
    for (int y : {7, 12, 17}) p.drawLine(QPointF(9, y), QPointF(19, y));
    p.setBrush(Qt::white);
    for (int y : {7, 12, 17}) p.drawEllipse(QPointF(5.5, y), 1.2, 1.2);
  } else if (bitmap == 116) {  // three colour bars
    const QColor bars[] = {QColor(220, 40, 40), QColor(40, 200, 40), QColor(60, 90, 255)};
    for (int i = 0; i < 3; ++i) p.fillRect(QRectF(4 + 6 * i, 6 + 3 * i, 4, 14 - 3 * i), bars[i]);
  } else if (look) {
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(std::strlen(look->text) > 1 ? 10 : 14);
    p.setFont(f);
    p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, look->text);
  }
  return QIcon(pm);
}

}  // namespace tarvex::ui
