#include "ui/picture_view.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace tarvex::ui {

PictureView::PictureView(QWidget* parent) : QAbstractScrollArea(parent) {
  horizontalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setRange(0, 200);
  verticalScrollBar()->setRange(0, 200);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureView::set_image(QImage image) {
  image_ = std::move(image);
  shown_ = image_.convertToFormat(QImage::Format_RGB32);
  refresh_scroll_range();
  viewport()->update();
}

void PictureView::set_fit_to_window(bool on) {
  fit_ = on;
  refresh_scroll_range();
  viewport()->update();
}

void PictureView::refresh_scroll_range() {
  const QSize area = viewport()->size();
  const int w = fit_ ? 0 : std::max(0, image_.width() - area.width());
  const int h = fit_ ? 0 : std::max(0, image_.height() - area.height());
  horizontalScrollBar()->setRange(0, w);
  verticalScrollBar()->setRange(0, h);
  horizontalScrollBar()->setPageStep(std::max(1, area.width()));
  verticalScrollBar()->setPageStep(std::max(1, area.height()));
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const QRect area = viewport()->rect();
  if (fit_) {
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (!shown_.isNull())
      p.drawImage(area, shown_);
    else
      p.fillRect(area, background_);
  } else {
    const int sx = horizontalScrollBar()->value();
    const int sy = verticalScrollBar()->value();
    if (!shown_.isNull())
      p.drawImage(QPoint(0, 0), shown_, QRect(sx, sy, area.width(), area.height()));
    const int shown_w = std::max(0, image_.width() - sx);
    const int shown_h = std::max(0, image_.height() - sy);
    // The rest of the client area, right of and below the picture.
    if (shown_w < area.width())
      p.fillRect(QRect(shown_w, 0, area.width() - shown_w, area.height()), background_);
    if (shown_h < area.height())
      p.fillRect(QRect(0, shown_h, shown_w, area.height() - shown_h), background_);
  }
  if (!overlays_.empty() && !image_.isNull()) {
    p.save();
    if (fit_) {
      p.scale(double(area.width()) / image_.width(), double(area.height()) / image_.height());
    } else {
      p.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    }
    for (const auto& overlay : overlays_) overlay(p);
    p.restore();
  }
  if (after_paint) after_paint();
}

void PictureView::add_left_release_handler(ClickHandler handler) {
  click_handlers_.push_back(std::move(handler));
}

void PictureView::add_overlay(OverlayPainter overlay) {
  overlays_.push_back(std::move(overlay));
  viewport()->update();
}

QPoint PictureView::image_position(QPoint pos) const {
  if (fit_) {
    const QSize area = viewport()->size();
    if (area.isEmpty()) return {};
    return {pos.x() * image_.width() / area.width(), pos.y() * image_.height() / area.height()};
  }
  return {pos.x() + horizontalScrollBar()->value(), pos.y() + verticalScrollBar()->value()};
}

void PictureView::move_pointer_by(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  QPoint delta(dx, dy);
  if (fit_ && !image_.isNull()) {
    const QSize area = viewport()->size();
    delta = QPoint(dx * area.width() / image_.width(), dy * area.height() / image_.height());
  }
  QCursor::setPos(QCursor::pos() + delta);
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || image_.isNull()) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  const QPoint at = image_position(event->position().toPoint());
  for (const auto& handler : click_handlers_) {
    if (handler(at.x(), at.y())) break;
  }
}

void PictureView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  refresh_scroll_range();
  viewport()->update();
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
  if (!pointer_moved || fit_) return;
  const QPoint pos = event->position().toPoint();
  pointer_moved(pos.x() + horizontalScrollBar()->value(), pos.y() + verticalScrollBar()->value());
}

void PictureView::scrollContentsBy(int, int) {
  viewport()->update();
}

}  // namespace tarvex::ui
