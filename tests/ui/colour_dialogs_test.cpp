// The colour dialogs and Colour commands of the main window, driven
// offscreen on small synthetic frames: the synthesis options and their
// beep-and-stay rule, the balance dialog's bars and histograms, the
// chromatic controls, and each command's refusal and effect.
#include "ui/colour_dialogs.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "app/commands.h"
#include "modal_driver.h"
#include "platform/basic_ports.h"
#include "ui/main_window.h"
#include "window_fixture.h"

using namespace tarvex;
using namespace tarvex::ui;
using tarvex::ui::testing::ModalDriver;
using Colour = BalanceDialogModel::Colour;
using Field = BalanceDialogModel::Field;
using Control = ChromaticDialogModel::Control;
using Box = SynthesisDialogModel::Box;

namespace {

// A colour-converted frame: a mid-grey luminance and flat planes, with a
// column ramp in the red plane.
void make_colour_frame(FrameStore& fs) {
  std::fill(fs.CurrentFrame.begin(), fs.CurrentFrame.end(), 20000);
  std::fill(fs.GreenPlane.begin(), fs.GreenPlane.end(), 30000);
  std::fill(fs.BluePlane.begin(), fs.BluePlane.end(), 0);
  for (int i = 0; i < FRAME_SAMPLES; ++i) fs.RedPlane[i] = static_cast<std::uint16_t>(i % 752);
  fs.IsColour = true;
}

// A raw mosaic frame with some structure, not yet converted.
void make_raw_frame(FrameStore& fs) {
  for (int i = 0; i < FRAME_SAMPLES; ++i) {
    const int x = i % FRAME_WIDTH, y = i / FRAME_WIDTH;
    fs.CurrentFrame[i] = static_cast<std::uint16_t>(12000 + 3000 * ((x + 2 * y) % 4) + 10 * x);
  }
  fs.IsColour = false;
}

}  // namespace

class ColourDialogsTest : public tarvex::ui::testing::WindowTest {
  Q_OBJECT

 private slots:
  void synthesisDialogShowsTheStoredOptions() {
    SynthesisOptions stored;
    stored.anti_alias = true;
    stored.stretch = AutoStretch::Strong;
    stored.user_power = 7;
    SynthesisDialogModel model(stored);
    VirtualClock clock;
    TColourDialog d(model, clock, messages_);
    QCOMPARE(d.windowTitle(), QString("SYNTHESIZE COLOUR IMAGE"));
    QVERIFY(d.button("Apply Anti-Alias")->isChecked());
    QVERIFY(!d.button("Daylight Image?")->isChecked());
    QVERIFY(d.button("Apply Strong Stretch")->isChecked());
    QCOMPARE(d.box(Box::UserPower)->text(), QString("7"));
    QCOMPARE(d.box(Box::UnsharpDiameter)->text(), QString("3"));
    QCOMPARE(d.box(Box::UnsharpPower)->text(), QString("1"));
    // The radio group keeps exactly one choice.
    d.button("Auto Stretch - User")->click();
    QVERIFY(d.button("Auto Stretch - User")->isChecked());
    QVERIFY(!d.button("Apply Strong Stretch")->isChecked());
    QCOMPARE(model.stretch(), AutoStretch::User);
    d.button("IR Filter Used?")->click();
    QVERIFY(model.options().ir_filter);
    // Every hint is shown.
    for (const char* hint : SynthesisDialogModel::hints()) {
      bool found = false;
      for (auto* l : d.findChildren<QLabel*>()) found = found || l->text() == hint;
      QVERIFY2(found, hint);
    }
    d.button("Help")->click();
    QCOMPARE(messages_.shown.back().caption, std::string("Tarvex - Synthesize Colour"));
  }

