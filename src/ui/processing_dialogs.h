// The views of the stretch and filter parameter dialogs and of the modeless
// histogram window. Each dialog forwards its slider and spin actions to its
// model (processing_dialog_model.h) and shows what the model reports; the
// value fields only display. OK accepts, Cancel rejects; the calling command
// hands the model to the operation.
#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "app/processing/processing_dialog_model.h"
#include "platform/ports.h"
#include "processing/histogram.h"

class QLineEdit;
class QPushButton;
class QScrollBar;
class QToolButton;

namespace tarvex::ui {

using HistogramBins = std::array<std::uint16_t, HISTOGRAM_BINS>;

// The histogram plot in dialog pixels, drawn from the histogram as it stands
// at each paint; the stretch dialog adds its marker strip, the histogram
// window its listing of the truncated bins.
class HistogramPlot : public QWidget {
  Q_OBJECT
 public:
  HistogramPlot(const HistogramBins& histogram, PlotStyle style, QWidget* parent = nullptr);
  // The marker strip of the Normal Stretch dialog (black and white levels).
  void set_markers(unsigned black, unsigned white);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const HistogramBins& histogram_;
  PlotStyle style_;
  unsigned black_ = 0;
  unsigned white_ = 255;
};

// A pair of arrow buttons stepping a value: up +1, down -1.
class SpinArrows : public QWidget {
  Q_OBJECT
 public:
  explicit SpinArrows(QWidget* parent = nullptr);
  QToolButton* up() const { return up_; }
  QToolButton* down() const { return down_; }
  std::function<void(int)> stepped;

 private:
  QToolButton* up_;
  QToolButton* down_;
};

// "Normal Stretch": Black and White sliders with their fields, the histogram
// plot with the marker strip, OK, Cancel, Help.
class TStretchDialog : public QDialog {
  Q_OBJECT
 public:
  TStretchDialog(StretchDialogModel& model, const HistogramBins& histogram, Messages& messages,
                 QWidget* parent = nullptr);
  QScrollBar* black_slider() const { return black_; }
  QScrollBar* white_slider() const { return white_; }
  QLineEdit* black_field() const { return black_field_; }
  QLineEdit* white_field() const { return white_field_; }
  HistogramPlot* plot() const { return plot_; }

 private:
  void refresh();
  StretchDialogModel& model_;
  QScrollBar* black_;
  QScrollBar* white_;
  QLineEdit* black_field_;
  QLineEdit* white_field_;
  HistogramPlot* plot_;
};

// "Power Law Stretch": one slider 1..30 at trunc(10 * gamma) and its field.
class TPowerDialog : public QDialog {
  Q_OBJECT
 public:
  TPowerDialog(PowerDialogModel& model, Messages& messages, QWidget* parent = nullptr);
  QScrollBar* slider() const { return slider_; }
  QLineEdit* field() const { return field_; }

 private:
  void refresh();
  PowerDialogModel& model_;
  QScrollBar* slider_;
  QLineEdit* field_;
};

// "Non-Linear Stretch": the "Non-Linear Power" slider 2..50, its field and
// the note on nebulae.
class TNonLiniarDialog : public QDialog {
  Q_OBJECT
 public:
  TNonLiniarDialog(NonLiniarDialogModel& model, Messages& messages, QWidget* parent = nullptr);
  QScrollBar* slider() const { return slider_; }
  QLineEdit* field() const { return field_; }

 private:
  void refresh();
  NonLiniarDialogModel& model_;
  QScrollBar* slider_;
  QLineEdit* field_;
};

// The two-value dialogs, "Unsharp Mask Filter" and "Median Filter": Radius
// and Power spins with their fields, OK, Cancel and Help. The model's layout
// gives the title, the control ids and the help box.
class TwoValueDialog : public QDialog {
  Q_OBJECT
 public:
  TwoValueDialog(TwoValueDialogModel& model, Messages& messages, QWidget* parent = nullptr);
  SpinArrows* radius_spin() const { return radius_spin_; }
  SpinArrows* power_spin() const { return power_spin_; }
  QLineEdit* radius_field() const { return radius_field_; }
  QLineEdit* power_field() const { return power_field_; }

 private:
  void refresh();
  TwoValueDialogModel& model_;
  SpinArrows* radius_spin_;
  SpinArrows* power_spin_;
  QLineEdit* radius_field_;
  QLineEdit* power_field_;
};

// "Unsharp Mask Filter": radius and power 1..7.
class TUnsharpDialog : public TwoValueDialog {
  Q_OBJECT
 public:
  TUnsharpDialog(UnsharpDialogModel& model, Messages& messages, QWidget* parent = nullptr)
      : TwoValueDialog(model, messages, parent) {}
};

// "Median Filter": radius 1..3, power in tenths 0.1..1.0.
class TMedianDialog : public TwoValueDialog {
  Q_OBJECT
 public:
  TMedianDialog(MedianDialogModel& model, Messages& messages, QWidget* parent = nullptr)
      : TwoValueDialog(model, messages, parent) {}
};

// "Histogram of Current Image": modeless, the plot and the listing of the
// truncated bins, "Close" and "Help". Closing it by any means (Close, the
// title bar, Escape) clears the model's open flag, so Histogram can open it
// again, and deletes the window.
class THistDialog : public QDialog {
  Q_OBJECT
 public:
  THistDialog(HistDialogModel& model, const HistogramBins& histogram, Messages& messages,
              QWidget* parent = nullptr);
  ~THistDialog() override;
  HistogramPlot* plot() const { return plot_; }
  QPushButton* close_button() const { return close_; }
  QPushButton* help_button() const { return help_; }

 private:
  HistDialogModel& model_;
  HistogramPlot* plot_;
  QPushButton* close_;
  QPushButton* help_;
};

}  // namespace tarvex::ui
