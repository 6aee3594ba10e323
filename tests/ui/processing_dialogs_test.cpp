// The Contrast, Filters and Histogram commands driven through the main
// window offscreen: each parameter dialog opens from its command with its
// title, fields and limits, Cancel changes nothing, OK runs the operation and
// writes its history line; the histogram window is one at a time.
#include "ui/processing_dialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "app/commands.h"
#include "platform/basic_ports.h"
#include "ui/main_window.h"
#include "window_fixture.h"

using namespace tarvex;
using namespace tarvex::ui;

namespace {

// Calls `drive` with the modal dialog of type D once its event loop runs.
// Anything else that turns up modal is rejected so that a test never hangs.
template <typename D>
void when_shown(std::function<void(D&)> drive, int tries = 100) {
  QTimer::singleShot(0, [drive, tries] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* d = qobject_cast<D*>(modal)) {
      QPointer<QDialog> guard(d);
      drive(*d);
      if (guard && guard->isVisible()) guard->reject();  // a failed check ends the dialog
    } else if (tries > 0) {
      when_shown<D>(drive, tries - 1);
    } else if (auto* other = qobject_cast<QDialog*>(modal)) {
      other->reject();
    }
  });
}

void click(QWidget& dialog, const char* name) {
  auto* b = dialog.findChild<QPushButton*>(name);
  QVERIFY2(b, name);
  b->click();
}

void step(SpinArrows* spin, int times) {
  for (int i = 0; i < std::abs(times); ++i) (times > 0 ? spin->up() : spin->down())->click();
}

}  // namespace

class ProcessingDialogsTest : public tarvex::ui::testing::WindowTest {
  Q_OBJECT

  Frame& frame() { return w().app().store().CurrentFrame; }
  ProcessingHistory& history() { return w().app().history; }
  void fill(std::uint16_t value) { std::fill_n(frame().begin(), FRAME_SAMPLES, value); }
  QString last_line() {
    const int n = history().count();
    return n ? QString::fromStdString(history().line(n - 1)) : QString();
  }

 private slots:
  void everyContrastFilterAndHistogramCommandIsEnabled() {
    for (int id : {CM_NORMAL_STRETCH,
                   CM_POWER_STRETCH,
                   CM_SINE_STRETCH,
                   CM_LOG_STRETCH,
                   CM_REMOVE_BACKGROUND,
                   CM_ANTILOG_STRETCH,
                   CM_NEGATIVE,
                   CM_NON_LINEAR_STRETCH,
                   CM_UNSHARP,
                   CM_HIGH_PASS_LOW_POWER,
                   CM_HIGH_PASS_HIGH_POWER,
                   CM_SMOOTHER_SHARPER,
                   CM_MEDIAN,
                   CM_GAUSSIAN,
                   CM_WEIGHTED_MEAN,
                   CM_BAS_RELIEF,
                   CM_GRADIENT,
                   CM_VERTICAL_SMOOTHING,
                   CM_HISTOGRAM,
                   CM_APPLY_STRETCH,
                   CM_APPLY_STRETCH_NO_REDISPLAY,
                   CM_STRETCH_POSTED}) {
      QVERIFY2(w().action(id)->isEnabled(), qPrintable(QString::number(id)));
    }
    QCOMPARE(w().action(CM_HISTOGRAM)->shortcut(), QKeySequence("Ctrl+H"));
  }

