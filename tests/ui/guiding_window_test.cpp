// The Guiding Info window: its title follows the guiding status, its fields
// use one decimal, the graph draws the RA and Dec errors with their RMS.
#include "ui/guiding_window.h"

#include <QtTest>

#include "window_fixture.h"

namespace tarvex::ui::testing {

class GuidingWindowTest : public WindowTest {
  Q_OBJECT

 private slots:
  void title_fields_and_frame() {
    GuidingInfoWindow info(&w());
    Autoguider guider(a(), info);
    info.set_guider(&guider);
    a().star.position = {63, 41, 7, 2};
    info.show_info("Guiding Info - stabilising");
    QVERIFY(info.isVisible());
    QCOMPARE(info.windowTitle(), QStringLiteral("Guiding Info - stabilising"));
    info.refresh_info();
    QCOMPARE(info.field("x"), QStringLiteral("63.7"));
    QCOMPARE(info.field("y"), QStringLiteral("41.2"));
    QCOMPARE(info.field("dx"), QStringLiteral("0.0"));
    QCOMPARE(info.frame_image().size(), QSize(128, 128));
    info.show_info("Guiding Info");
    QCOMPARE(info.windowTitle(), QStringLiteral("Guiding Info"));
    info.close_info();
    QVERIFY(!info.isVisible());
    // Opened again with a focal length set: the graph takes the sky scale
    // (40 inches, 8.6 x 8.3 um pixels: 1.746 and 1.685 arcseconds a pixel).
    a().fits.fits_focal_length = 40;
    info.show_info("Guiding Info");
    GuideGraph graph;
    graph.add({0, 1.0, 1.0, 0, 0});
    info.graph()->set_graph(&graph);
    QCOMPARE(info.graph()->rms_text(),
             QStringLiteral("RMS RA 1.00 px, Dec 1.00 px (1.75\", 1.69\")"));
    info.close_info();
  }

  void graph_draws_errors_and_rms() {
    GuideGraph graph;
    GuideGraphView view;
    view.resize(360, 160);
    view.set_graph(&graph);
    QCOMPARE(view.rms_text(), QStringLiteral("RMS: no corrections yet"));
    // Errors of +-0.6 px in RA and +-0.8 px in Dec: RMS 0.6 and 0.8.
    for (int i = 0; i < 100; ++i) {
      const double s = i % 2 ? 1 : -1;
      graph.add({static_cast<std::uint32_t>(i * 1000), 0.6 * s, 0.8 * s, i % 2 ? 100 : -100, 0});
    }
    QCOMPARE(view.rms_text(), QStringLiteral("RMS RA 0.60 px, Dec 0.80 px"));
    // Separate scales: 2 and 3 arcseconds per pixel; one unknown shows none.
    view.set_scale({2.0, 0.0});
    QCOMPARE(view.rms_text(), QStringLiteral("RMS RA 0.60 px, Dec 0.80 px"));
    view.set_scale({2.0, 3.0});
    QCOMPARE(view.rms_text(), QStringLiteral("RMS RA 0.60 px, Dec 0.80 px (1.20\", 2.40\")"));
    const QImage picture = view.grab().toImage();
    // Something blue (RA) and something red (Dec) was drawn.
    bool blue = false, red = false;
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) {
        const QColor c = picture.pixelColor(x, y);
        blue |= c.blue() > 200 && c.red() < 150;
        red |= c.red() > 200 && c.blue() < 150;
      }
    QVERIFY(blue);
    QVERIFY(red);
  }

  void ring_keeps_the_newest() {
    GuideGraph graph;
    for (std::size_t i = 0; i < GuideGraph::CAPACITY + 10; ++i)
      graph.add({static_cast<std::uint32_t>(i), static_cast<double>(i), 0, 0, 0});
    QCOMPARE(graph.size(), GuideGraph::CAPACITY);
    QCOMPARE(graph.at(0).dx, 10.0);
    QCOMPARE(graph.at(GuideGraph::CAPACITY - 1).dx, static_cast<double>(GuideGraph::CAPACITY + 9));
  }
};

}  // namespace tarvex::ui::testing

QTEST_MAIN(tarvex::ui::testing::GuidingWindowTest)
#include "guiding_window_test.moc"
