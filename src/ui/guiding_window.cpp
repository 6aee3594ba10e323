#include "ui/guiding_window.h"

#include <QFormLayout>
#include <QMainWindow>
#include <QPainter>
#include <QPolygonF>
#include <QStatusBar>
#include <algorithm>
#include <cmath>

#include "ui/qt_ports.h"

namespace tarvex::ui {

namespace {

constexpr int FRAME_OFFSET = 75;  // the guide frame's place inside the window
constexpr int FRAME_SIDE = 128;
constexpr double GRAPH_RANGE = 2.0;  // pixels from the middle line to the edge

QString one_decimal(double v) {
  return QString::asprintf("%1.1f", v);
}

QString colour_name(QRgb c) {
  return QColor(c).name();
}

}  // namespace

GuideGraphView::GuideGraphView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(360, 160);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QString GuideGraphView::rms_text() const {
  if (graph_ == nullptr || graph_->size() == 0) return QStringLiteral("RMS: no corrections yet");
  const double rx = graph_->rms_x(), ry = graph_->rms_y();
  QString text = QString::asprintf("RMS RA %.2f px, Dec %.2f px", rx, ry);
  if (scale_.known())
    text += QString::asprintf(" (%.2f\", %.2f\")", rx * scale_.ra, ry * scale_.dec);
  if (graph_->at(graph_->size() - 1).beyond_range >= BEYOND_RANGE_FRAMES)
    text += QStringLiteral(" - ") + QString::fromLatin1(BEYOND_RANGE_TEXT);
  return text;
}

QString GuideGraphView::total_rms_text() const {
  if (graph_ == nullptr || graph_->size() == 0) return {};
  const double rx = graph_->rms_x(), ry = graph_->rms_y();
  QString text = QString::asprintf("Total RMS %.2f px", std::hypot(rx, ry));
  if (scale_.known())
    return text +
           QString::asprintf(" = %.2f arcseconds", std::hypot(rx * scale_.ra, ry * scale_.dec));
  return text + QStringLiteral(" (arcseconds need the focal length and pixel size)");
}

double GuideGraphView::x_of(std::uint32_t at_ms, std::size_t first, double step) const {
  const std::size_t n = graph_->size();
  // Times as offsets from the oldest sample shown, so that the clock's
  // wrap after 49 days does not reorder them.
  const std::uint32_t oldest = graph_->at(first).at_ms;
  const auto offset = [oldest](std::uint32_t t) {
    return static_cast<std::int64_t>(static_cast<std::int32_t>(t - oldest));
  };
  const std::int64_t t = offset(at_ms);
  if (t < 0) return -1;
  for (std::size_t i = first; i + 1 < n; ++i) {
    const std::int64_t a = offset(graph_->at(i).at_ms), b = offset(graph_->at(i + 1).at_ms);
    if (t > b) continue;
    const double part = b > a ? static_cast<double>(t - a) / static_cast<double>(b - a) : 0.0;
    return (static_cast<double>(i - first) + std::clamp(part, 0.0, 1.0)) * step;
  }
  // At or after the newest sample: at its place, the right-hand end.
  return static_cast<double>(n - 1 - first) * step;
}

// The star lost: shaded from the loss to its finding again, or to the
// newest sample while it is still lost. A span that began before the
// oldest sample shown is shaded from the left edge.
void GuideGraphView::draw_lost_spans(QPainter& p, std::size_t first, double step,
                                     int errors_h) const {
  const QColor shade(STAR_LOST_COLOUR);
  const double right = static_cast<double>(graph_->size() - 1 - first) * step;
  auto span = [&](double from, double to) {
    from = std::max(0.0, from);
    // At least a few pixels, so that a loss at the newest sample shows.
    p.fillRect(QRectF(std::min(from, right - 3), 0, std::max(3.0, to - from), errors_h), shade);
  };
  bool lost = false;
  std::uint32_t lost_at = 0;
  for (std::size_t i = 0; i < graph_->events(); ++i) {
    const GuideEvent& e = graph_->event(i);
    if (e.kind == GuideEventKind::StarLost && !lost) {
      lost = true;
      lost_at = e.at_ms;
    } else if (e.kind == GuideEventKind::StarFound && lost) {
      lost = false;
      const double to = x_of(e.at_ms, first, step);
      if (to < 0) continue;  // over before the oldest sample shown
      const double from = x_of(lost_at, first, step);
      span(from < 0 ? 0 : from, to);
    }
  }
  if (lost) {
    const double from = x_of(lost_at, first, step);
    span(from < 0 ? 0 : from, right);
  }
  // Frames the predictive algorithm guided on the learned drift alone.
  for (std::size_t i = first; i < graph_->size(); ++i)
    if (graph_->at(i).holding_drift)
      p.fillRect(QRectF(static_cast<double>(i - first) * step - step / 2, 0, step, errors_h),
                 shade);
}

// Dithers as vertical lines; the end of settling after them as a dot at the
// foot of the errors, green when settled, orange when it timed out.
void GuideGraphView::draw_events(QPainter& p, std::size_t first, double step, int errors_h) const {
  for (std::size_t i = 0; i < graph_->events(); ++i) {
    const GuideEvent& e = graph_->event(i);
    const double x = x_of(e.at_ms, first, step);
    if (x < 0) continue;
    switch (e.kind) {
      case GuideEventKind::Dither:
        p.setPen(QPen(QColor(DITHER_COLOUR), 1.0));
        p.drawLine(QPointF(std::round(x), 0), QPointF(std::round(x), errors_h));
        break;
      case GuideEventKind::Settled:
      case GuideEventKind::SettleTimedOut:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(e.kind == GuideEventKind::Settled ? SETTLED_COLOUR : TIMED_OUT_COLOUR));
        p.drawEllipse(QPointF(x, errors_h - 6), 4, 4);
        p.setBrush(Qt::NoBrush);
        break;
      case GuideEventKind::StarLost:
      case GuideEventKind::StarFound: break;  // drawn as spans
    }
  }
}

