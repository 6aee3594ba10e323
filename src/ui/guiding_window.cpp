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

void GuideGraphView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(20, 20, 28));
  const int w = width(), h = height();
  const int errors_h = h * 3 / 4;  // the pulses take the bottom quarter
  const double mid = errors_h / 2.0;
  p.setPen(QColor(70, 70, 90));
  p.drawLine(0, static_cast<int>(mid), w, static_cast<int>(mid));
  for (double g : {-1.0, 1.0}) {
    const int y = static_cast<int>(mid - g * mid / GRAPH_RANGE);
    p.drawLine(0, y, w, y);
  }
  p.drawLine(0, errors_h, w, errors_h);
  if (graph_ == nullptr || graph_->size() == 0) return;
  const std::size_t n = graph_->size();
  const std::size_t shown = std::min<std::size_t>(n, static_cast<std::size_t>(std::max(2, w / 2)));
  const double step =
      static_cast<double>(w) / static_cast<double>(std::max<std::size_t>(shown, 2) - 1);
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
  rms_->setText(graph_->rms_text());
  setFixedSize(416, FRAME_OFFSET + FRAME_SIDE + 214);
}

void GuidingInfoWindow::set_guider(const Autoguider* guider) {
  guider_ = guider;
  graph_->set_graph(guider != nullptr ? &guider->graph() : nullptr);
}

void GuidingInfoWindow::show_info(const std::string& title) {
  setWindowTitle(QString::fromStdString(title));
  if (isVisible()) return;
  // Opened as guiding starts: the sky scale as the FITS details give it now.
  if (guider_ != nullptr) graph_->set_scale(guider_->scale());
  rms_->setText(graph_->rms_text());
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
  rms_->setText(graph_->rms_text());
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

}  // namespace tarvex::ui