  void createImageBeepsAndStaysOnAnInvalidBox() {
    SynthesisDialogModel model(SynthesisOptions{});
    VirtualClock clock;
    TColourDialog d(model, clock, messages_);
    d.open();
    QTest::keyClicks(d.box(Box::UserPower), "0");  // "40": beyond 29
    QTest::keyClicks(d.box(Box::UnsharpDiameter), "\b5");
    d.button("Create Image")->click();
    QCOMPARE(clock.beeps, 1);
    QVERIFY(d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Rejected));
    // The valid diameter was stored; every box shows the stored value.
    QCOMPARE(d.box(Box::UserPower)->text(), QString("4"));
    QCOMPARE(d.box(Box::UnsharpDiameter)->text(), QString("5"));
    QCOMPARE(model.options().unsharp_diameter, 5);
    QTest::keyClicks(d.box(Box::UserPower), "\b29");
    d.button("Create Image")->click();
    QCOMPARE(clock.beeps, 1);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(model.options().user_power, 29);
  }

  void synthesizeCommandConvertsAfterCreateImage() {
    make_raw_frame(fs());
    {
      ModalDriver cancel;
      cancel.then<TColourDialog>([](TColourDialog* d) { d->button("Cancel")->click(); });
      QVERIFY(w().action(CM_SYNTHESIZE_COLOUR)->isEnabled());
      w().command(CM_SYNTHESIZE_COLOUR);
      QVERIFY(cancel.finished());
      QCOMPARE(fs().IsColour, false);
    }

    const bool daylight_before = synthesis_options(a().settings).daylight;
    {
      ModalDriver create;
      create.then<TColourDialog>([](TColourDialog* d) {
        d->button("Daylight Image?")->click();
        d->button("Create Image")->click();
      });
      w().command(CM_SYNTHESIZE_COLOUR);
      QVERIFY(create.finished());
      QCOMPARE(fs().IsColour, true);
      QCOMPARE(synthesis_options(a().settings).daylight, !daylight_before);
      const auto mid = FRAME_WIDTH * 300 + 300;
      QVERIFY(fs().RedPlane[mid] > 0 || fs().GreenPlane[mid] > 0 || fs().BluePlane[mid] > 0);
    }

    // A converted frame is refused without a dialog.
    ModalDriver none;
    w().command(CM_SYNTHESIZE_COLOUR);
    QCOMPARE(none.unexpected, 0);
    QCOMPARE(messages_.shown.back().code, 22u);
  }

  void balanceDialogBarsAndLimits() {
    make_colour_frame(fs());
    BalanceDialogModel model;
    model.open(fs(), 3);
    TBalanceDialog d(model, messages_);
    QCOMPARE(d.windowTitle(), QString("Colour Starting Balance"));
    for (Colour c : {Colour::Red, Colour::Green, Colour::Blue}) {
      QCOMPARE(d.box(c, Field::Start)->text(), QString("0"));
      QCOMPARE(d.box(c, Field::Min)->text(), QString("0"));
      QCOMPARE(d.box(c, Field::Max)->text(), QString("255"));
    }
    QCOMPARE(d.saturation_box()->text(), QString("3"));
    QScrollBar* start = d.bar(Colour::Red, Field::Start);
    start->triggerAction(QAbstractSlider::SliderPageStepAdd);
    start->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(d.box(Colour::Red, Field::Start)->text(), QString("11"));
    for (int i = 0; i < 5; ++i) start->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(model.value(Colour::Red, Field::Start), -10);
    QCOMPARE(start->value(), -10);
    // The maximum stops at 300, the minimum stays below the maximum.
    QScrollBar* max = d.bar(Colour::Blue, Field::Max);
    for (int i = 0; i < 10; ++i) max->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(d.box(Colour::Blue, Field::Max)->text(), QString("300"));
    for (int i = 0; i < 40; ++i) max->triggerAction(QAbstractSlider::SliderPageStepSub);
    QScrollBar* min = d.bar(Colour::Blue, Field::Min);
    min->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QVERIFY(model.value(Colour::Blue, Field::Min) < model.value(Colour::Blue, Field::Max));
    for (int i = 0; i < 3; ++i)
      d.saturation_bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(d.saturation_box()->text(), QString("9"));
    d.button("Help")->click();
    QVERIFY(messages_.shown.back().text.find("A value of 2 is recommended") != std::string::npos);
  }

  void balanceHistogramsAreDrawnAtTheirCoordinates() {
    make_colour_frame(fs());
    // Blue: 1500 samples in bin 19 below the label rows -> a bar 100 high.
    std::fill(fs().BluePlane.begin(), fs().BluePlane.end(), 65535);
    std::fill(fs().BluePlane.begin() + 20000, fs().BluePlane.begin() + 21500, 10000);
    BalanceDialogModel model;
    model.open(fs(), 3);
    TBalanceDialog d(model, messages_);
    d.show();
    QImage blue = d.histogram(Colour::Blue)->grab().toImage();
    QCOMPARE(blue.size(), QSize(128, 211));
    QCOMPARE(blue.pixelColor(19, 200), QColor(0, 0, 255));
    QCOMPARE(blue.pixelColor(19, 111), QColor(0, 0, 255));
    QCOMPARE(blue.pixelColor(19, 109), QColor(Qt::white));
    // Green sits in one bin (30000 / 512 = 58): cut at 210 and drawn grey.
    QImage green = d.histogram(Colour::Green)->grab().toImage();
    QCOMPARE(green.pixelColor(58, 5), QColor(128, 128, 128));
    QCOMPARE(green.pixelColor(57, 5), QColor(Qt::white));
    // The start marker is a black line at start / 2.
    for (int i = 0; i < 2; ++i) {
      d.bar(Colour::Green, Field::Start)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    }
    green = d.histogram(Colour::Green)->grab().toImage();
    QCOMPARE(green.pixelColor(10, 100), QColor(Qt::black));
    QCOMPARE(green.pixelColor(11, 100), QColor(Qt::white));
  }

  void balanceCommandAppliesOnApplyOnly() {
    make_colour_frame(fs());
    {
      ModalDriver cancel;
      cancel.then<TBalanceDialog>([](TBalanceDialog* d) {
        d->bar(Colour::Green, Field::Start)->triggerAction(QAbstractSlider::SliderPageStepAdd);
        d->button("Cancel")->click();
      });
      QVERIFY(w().action(CM_COLOUR_BALANCE)->isEnabled());
      w().command(CM_COLOUR_BALANCE);
      QVERIFY(cancel.finished());
      QCOMPARE(int(fs().GreenPlane[50000]), 30000);
    }

    {
      ModalDriver apply;
      apply.then<TBalanceDialog>([](TBalanceDialog* d) {
        d->bar(Colour::Green, Field::Start)->triggerAction(QAbstractSlider::SliderPageStepAdd);
        d->button("Apply")->click();
      });
      w().command(CM_COLOUR_BALANCE);
      QVERIFY(apply.finished());
      QCOMPARE(int(fs().GreenPlane[50000]), 30000 - 2560);
      QCOMPARE(int(fs().GreenSaved[50000]), 30000);
    }
  }

  void chromaticDialogStepsWithinThree() {
    ChromaticDialogModel model;
    TChromaticDialog d(model, messages_);
    QCOMPARE(d.windowTitle(), QString("CHROMATIC ADJUSTMENT"));
    QScrollBar* c = d.control(Control::RedLeftRight);
    for (int i = 0; i < 5; ++i) c->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(d.box(Control::RedLeftRight)->text(), QString("3"));
    c->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(model.value(Control::RedLeftRight), 2);
    for (int i = 0; i < 9; ++i) {
      d.control(Control::BlueUpDown)->triggerAction(QAbstractSlider::SliderPageStepSub);
    }
    QCOMPARE(d.box(Control::BlueUpDown)->text(), QString("-3"));
    QCOMPARE(model.value(Control::RedUpDown), 0);
    d.button("Help")->click();
    QCOMPARE(messages_.shown.back().caption, ChromaticDialogModel::help().caption);
  }

  void chromatismCommandShiftsOnOkOnly() {
    make_colour_frame(fs());
    const int at = 20 * FRAME_WIDTH + 5;
    {
      ModalDriver cancel;
      cancel.then<TChromaticDialog>([](TChromaticDialog* d) {
        d->control(Control::RedLeftRight)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        d->button("Cancel")->click();
      });
      w().command(CM_CHROMATISM);
      QVERIFY(cancel.finished());
      QCOMPARE(int(fs().RedPlane[at]), 5);
    }

    {
      ModalDriver ok;
      ok.then<TChromaticDialog>([](TChromaticDialog* d) {
        d->control(Control::RedLeftRight)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        d->button("OK")->click();
      });
      w().command(CM_CHROMATISM);
      QVERIFY(ok.finished());
      QCOMPARE(int(fs().RedPlane[at]), 6);
    }
  }

  void monochromeFramesAreRefusedBeforeAnyDialog() {
    make_raw_frame(fs());
    const std::pair<int, unsigned> refusals[] = {
        {CM_COLOUR_BALANCE, 25u},  {CM_CHROMATISM, 25u}, {CM_LOW_PASS_COLOUR, 58u},
        {CM_COLOUR_OVERLOAD, 58u}, {CM_ANTI_ALIAS, 7u},  {CM_BALANCE_COLOUR_HISTOGRAM, 25u}};
    const Frame before = fs().CurrentFrame;
    for (const auto& [id, code] : refusals) {
      ModalDriver none;
      QVERIFY(w().action(id)->isEnabled());
      messages_.shown.clear();
      w().command(id);
      QCOMPARE(none.unexpected, 0);
      QCOMPARE(messages_.shown.size(), size_t(1));
      QCOMPARE(messages_.shown[0].code, code);
    }
    QVERIFY(fs().CurrentFrame == before);
  }

  void correctionCommandsChangeThePlanesAndUndoRestoresThem() {
    make_colour_frame(fs());
    // A single bright sample in the green plane: the low pass spreads it.
    const int spike = 300 * FRAME_WIDTH + 300;
    fs().GreenPlane[spike] = 60000;
    w().command(CM_LOW_PASS_COLOUR);
    QVERIFY(fs().GreenPlane[spike] < 60000);
    QVERIFY(fs().GreenPlane[spike + 1] > 30000);
    w().command(CM_UNDO_COLOUR);
    QCOMPARE(int(fs().GreenPlane[spike]), 60000);

    // The histogram balance raises exactly one plane.
    make_colour_frame(fs());
    const Frame r = fs().RedPlane, g = fs().GreenPlane, b = fs().BluePlane;
    w().command(CM_BALANCE_COLOUR_HISTOGRAM);
    const int changed =
        int(r != fs().RedPlane) + int(g != fs().GreenPlane) + int(b != fs().BluePlane);
    QVERIFY(changed <= 1);

    make_colour_frame(fs());
    w().command(CM_COLOUR_OVERLOAD);
    QCOMPARE(QString::fromStdString(a().history.line(a().history.count() - 1)),
             QString("Colour Overload Filter"));

    make_colour_frame(fs());
    messages_.shown.clear();
    w().command(CM_ANTI_ALIAS);
    QVERIFY(messages_.shown.empty());
    QCOMPARE(fs().IsColour, true);
  }
};

QTEST_MAIN(ColourDialogsTest)
#include "colour_dialogs_test.moc"