void GuideGraphView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(20, 20, 28));
  const int w = width(), h = height();
  const int errors_h = h * 3 / 4;  // the pulses take the bottom quarter
  const double mid = errors_h / 2.0;
  const std::size_t n = graph_ != nullptr ? graph_->size() : 0;
  const std::size_t shown = std::min<std::size_t>(n, static_cast<std::size_t>(std::max(2, w / 2)));
  const double step =
      static_cast<double>(w) / static_cast<double>(std::max<std::size_t>(shown, 2) - 1);
  if (n > 0) draw_lost_spans(p, n - shown, step, errors_h);
  p.setPen(QColor(70, 70, 90));
  p.drawLine(0, static_cast<int>(mid), w, static_cast<int>(mid));
  for (double g : {-1.0, 1.0}) {
    const int y = static_cast<int>(mid - g * mid / GRAPH_RANGE);
    p.drawLine(0, y, w, y);
  }
  p.drawLine(0, errors_h, w, errors_h);
  if (n == 0) return;
  draw_events(p, n - shown, step, errors_h);
  auto y_of = [&](double e) {
    return mid - std::clamp(e, -GRAPH_RANGE, GRAPH_RANGE) * mid / GRAPH_RANGE;
  };
  QPolygonF ra, dec;
  ra.reserve(static_cast<int>(shown));
  dec.reserve(static_cast<int>(shown));
  const double pulse_h = (h - errors_h) / 2.0;
  const double pulse_mid = errors_h + pulse_h;
  for (std::size_t i = 0; i < shown; ++i) {
    const GuideSample& s = graph_->at(n - shown + i);
    const double x = static_cast<double>(i) * step;
    ra.append(QPointF(x, y_of(s.dx)));
    dec.append(QPointF(x, y_of(s.dy)));
    // Pulses: up to 1 s fills the half band; RA left of the tick, Dec right.
    auto bar = [&](int ms, const QColor& c, double dxp) {
      if (ms == 0) return;
      const double len = std::min(1.0, std::abs(ms) / 1000.0) * pulse_h;
      p.fillRect(QRectF(x + dxp, ms > 0 ? pulse_mid - len : pulse_mid, 1.5, len), c);
    };
    bar(s.ra_pulse_ms, QColor(90, 160, 255), -1.5);
    bar(s.dec_pulse_ms, QColor(255, 110, 110), 0);
    // A frame whose error was beyond the correction range sent nothing: a
    // yellow mark at the top edge.
    if (s.beyond_range > 0) p.fillRect(QRectF(x - 1.5, 0, 3, 6), QColor(255, 210, 0));
  }
  // One-pixel antialiased lines: the painter draws these on its fast path,
  // where a wider pen is stroked as an outline at many times the cost.
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(90, 160, 255), 1.0));
  p.drawPolyline(ra);
  p.setPen(QPen(QColor(255, 110, 110), 1.0));
  p.drawPolyline(dec);
  p.setPen(Qt::white);
  p.drawText(6, 14, QStringLiteral("RA"));
  p.setPen(QColor(255, 110, 110));
  p.drawText(30, 14, QStringLiteral("Dec"));
  p.setPen(QColor(200, 200, 200));
  p.drawText(w - 60, 14, QString::asprintf("\u00b1%.0f px", GRAPH_RANGE));
}

