// The scrollable picture of the main window: the bitmap refresh_display
// wrote, drawn at its own size with 1-pixel scroll steps, or stretched to the
// window in Fit to window mode, on the background brush of the settings.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <functional>

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
  // The scroll range: picture size minus viewport size, at least 0; 0 in Fit
  // to window mode.
  void refresh_scroll_range();

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

private:
  QImage image_;
  QImage shown_;  // the picture in the screen's format, converted once per load
  bool fit_ = false;
  QColor background_{192, 192, 192};
};

}  // namespace tarvex::ui
