// The Guiding Info window: its title follows the guiding status, its fields
// use one decimal, the graph draws the RA and Dec errors with their RMS.
// File > Start Auto-Guiding chosen with real mouse and key events guides on
// the simulated camera and mount until a key is pressed in the main window.
#include "ui/guiding_window.h"

#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QtTest>
#include <cmath>

#include "app/commands.h"
#include "app/telescope_ports.h"
#include "files/settings.h"
#include "sim/sim_camera.h"
#include "window_fixture.h"

namespace tarvex::ui::testing {

class GuidingWindowTest : public WindowTest {
  Q_OBJECT

 protected:
  void more_options(WindowOptions& o) override {
    telescope_ = TelescopePorts{};
    camera_.reset();
    clock_ = std::make_unique<SteppingClock>(base_);
    camera_ = std::make_unique<SimCamera>(*clock_);
    std::string error;
    QVERIFY(
        make_telescope_ports(true, *clock_, Paths(dir_->path().toStdString()), telescope_, error));
    attach_simulated_sky(*camera_, telescope_);
    telescope_.serial->set_pump(&pump_);
    o.clock = clock_.get();
    o.pump = &pump_;
    o.usb = camera_.get();
    o.serial = telescope_.serial.get();
  }

  // LX200 link, camera found, the brightest star the guide window reaches
  // picked: what File > Start Auto-Guiding needs.
  void ready_to_guide() {
    a().settings.telescope_type = LinkType::Lx200;
    QCOMPARE(save_settings(a().paths.settings_file(), a().settings, a().fits), FileSave::Ok);
    QCOMPARE(a().camera.find(false), CameraSearch::Found);
    a().acquisition.guide_value = 1;
    a().acquisition.guide_range = ExposureRange::Seconds;
    double best = 0, sx = 0, sy = 0;
    for (const auto& st : camera_->sky().stars()) {
      const double x = st.x + camera_->sky().pointing_x(), y = st.y + camera_->sky().pointing_y();
      if (x < 90 || x > 240 || y < 100 || y > 450 || st.flux <= best) continue;
      best = st.flux, sx = x, sy = y;
    }
    QVERIFY(best > 0);
    a().star_pick.guide_star_picked = true;
    a().star_pick.guide_star_x = static_cast<int>(std::lround(sx));
    a().star_pick.guide_star_y = static_cast<int>(std::lround(sy));
    a().star.position = {a().star_pick.guide_star_x, a().star_pick.guide_star_y, 0, 0};
    w().update_commands();
  }

  VirtualClock base_;
  std::unique_ptr<SteppingClock> clock_;
  QtEventPump pump_;
  std::unique_ptr<SimCamera> camera_;
  TelescopePorts telescope_;

 private slots:
  // The click or key that chose the command does not end guiding; a key
  // pressed in the main window later does, after guide frames were taken.
  void startAutoGuidingGuidesUntilAKeyIsPressed_data() {
    QTest::addColumn<bool>("by_mouse");
    QTest::newRow("mouse") << true;
    QTest::newRow("keyboard") << false;
  }
  void startAutoGuidingGuidesUntilAKeyIsPressed() {
    QFETCH(bool, by_mouse);
    {
      ready_to_guide();
      QAction* start = w().action(CM_START_GUIDING);
      QVERIFY(start->isEnabled());
      QAction* file = w().menuBar()->actions().first();
      QMenu* menu = file->menu();
      QVERIFY(menu->actions().contains(start));
      const std::uint32_t before = camera_->exposures_started();
      bool key_sent = false;
      QTimer stopper;
      stopper.setInterval(0);
      connect(&stopper, &QTimer::timeout, [&] {
        if (!key_sent && camera_->exposures_started() >= before + 5) {
          key_sent = true;
          QTest::keyClick(&w(), Qt::Key_Space);
        }
      });
      stopper.start();
      const int shown = static_cast<int>(messages_.shown.size());
      if (by_mouse) {
        QTest::mouseClick(w().menuBar(), Qt::LeftButton, Qt::NoModifier,
                          w().menuBar()->actionGeometry(file).center());
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(start).center());
      } else {
        QTest::keyClick(&w(), Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(menu->isVisible());
        menu->setActiveAction(start);
        QTest::keyClick(menu, Qt::Key_Return);
      }
      QTRY_VERIFY(key_sent && !a().busy);
      QVERIFY(camera_->exposures_started() >= before + 5);
      // One message, "Guiding Terminated", and only after the key.
      QCOMPARE(static_cast<int>(messages_.shown.size()), shown + 1);
      QCOMPARE(messages_.shown.back().code, 51u);
    }
  }