GuidingInfoWindow::GuidingInfoWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Guiding Info"));
  // Guiding and training stop on a key or click here as on the main window.
  mark_stop_source(this);
  auto* heading =
      new QLabel(QStringLiteral("Offsets from top left hand corner of displayed frame"), this);
  heading->move(8, 6);
  auto make_field = [this](const char* name, int x, int y) {
    auto* label = new QLabel(QString::fromLatin1(name), this);
    label->move(x, y + 3);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setReadOnly(true);
    edit->setGeometry(x + 22, y, 60, 22);
    return edit;
  };
  x_ = make_field("x", 8, 30);
  y_ = make_field("y", 100, 30);
  dx_ = make_field("dx", 200, 30);
  dy_ = make_field("dy", 300, 30);
  auto* frame_caption = new QLabel(QStringLiteral("Guiding frame"), this);
  frame_caption->move(8, FRAME_OFFSET + 50);
  frame_ = new QLabel(this);
  frame_->setGeometry(FRAME_OFFSET, FRAME_OFFSET, FRAME_SIDE, FRAME_SIDE);
  frame_->setFrameShape(QFrame::Box);
  graph_ = new GuideGraphView(this);
  graph_->setGeometry(8, FRAME_OFFSET + FRAME_SIDE + 12, 400, 170);
  rms_ = new QLabel(this);
  rms_->setObjectName(QStringLiteral("rms"));
  rms_->setGeometry(8, FRAME_OFFSET + FRAME_SIDE + 186, 400, 20);
  total_rms_ = new QLabel(this);
  total_rms_->setObjectName(QStringLiteral("total_rms"));
  total_rms_->setGeometry(8, FRAME_OFFSET + FRAME_SIDE + 206, 400, 20);
  // What the marks on the graph mean, each word in its mark's colour.
  auto* legend = new QLabel(this);
  legend->setObjectName(QStringLiteral("legend"));
  legend->setTextFormat(Qt::RichText);
  legend->setText(QStringLiteral("<span style='color:%1'>| dither</span> &nbsp; "
                                 "<span style='color:%2'>&#9679; settled</span> &nbsp; "
                                 "<span style='color:%3'>&#9679; settle timed out</span> &nbsp; "
                                 "<span style='background-color:%4;color:white'>&nbsp;star "
                                 "lost&nbsp;</span>")
                      .arg(colour_name(DITHER_COLOUR), colour_name(SETTLED_COLOUR),
                           colour_name(TIMED_OUT_COLOUR), colour_name(STAR_LOST_COLOUR)));
  legend->setGeometry(8, FRAME_OFFSET + FRAME_SIDE + 226, 400, 20);
  // Beside the guiding frame: the algorithm making the corrections.
  algorithm_ = new QLabel(this);
  algorithm_->setObjectName(QStringLiteral("algorithm"));
  algorithm_->setGeometry(FRAME_OFFSET + FRAME_SIDE + 12, FRAME_OFFSET, 190, 20);
  show_texts();
  setFixedSize(416, FRAME_OFFSET + FRAME_SIDE + 254);
}

void GuidingInfoWindow::show_texts() {
  if (guider_ != nullptr) {
    const std::string_view name = guider_->algorithm_name();
    algorithm_->setText(QStringLiteral("Algorithm: ") +
                        QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
  } else {
    algorithm_->clear();
  }
  rms_->setText(graph_->rms_text());
  total_rms_->setText(graph_->total_rms_text());
}

void GuidingInfoWindow::set_guider(const Autoguider* guider) {
  guider_ = guider;
  graph_->set_graph(guider != nullptr ? &guider->graph() : nullptr);
  show_texts();
}

void GuidingInfoWindow::show_info(const std::string& title) {
  setWindowTitle(QString::fromStdString(title));
  if (isVisible()) return;
  // Opened as guiding starts: the sky scale as the FITS details give it now.
  if (guider_ != nullptr) graph_->set_scale(guider_->scale());
  show_texts();
  show();
}

void GuidingInfoWindow::refresh_info() {
  if (guider_ == nullptr) return;
  const StarPosition& r = guider_->star_position();
  x_->setText(one_decimal(r.x + r.x_tenths / 10.0));
  y_->setText(one_decimal(r.y + r.y_tenths / 10.0));
  dx_->setText(one_decimal(guider_->dx() / 1000.0));
  dy_->setText(one_decimal(guider_->dy() / 1000.0));
  // The guide frame, its brightest sample white.
  const auto& w = guider_->window();
  const std::uint16_t top = std::max<std::uint16_t>(1, *std::max_element(w.begin(), w.end()));
  const std::uint16_t low = *std::min_element(w.begin(), w.end());
  image_ = QImage(FRAME_SIDE, FRAME_SIDE, QImage::Format_Grayscale8);
  const double scale = 255.0 / std::max(1, top - low);
  for (int y = 0; y < FRAME_SIDE; ++y) {
    uchar* line = image_.scanLine(y);
    for (int x = 0; x < FRAME_SIDE; ++x)
      line[x] = static_cast<uchar>(std::clamp((w[y * FRAME_SIDE + x] - low) * scale, 0.0, 255.0));
  }
  frame_->setPixmap(QPixmap::fromImage(image_));
  show_texts();
  graph_->update();
}

void GuidingInfoWindow::close_info() {
  hide();
}

void GuidingInfoWindow::training_status(const std::string& text) {
  if (auto* main = qobject_cast<QMainWindow*>(parentWidget()))
    main->statusBar()->showMessage(QString::fromStdString(text));
}

QString GuidingInfoWindow::field(const char* name) const {
  const auto* edit = findChild<QLineEdit*>(QString::fromLatin1(name));
  return edit != nullptr ? edit->text() : QString();
}

QString GuidingInfoWindow::label_text(const char* name) const {
  const auto* label = findChild<QLabel*>(QString::fromLatin1(name));
  return label != nullptr ? label->text() : QString();
}

}  // namespace tarvex::ui