  void normalStretchKeepsBlackBelowWhiteAndStretches() {
    fill(5000);  // index 2500
    when_shown<TStretchDialog>([this](TStretchDialog& d) {
      QCOMPARE(d.windowTitle(), QString("Normal Stretch"));
      QCOMPARE(d.black_field()->text(), QString("0"));
      QCOMPARE(d.white_field()->text(), QString("255"));
      QCOMPARE(d.black_slider()->minimum(), 0);
      QCOMPARE(d.black_slider()->maximum(), 255);
      QCOMPARE(d.white_slider()->minimum(), 1);
      QCOMPARE(d.white_slider()->maximum(), 300);
      QVERIFY(d.black_field()->isReadOnly());
      // White dragged down to 20; black pages up to 10, then line steps stop at 19.
      d.white_slider()->setSliderPosition(20);
      QCOMPARE(d.white_field()->text(), QString("20"));
      for (int i = 0; i < 5; ++i)
        d.black_slider()->triggerAction(QAbstractSlider::SliderPageStepAdd);
      QCOMPARE(d.black_field()->text(), QString("10"));
      for (int i = 0; i < 30; ++i) {
        d.black_slider()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      }
      QCOMPARE(d.black_field()->text(), QString("19"));
      QCOMPARE(d.black_slider()->value(), 19);
      d.black_slider()->setSliderPosition(25);  // a drag past white is refused
      QCOMPARE(d.black_slider()->value(), 19);
      d.white_slider()->triggerAction(QAbstractSlider::SliderSingleStepSub);
      d.white_slider()->triggerAction(QAbstractSlider::SliderPageStepSub);
      QCOMPARE(d.white_field()->text(), QString("20"));
      // The markers stand at level + 8 inside the white strip.
      const QImage plot = d.plot()->grab().toImage();
      QCOMPARE(plot.pixelColor(19 + 8, 225), QColor(Qt::black));
      QCOMPARE(plot.pixelColor(20 + 8, 225), QColor(Qt::black));
      QCOMPARE(plot.pixelColor(150, 228), QColor(Qt::white));
      click(d, "Help");
      click(d, "OK");
    });
    w().command(CM_NORMAL_STRETCH);
    QCOMPARE(messages_.shown.size(), size_t(1));
    QCOMPARE(messages_.shown[0].caption, std::string("MORVALE - Normal Stretch"));
    QCOMPARE(last_line(), QString("Normal Stretch : max 20 ,min 19"));
    // (2500 - 128 * 19) * 255 = 17340, doubled.
    QCOMPARE(int(frame()[1000]), 34680);
    QCOMPARE(int(w().app().store().UndoFrame[1000]), 5000);
  }

  void stretchPlotShowsTheHistogramAndAWhiteAbove255AtTheEdge() {
    auto& h = w().app().store().ImageHistogram;
    when_shown<TStretchDialog>([&h](TStretchDialog& d) {
      h.fill(0);
      h[0] = 1056;  // cut at 210 and drawn red
      h[40] = 100;  // 20 high, grey
      d.white_slider()->setSliderPosition(300);
      QCOMPARE(d.white_field()->text(), QString("300"));
      const QImage plot = d.plot()->grab().toImage();
      QCOMPARE(plot.pixelColor(8, 5), QColor(255, 0, 0));
      QCOMPARE(plot.pixelColor(48, 195), QColor(128, 128, 128));
      QVERIFY(plot.pixelColor(48, 185) != QColor(128, 128, 128));
      QCOMPARE(plot.pixelColor(5, 100), QColor(0, 0, 255));
      QCOMPARE(plot.pixelColor(255 + 8, 225), QColor(Qt::black));
      click(d, "Cancel");
    });
    w().command(CM_NORMAL_STRETCH);
    QCOMPARE(history().count(), 0);
  }

  void cancelChangesNothing_data() {
    QTest::addColumn<int>("id");
    QTest::newRow("normal") << int(CM_NORMAL_STRETCH);
    QTest::newRow("power") << int(CM_POWER_STRETCH);
    QTest::newRow("non-linear") << int(CM_NON_LINEAR_STRETCH);
    QTest::newRow("unsharp") << int(CM_UNSHARP);
    QTest::newRow("median") << int(CM_MEDIAN);
  }
  void cancelChangesNothing() {
    QFETCH(int, id);
    for (int i = 0; i < FRAME_SAMPLES; ++i) frame()[i] = std::uint16_t(i * 37);
    const std::vector<std::uint16_t> before(frame().begin(), frame().end());
    const auto& undo = w().app().store().UndoFrame;
    const std::vector<std::uint16_t> undo_before(undo.begin(), undo.end());
    // Move every slider and spin, then Cancel.
    when_shown<QDialog>([](QDialog& d) {
      for (auto* bar : d.findChildren<QScrollBar*>()) {
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      }
      for (auto* spin : d.findChildren<SpinArrows*>()) spin->up()->click();
      click(d, "Cancel");
    });
    w().command(id);
    QCOMPARE(history().count(), 0);
    QVERIFY(std::equal(before.begin(), before.end(), frame().begin()));
    QVERIFY(std::equal(undo_before.begin(), undo_before.end(), undo.begin()));
    QVERIFY(!QApplication::activeModalWidget());
  }

