// The "Guiding Info" window: the star position and the last error, the
// current guide frame, and a live graph of the RA and Dec errors with their
// RMS and the pulses sent. Modeless; the autoguider opens, retitles,
// refreshes and closes it through GuiderFront.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "app/guiding/autoguider.h"

namespace tarvex::ui {

// The graph: errors in pixels over the samples kept, RA and Dec as two
// lines around zero, the pulses as bars under them.
class GuideGraphView : public QWidget {
 public:
  explicit GuideGraphView(QWidget* parent = nullptr);
  void set_graph(const GuideGraph* graph) { graph_ = graph; }
  // Pixels to arcseconds on each axis; while either is unknown the RMS is
  // shown in pixels only.
  void set_scale(const GuideScale& scale) { scale_ = scale; }
  QString rms_text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
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
  const QImage& frame_image() const { return image_; }
  GuideGraphView* graph() const { return graph_; }

 private:
  const Autoguider* guider_ = nullptr;
  QLineEdit* x_;
  QLineEdit* y_;
  QLineEdit* dx_;
  QLineEdit* dy_;
  QLabel* frame_;
  QLabel* rms_;
  GuideGraphView* graph_;
  QImage image_;
};

}  // namespace tarvex::ui
