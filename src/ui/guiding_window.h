// The "Guiding Info" window: the star position and the last error, the
// current guide frame, the guide algorithm in use, and a live graph of the
// RA and Dec errors with their RMS, the pulses sent and the guiding events
// (dithers, settling, the star lost). Modeless; the autoguider opens,
// retitles, refreshes and closes it through GuiderFront.
#pragma once

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <cstdint>

#include "app/guiding/autoguider.h"

namespace tarvex::ui {

// The colours of the guiding events on the graph.
inline constexpr QRgb DITHER_COLOUR = qRgb(230, 90, 255);    // a vertical line
inline constexpr QRgb SETTLED_COLOUR = qRgb(40, 200, 70);    // a dot
inline constexpr QRgb TIMED_OUT_COLOUR = qRgb(255, 140, 0);  // a dot
inline constexpr QRgb STAR_LOST_COLOUR = qRgb(100, 45, 45);  // a shaded span

// The graph: errors in pixels over the samples kept, RA and Dec as two
// lines around zero, the pulses as bars under them, and the guiding events
// at their times among the samples.
class GuideGraphView : public QWidget {
 public:
  explicit GuideGraphView(QWidget* parent = nullptr);
  void set_graph(const GuideGraph* graph) { graph_ = graph; }
  // Pixels to arcseconds on each axis; while either is unknown the RMS is
  // shown in pixels only.
  void set_scale(const GuideScale& scale) { scale_ = scale; }
  QString rms_text() const;
  // The RMS of both axes together, in pixels and, with the scale known, in
  // arcseconds.
  QString total_rms_text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Where on the x axis the time `at_ms` falls among the samples shown
  // (from `first`, `step` pixels apart); negative when it is older than the
  // oldest of them.
  double x_of(std::uint32_t at_ms, std::size_t first, double step) const;
  void draw_lost_spans(QPainter& p, std::size_t first, double step, int errors_h) const;
  void draw_events(QPainter& p, std::size_t first, double step, int errors_h) const;

  const GuideGraph* graph_ = nullptr;
  GuideScale scale_;
};

class GuidingInfoWindow : public QWidget, public GuiderFront {
 public:
  explicit GuidingInfoWindow(QWidget* parent = nullptr);
  // The autoguider whose values are shown.
  void set_guider(const Autoguider* guider);

  void show_info(const std::string& title) override;
  void refresh_info() override;
  void close_info() override;
  // Shown in the main window's status bar.
  void training_status(const std::string& text) override;

  // For tests.
  QString field(const char* name) const;
  // The text of the label of this object name: "algorithm", "rms", "total_rms".
  QString label_text(const char* name) const;
  const QImage& frame_image() const { return image_; }
  GuideGraphView* graph() const { return graph_; }

 private:
  // The algorithm and the RMS texts, as the guider and its graph give them now.
  void show_texts();

  const Autoguider* guider_ = nullptr;
  QLineEdit* x_;
  QLineEdit* y_;
  QLineEdit* dx_;
  QLineEdit* dy_;
  QLabel* frame_;
  QLabel* algorithm_;
  QLabel* rms_;
  QLabel* total_rms_;
  GuideGraphView* graph_;
  QImage image_;
};

}  // namespace tarvex::ui
