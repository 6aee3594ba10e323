#include "ui/picture_view.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/display_pipeline.h"

namespace tarvex::ui {

namespace {

// One notch of a mouse wheel.
constexpr int kWheelStep = 120;

int scaled(int pixels, double zoom) {
  return static_cast<int>(std::lround(pixels * zoom));
}

}  // namespace

const std::vector<double>& PictureView::zoom_steps() {
  static const std::vector<double> steps = {0.125, 0.25, 1.0 / 3, 0.5, 2.0 / 3, 1.0,
                                            1.5,   2.0,  3.0,     4.0, 6.0,     8.0};
  return steps;
}

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
  const int w = fit_ ? 0 : std::max(0, scaled(image_.width(), zoom_) - area.width());
  const int h = fit_ ? 0 : std::max(0, scaled(image_.height(), zoom_) - area.height());
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
    if (!shown_.isNull()) {
      if (zoom_ == 1.0) {
        p.drawImage(QPoint(0, 0), shown_, QRect(sx, sy, area.width(), area.height()));
      } else {
        // Enlarged pixels stay sharp squares; a reduced picture is smoothed.
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform, zoom_ < 1.0);
        p.translate(-sx, -sy);
        p.scale(zoom_, zoom_);
        p.drawImage(QPoint(0, 0), shown_);
        p.restore();
      }
    }
    const int shown_w = std::max(0, scaled(image_.width(), zoom_) - sx);
    const int shown_h = std::max(0, scaled(image_.height(), zoom_) - sy);
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
      p.scale(zoom_, zoom_);
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
  return {static_cast<int>(std::floor((pos.x() + horizontalScrollBar()->value()) / zoom_)),
          static_cast<int>(std::floor((pos.y() + verticalScrollBar()->value()) / zoom_))};
}

void PictureView::move_pointer_by(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  QPoint delta(dx, dy);
  if (fit_ && !image_.isNull()) {
    const QSize area = viewport()->size();
    delta = QPoint(dx * area.width() / image_.width(), dy * area.height() / image_.height());
  } else if (!fit_) {
    delta = QPoint(scaled(dx, zoom_), scaled(dy, zoom_));
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
  const QPoint at = image_position(event->position().toPoint());
  pointer_moved(at.x(), at.y());
}

void PictureView::scrollContentsBy(int, int) {
  viewport()->update();
}

void PictureView::set_zoom(double zoom, QPoint anchor) {
  if (zoom <= 0 || zoom == zoom_) return;
  // The image point under the anchor, in image pixels with fractions.
  const double ix = (anchor.x() + horizontalScrollBar()->value()) / zoom_;
  const double iy = (anchor.y() + verticalScrollBar()->value()) / zoom_;
  zoom_ = zoom;
  refresh_scroll_range();
  horizontalScrollBar()->setValue(static_cast<int>(std::lround(ix * zoom_ - anchor.x())));
  verticalScrollBar()->setValue(static_cast<int>(std::lround(iy * zoom_ - anchor.y())));
  viewport()->update();
  if (zoom_changed) zoom_changed(zoom_);
}

bool PictureView::zoom_by_steps(int steps, QPoint anchor) {
  const auto& z = zoom_steps();
  // The step nearest the present zoom, then `steps` on from it.
  std::size_t at = 0;
  for (std::size_t i = 0; i < z.size(); ++i)
    if (std::abs(z[i] - zoom_) < std::abs(z[at] - zoom_)) at = i;
  const long to =
      std::clamp<long>(static_cast<long>(at) + steps, 0, static_cast<long>(z.size()) - 1);
  if (z[static_cast<std::size_t>(to)] == zoom_) return false;
  set_zoom(z[static_cast<std::size_t>(to)], anchor);
  return true;
}

bool PictureView::zoom_in() {
  return zoom_by_steps(1, viewport()->rect().center());
}

bool PictureView::zoom_out() {
  return zoom_by_steps(-1, viewport()->rect().center());
}

void PictureView::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  event->accept();
  if (fit_ || image_.isNull()) return;
  // Whole notches zoom one step each; finer wheels and touch pads add up.
  wheel_rest_ += event->angleDelta().y();
  const int steps = wheel_rest_ / kWheelStep;
  wheel_rest_ -= steps * kWheelStep;
  if (steps != 0) zoom_by_steps(steps, event->position().toPoint());
}

}  // namespace tarvex::ui