  void powerStepsTwentyTimesToThreeAndOkAtOneDoesNothing() {
    fill(5000);
    when_shown<TPowerDialog>([](TPowerDialog& d) {
      QCOMPARE(d.windowTitle(), QString("Power Law Stretch"));
      QCOMPARE(d.field()->text(), QString("1.0"));
      QCOMPARE(d.slider()->value(), 10);
      QCOMPARE(d.slider()->minimum(), 1);
      QCOMPARE(d.slider()->maximum(), 30);
      click(d, "OK");
    });
    w().command(CM_POWER_STRETCH);
    QCOMPARE(history().count(), 0);
    QCOMPARE(int(frame()[0]), 5000);

    when_shown<TPowerDialog>([](TPowerDialog& d) {
      auto* s = d.slider();
      for (int i = 0; i < 20; ++i) s->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      QCOMPARE(d.field()->text(), QString("3.0"));
      QCOMPARE(s->value(), 30);
      s->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // refused
      s->triggerAction(QAbstractSlider::SliderPageStepSub);    // no page rule
      QCOMPARE(s->value(), 30);
      for (int i = 0; i < 18; ++i) s->triggerAction(QAbstractSlider::SliderSingleStepSub);
      QCOMPARE(d.field()->text(), QString("1.2"));
      click(d, "Help");
      click(d, "OK");
    });
    w().command(CM_POWER_STRETCH);
    QCOMPARE(messages_.shown.back().caption, std::string("MORVALE - Power Law Stretch"));
    QCOMPARE(last_line(), QString("Power Stretch : 1.2"));
    QVERIFY(frame()[0] < 5000);  // a power above 1 darkens the mid levels
  }

  void nonLinearSliderAndNote() {
    when_shown<TNonLiniarDialog>([](TNonLiniarDialog& d) {
      QCOMPARE(d.windowTitle(), QString("Non-Linear Stretch"));
      QCOMPARE(d.field()->text(), QString("25"));
      bool note = false;
      for (auto* l : d.findChildren<QLabel*>()) note = note || l->text().startsWith("This stretch");
      QVERIFY(note);
      d.slider()->triggerAction(QAbstractSlider::SliderPageStepSub);
      QCOMPARE(d.field()->text(), QString("24"));
      d.slider()->setSliderPosition(2);
      d.slider()->triggerAction(QAbstractSlider::SliderSingleStepSub);
      QCOMPARE(d.field()->text(), QString("2"));
      d.slider()->setSliderPosition(50);
      d.slider()->triggerAction(QAbstractSlider::SliderPageStepAdd);
      QCOMPARE(d.field()->text(), QString("50"));
      click(d, "Help");
      click(d, "OK");
    });
    w().command(CM_NON_LINEAR_STRETCH);
    QCOMPARE(messages_.shown.back().caption, std::string("MORVALE - NonLiniar Filter"));
    QCOMPARE(last_line(), QString("Non-Linear Stretch : power 50"));
  }

  void unsharpSpinsStayWithinOneToSeven() {
    fill(1000);
    when_shown<TUnsharpDialog>([](TUnsharpDialog& d) {
      QCOMPARE(d.windowTitle(), QString("Unsharp Mask Filter"));
      QCOMPARE(d.radius_field()->text(), QString("3"));
      QCOMPARE(d.power_field()->text(), QString("1"));
      step(d.radius_spin(), 10);
      step(d.power_spin(), -3);
      QCOMPARE(d.radius_field()->text(), QString("7"));
      QCOMPARE(d.power_field()->text(), QString("1"));
      step(d.power_spin(), 2);
      click(d, "Help");
      click(d, "OK");
    });
    w().command(CM_UNSHARP);
    QCOMPARE(messages_.shown.back().caption, std::string("Unsharp Mask Filter"));
    QCOMPARE(last_line(), QString("Unsharp Mask : rad 7 ,power 3"));
    QCOMPARE(int(frame()[300 * FRAME_WIDTH + 300]), 1000);  // a flat frame stays flat
  }

  void medianRemovesAnOutlierAtPowerOneTenth() {
    fill(1000);
    frame()[100 * FRAME_WIDTH + 100] = 60000;
    when_shown<TMedianDialog>([](TMedianDialog& d) {
      QCOMPARE(d.windowTitle(), QString("Median Filter"));
      QCOMPARE(d.radius_field()->text(), QString("1"));
      QCOMPARE(d.power_field()->text(), QString(".6"));
      step(d.power_spin(), 1);
      QCOMPARE(d.power_field()->text(), QString("0.7"));
      step(d.radius_spin(), 5);
      QCOMPARE(d.radius_field()->text(), QString("3"));
      step(d.radius_spin(), -5);
      step(d.power_spin(), -20);
      QCOMPARE(d.radius_field()->text(), QString("1"));
      QCOMPARE(d.power_field()->text(), QString("0.1"));
      click(d, "Help");
      click(d, "OK");
    });
    w().command(CM_MEDIAN);
    QCOMPARE(messages_.shown.back().caption, std::string("MORVALE - Median Filter"));
    QCOMPARE(last_line(), QString("Median Filter : rad 1 ,power 0.1"));
    QCOMPARE(int(frame()[100 * FRAME_WIDTH + 100]), 1000);
  }

