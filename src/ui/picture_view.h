// The scrollable picture of the main window: the bitmap refresh_display
// wrote, drawn at its own size with 1-pixel scroll steps, or stretched to the
// window in Fit to window mode, on the background brush of the settings.
// Out of Fit to window the picture can be zoomed (View > Zoom In, Zoom Out,
// 1:1, or the mouse wheel with Ctrl); every image position the view reports
// (clicks, pointer moves, overlays) is in image pixels at any zoom.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <functional>
#include <vector>

class QPainter;

namespace tarvex::ui {

class PictureView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit PictureView(QWidget* parent = nullptr);

  void set_image(QImage image);
  const QImage& image() const { return image_; }
  void set_fit_to_window(bool on);
  bool fit_to_window() const { return fit_; }
  void set_background(QColor colour) { background_ = colour; }
  // Called at the end of every paint (the histogram is recomputed there).
  std::function<void()> after_paint;
  // Called with image coordinates while the pointer moves over the picture.
  std::function<void(int x, int y)> pointer_moved;
  // Handlers of a left button release over the picture, given the image
  // column and row under the pointer (window position plus scroll offset, or
  // scaled back to the image in Fit to window mode). They are asked in the
  // order added; the first that returns true takes the click.
  using ClickHandler = std::function<bool(int x, int y)>;
  void add_left_release_handler(ClickHandler handler);
  // Drawings over the picture (the cross on a picked guide star), in image
  // coordinates: the painter is already scrolled or scaled to the image.
  using OverlayPainter = std::function<void(QPainter& painter)>;
  void add_overlay(OverlayPainter overlay);
  // The image position under a viewport position.
  QPoint image_position(QPoint viewport_position) const;
  // Moves the mouse pointer by a distance in image pixels.
  void move_pointer_by(int dx, int dy);
  // The scroll range: picture size (at the zoom) minus viewport size, at
  // least 0; 0 in Fit to window mode.
  void refresh_scroll_range();

  // The zoom: screen pixels per image pixel, one of zoom_steps().
  double zoom() const { return zoom_; }
  static const std::vector<double>& zoom_steps();
  // Sets the zoom, keeping the image point under `anchor` (a viewport
  // position) where it is, as far as the scroll range allows.
  void set_zoom(double zoom, QPoint anchor);
  // The next step up or down, anchored at the middle of the viewport unless
  // told otherwise; false when there is no further step.
  bool zoom_in();
  bool zoom_out();
  bool zoom_by_steps(int steps, QPoint anchor);
  // Called after every change of the zoom.
  std::function<void(double zoom)> zoom_changed;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  QImage image_;
  QImage shown_;  // the picture in the screen's format, converted once per load
  bool fit_ = false;
  double zoom_ = 1.0;
  int wheel_rest_ = 0;  // wheel movement short of a whole step
  QColor background_{192, 192, 192};
  std::vector<ClickHandler> click_handlers_;
  std::vector<OverlayPainter> overlays_;
};

}  // namespace tarvex::ui