  // Training tells its steps in the status bar as they start, and a key
  // pressed in the main window stops it with a word of why.
  void trainingShowsItsStepsAndItsStop() {
    ready_to_guide();
    QStringList shown;
    connect(w().statusBar(), &QStatusBar::messageChanged,
            [&](const QString& text) { shown << text; });
    QTimer stopper;
    stopper.setInterval(0);
    connect(&stopper, &QTimer::timeout, [&] {
      if (!shown.isEmpty() && shown.last().contains("step 3 of 9")) {
        stopper.stop();
        QTest::keyClick(&w(), Qt::Key_Space);
      }
    });
    stopper.start();
    w().command(CM_TRAIN_GUIDING);
    QCOMPARE(shown.value(0), QString("Training auto-guiding: step 1 of 9 - measuring the start "
                                     "position"));
    QCOMPARE(shown.value(1), QString("Training auto-guiding: step 2 of 9 - Dec axis, north"));
    QVERIFY(shown.value(2).startsWith("Training auto-guiding: step 3 of 9"));
    QCOMPARE(shown.size(), 4);
    QCOMPARE(w().statusBar()->currentMessage(), QString(TRAINING_STOPPED_TEXT));
  }

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
    QCOMPARE(info.label_text("algorithm"), QStringLiteral("Algorithm: classic"));
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
    QCOMPARE(info.graph()->total_rms_text(), QStringLiteral("Total RMS 1.41 px = 2.43 arcseconds"));
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

  // The guiding events at their times among the samples shown: a dither's
  // line, the dots that end its settling, the star lost shaded from its
  // loss to its finding. Where they fall is worked out here from the
  // samples' spacing, not asked of the view.
  void graph_marks_dither_settling_and_the_star_lost() {
    GuideGraph graph;
    for (std::uint32_t i = 0; i < 100; ++i) graph.add({500000 + i * 1000, 0, 0, 0, 0});
    auto event = [&graph](std::uint32_t at_ms, GuideEventKind kind) {
      GuideEvent e;
      e.at_ms = at_ms;
      e.kind = kind;
      graph.add_event(e);
    };
    event(400000, GuideEventKind::Dither);  // before the oldest sample: not drawn
    event(520500, GuideEventKind::Dither);  // halfway between samples 20 and 21
    event(526000, GuideEventKind::Settled);
    event(540000, GuideEventKind::StarLost);
    event(560000, GuideEventKind::StarFound);
    event(590000, GuideEventKind::SettleTimedOut);
    GuideGraphView view;
    view.resize(360, 160);
    view.set_graph(&graph);
    const QImage picture = view.grab().toImage();
    // 100 samples across 360 pixels; the errors take the top 120 rows.
    const double step = 360.0 / 99;
    const int row = 20, foot = 120 - 6;
    auto at = [&](double x, int y) { return picture.pixel(static_cast<int>(std::lround(x)), y); };
    QList<int> dither_columns;
    for (int x = 0; x < picture.width(); ++x)
      if (picture.pixel(x, row) == DITHER_COLOUR) dither_columns << x;
    QCOMPARE(dither_columns, QList<int>{static_cast<int>(std::lround(20.5 * step))});
    QCOMPARE(at(26 * step, foot), SETTLED_COLOUR);
    QCOMPARE(at(90 * step, foot), TIMED_OUT_COLOUR);
    QCOMPARE(at(41 * step, row), STAR_LOST_COLOUR);
    QCOMPARE(at(59 * step, row), STAR_LOST_COLOUR);
    QVERIFY(at(39 * step, row) != STAR_LOST_COLOUR);
    QVERIFY(at(61 * step, row) != STAR_LOST_COLOUR);
    // Lost again and not found: shaded to the newest sample.
    event(580000, GuideEventKind::StarLost);
    const QImage later = view.grab().toImage();
    QCOMPARE(later.pixel(static_cast<int>(std::lround(95 * step)), row), STAR_LOST_COLOUR);
    QVERIFY(later.pixel(static_cast<int>(std::lround(79 * step)), row) != STAR_LOST_COLOUR);
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