  void commandsWithoutDialogWriteTheirHistory_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("line");
    QTest::newRow("sine") << int(CM_SINE_STRETCH) << "Sine Stretch";
    QTest::newRow("log") << int(CM_LOG_STRETCH) << "Log Stretch";
    QTest::newRow("antilog") << int(CM_ANTILOG_STRETCH) << "Anti-Log Stretch";
    QTest::newRow("invert") << int(CM_NEGATIVE) << "Invert Image to Negative";
    QTest::newRow("background") << int(CM_REMOVE_BACKGROUND) << "Background Removed : min 8";
    QTest::newRow("low pass") << int(CM_WEIGHTED_MEAN) << "Lowpass Smoother Filter";
    QTest::newRow("gaussian") << int(CM_GAUSSIAN) << "Gaussian Filter";
    QTest::newRow("hp low") << int(CM_HIGH_PASS_LOW_POWER) << "High Pass Low Power Filter";
    QTest::newRow("hp high") << int(CM_HIGH_PASS_HIGH_POWER) << "High Pass High Power Filter";
    QTest::newRow("smoother") << int(CM_SMOOTHER_SHARPER) << "Smoother/Sharper Filter";
    QTest::newRow("bas relief") << int(CM_BAS_RELIEF) << "Bas Relief Filter";
    QTest::newRow("vertical") << int(CM_VERTICAL_SMOOTHING) << "Vertical Smoothing Filter";
    QTest::newRow("gradient") << int(CM_GRADIENT) << "Gradient Filter";
  }
  void commandsWithoutDialogWriteTheirHistory() {
    QFETCH(int, id);
    QFETCH(QString, line);
    w().app().store().BackgroundLevel = 10;
    w().command(id);
    QCOMPARE(history().count(), 1);
    QCOMPARE(last_line(), line);
    QVERIFY(!w().app().busy);
    QVERIFY(w().action(id)->isEnabled());
  }

  void invertMapsBlackToTheTopEvenLevel() {
    fill(0);
    frame()[7] = 65535;
    w().command(CM_NEGATIVE);
    QCOMPARE(int(frame()[0]), 65534);
    QCOMPARE(int(frame()[7]), 0);
    w().command(CM_UNDO);
    QCOMPARE(int(frame()[7]), 65535);
  }

  void internalCommandsApplyTheTableWithoutHistory() {
    fill(2000);
    auto& table = w().app().StretchTable;
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = std::uint16_t(i / 2);
    w().command(CM_APPLY_STRETCH_NO_REDISPLAY);
    QCOMPARE(int(frame()[0]), 1000);
    w().command(CM_APPLY_STRETCH);
    QCOMPARE(int(frame()[0]), 500);
    w().command(CM_STRETCH_POSTED);
    QCOMPARE(int(frame()[0]), 250);
    QCOMPARE(history().count(), 0);
  }

  void histogramWindowIsOneAtATime() {
    auto windows = [this] {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      return w().findChildren<THistDialog*>().size();
    };
    w().command(CM_HISTOGRAM);
    QCOMPARE(windows(), qsizetype(1));
    auto* h = w().findChild<THistDialog*>();
    QCOMPARE(h->windowTitle(), QString("Histogram of Current Image"));
    QVERIFY(h->isVisible() && !h->isModal());
    w().command(CM_HISTOGRAM);
    QCOMPARE(windows(), qsizetype(1));
    // Other commands still run while it is open.
    w().command(CM_SINE_STRETCH);
    QCOMPARE(last_line(), QString("Sine Stretch"));
    h->help_button()->click();
    QCOMPARE(messages_.shown.back().caption, std::string("Morvale - Display Histogram"));
    QVERIFY(QString::fromStdString(messages_.shown.back().text).endsWith("Short key - CTL+H"));
    // The listing names the first truncated bins; bars are cut at 210.
    auto& bins = w().app().store().ImageHistogram;
    bins.fill(0);
    bins[3] = 1056;
    const QImage plot = h->plot()->grab().toImage();
    QCOMPARE(plot.pixelColor(3 + 8, 100), QColor(255, 0, 0));
    QCOMPARE(plot.pixelColor(4 + 8, 100), plot.pixelColor(300, 280 - 10));
    h->close_button()->click();
    QCOMPARE(windows(), qsizetype(0));
    // Closed from its title bar, it can be opened again too.
    w().command(CM_HISTOGRAM);
    QCOMPARE(windows(), qsizetype(1));
    w().findChild<THistDialog*>()->close();
    QCOMPARE(windows(), qsizetype(0));
    w().command(CM_HISTOGRAM);
    QCOMPARE(windows(), qsizetype(1));
  }
};

QTEST_MAIN(ProcessingDialogsTest)
#include "processing_dialogs_test.moc"
