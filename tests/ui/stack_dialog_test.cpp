// File > "Stack Files..." through the real main window offscreen: a click on
// "Cancel" while the stack runs stops it with nothing written and the image
// untouched; a second run of the same small stack completes, the window
// staying alive throughout, and the stack is put on show.
#include "ui/stack_dialog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <random>

#include "../processing/star_field.h"
#include "app/commands.h"
#include "files/fits_image.h"
#include "modal_driver.h"
#include "window_fixture.h"

using namespace tarvex;
using namespace tarvex::ui;

namespace {

// Four monochrome lights of the camera's frame size, each moved and turned
// a little, as a drifting mount delivers them.
QStringList write_lights(const std::filesystem::path& folder) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> ux(0, FRAME_WIDTH), uy(0, FRAME_HEIGHT), uf(0, 1);
  std::vector<tarvex::testing::SkyStar> sky;
  for (int i = 0; i < 80; ++i) sky.push_back({ux(rng), uy(rng), 5000 + 60000 * uf(rng)});
  QStringList paths;
  for (int k = 0; k < 4; ++k) {
    const RigidTransform t{0.002 * k, 1.7 * k, -0.9 * k};
    const auto img =
        tarvex::testing::render_star_field(sky, t, FRAME_WIDTH, FRAME_HEIGHT, 1.6, 1.6, 40 + k, 10);
    const auto p = folder / ("light" + std::to_string(k) + ".fits");
    if (!write_float_fits(p, FRAME_WIDTH, FRAME_HEIGHT, 1, img, {}, "test")) return {};
    paths << QString::fromStdString(p.string());
  }
  return paths;
}

}  // namespace

class StackDialogTest : public tarvex::ui::testing::WindowTest {
  Q_OBJECT

 private slots:
  void cancelStopsTheStackAndASecondRunCompletes() {
    const std::filesystem::path folder = dir_->path().toStdString();
    const QStringList lights = write_lights(folder);
    QCOMPARE(lights.size(), 4);
    const auto out = folder / "night.fits";
    const auto before = std::make_unique<Frame>(fs().CurrentFrame);

    // A timer of the window's thread: its longest silence is how long the
    // window went without handling events.
    QTimer ticker;
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    int ticks = 0;
    connect(&ticker, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      longest = std::max(longest, now - last);
      last = now;
      ++ticks;
    });

    bool cancelled_checked = false, completed_checked = false;
    tarvex::ui::testing::ModalDriver driver;
    auto exercise = [&](TStackDialog* d) {
      d->add_files(TStackDialog::Role::Lights, lights);
      d->out_edit()->setText(QString::fromStdString(out.string()));

      // First run: "Cancel" is clicked once the bar has moved on.
      auto cancel_once = connect(d->progress_bar(), &QProgressBar::valueChanged, [d](int v) {
        if (v >= 2 && d->running()) QTest::mouseClick(d->cancel_button(), Qt::LeftButton);
      });
      QTest::mouseClick(d->stack_button(), Qt::LeftButton);
      disconnect(cancel_once);
      QVERIFY(!d->running());
      QVERIFY(d->isVisible());  // a cancel stops the stack, not the dialog
      QVERIFY(!d->outcome().written);
      QVERIFY(d->report()->toPlainText().contains("cancelled"));
      QVERIFY(!std::filesystem::exists(out));
      QVERIFY(fs().CurrentFrame == *before);
      cancelled_checked = true;

      // Second run: it completes while the window keeps handling events.
      clock.start();
      ticker.start(10);
      QTest::mouseClick(d->stack_button(), Qt::LeftButton);
      ticker.stop();
      const qint64 took = clock.elapsed();
      QVERIFY(d->outcome().written);
      QCOMPARE(d->outcome().stacked, 4);
      QCOMPARE(d->outcome().registered.size(), std::size_t{3});
      QVERIFY2(d->report()->toPlainText().contains("Stacked 4 of 4 monochrome lights"),
               qPrintable(d->report()->toPlainText()));
      QVERIFY(std::filesystem::exists(out));
      QVERIFY2(
          ticks > 2 && longest < 1000,
          qPrintable(
              QString("%1 ticks in %2 ms, longest gap %3 ms").arg(ticks).arg(took).arg(longest)));

      // The stack is the current image: its samples, rounded, are on show.
      const FitsImageRead back = read_fits_image(out);
      QVERIFY(back.image);
      int differ = 0;
      for (int i = 0; i < FRAME_SAMPLES; ++i) {
        const float v = back.image->data[i];
        const int expected = v <= 0 ? 0 : v >= 65535 ? 65535 : static_cast<int>(std::lround(v));
        differ += fs().CurrentFrame[i] != expected;
      }
      QCOMPARE(differ, 0);
      QVERIFY(!fs().IsColour);
      QVERIFY(w().windowTitle().contains("night.fits"));
      QCOMPARE(d->cancel_button()->text(), QString("Close"));
      completed_checked = true;
    };
    driver.then<TStackDialog>([&](TStackDialog* d) {
      exercise(d);
      // "Close" ends the dialog, whatever the checks found.
      QTest::mouseClick(d->cancel_button(), Qt::LeftButton);
      if (d->isVisible()) d->done(QDialog::Rejected);
    });
    w().command(CM_STACK_FILES);
    QTRY_VERIFY(driver.finished());
    QCOMPARE(driver.unexpected, 0);
    QVERIFY(cancelled_checked);
    QVERIFY(completed_checked);
    QVERIFY(!a().busy);
  }
};

QTEST_MAIN(StackDialogTest)
#include "stack_dialog_test.moc"
