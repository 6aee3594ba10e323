// The camera command of the main window on the simulated camera and a
// virtual clock: the camera dialog's controls, the focus mode, Take Photo and Cancel, the picture
// of the new exposure and the "Saving Image" window.
#include "ui/camera_dialog.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <utility>

#include "app/commands.h"
#include "files/more_settings.h"
#include "modal_driver.h"
#include "platform/basic_ports.h"
#include "sim/sim_camera.h"
#include "ui/main_window.h"
#include "ui/qt_ports.h"

using namespace tarvex;
using namespace tarvex::ui;
using tarvex::ui::testing::ModalDriver;

namespace {

// Answers every modal window with real synthesized input: the camera dialog
// through `dialog`, on every pass while it is the active window, and each
// message box once, as it comes up, through `box`.
class ModalAnswerer {
 public:
  std::function<void(TVQDialog*)> dialog;
  std::function<void(QMessageBox*)> box;
  int boxes = 0;

  ModalAnswerer() {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* w = QApplication::activeModalWidget();
      if (w == nullptr || !w->isVisible()) return;
      if (auto* d = qobject_cast<TVQDialog*>(w)) {
        dialog(d);
      } else if (auto* b = qobject_cast<QMessageBox*>(w); b != nullptr && b != last_.data()) {
        last_ = b;
        ++boxes;
        box(b);
      }
    });
    timer_.start();
  }

 private:
  QTimer timer_;
  QPointer<QWidget> last_;
};

QAbstractButton* box_button(QMessageBox* box, const QString& text) {
  for (QAbstractButton* b : box->buttons())
    if (b->text().remove('&') == text) return b;
  return nullptr;
}

}  // namespace

class CameraDialogTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<VirtualClock> clock_;
  std::unique_ptr<SimCamera> camera_;
  RecordingMessages messages_;
  std::unique_ptr<TTarvexWindow> window_;

  // A window on the virtual clock, or on `real` (the camera then takes its
  // read time in real time), with recording or Qt message boxes.
  void make_window(bool recording_messages, Clock* real = nullptr) {
    window_.reset();
    dir_ = std::make_unique<QTemporaryDir>();
    clock_ = std::make_unique<VirtualClock>();
    Clock& clock = real != nullptr ? *real : *clock_;
    camera_ = std::make_unique<SimCamera>(clock);
    messages_.shown.clear();
    WindowOptions o;
    o.data_root = dir_->path().toStdString();
    if (recording_messages) o.messages = &messages_;
    o.clock = &clock;
    o.usb = camera_.get();
    window_ = std::make_unique<TTarvexWindow>(o);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

 private slots:
  void init() { make_window(true); }

  void cleanup() {
    window_.reset();
    camera_.reset();
  }

  void dialogControlsChangeTheSettingsAtOnceAndStayAfterCancel() {
    ModalDriver driver;
    QString title, help_caption, help_text;
    driver.then<TVQDialog>([&](TVQDialog* d) {
      title = d->windowTitle();
      QVERIFY(d->take_photo_button()->isDefault());
      QCOMPARE(d->radio(702)->text(), QString("Hundredth's"));
      QCOMPARE(d->radio(704)->text(), QString("Seconds"));
      QVERIFY(d->radio(704)->isChecked());
      // Minutes: value 1, the bar's top at 90, the right arrow stops there.
      d->radio(705)->click();
      QCOMPARE(d->bar(104)->maximum(), 90);
      for (int i = 0; i < 100; ++i)
        d->bar(104)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      QCOMPARE(d->edit(105)->text(), QString("90"));
      // Page and thumb moves of the exposure bar are ignored.
      d->bar(104)->triggerAction(QAbstractSlider::SliderPageStepSub);
      QCOMPARE(d->edit(105)->text(), QString("90"));
      d->radio(704)->click();
      for (int i = 0; i < 10; ++i) d->bar(104)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      QCOMPARE(d->edit(105)->text(), QString("11"));
      QVERIFY(!d->radio(705)->isChecked());
      // Self-guiding at 11 seconds fills the guide fields; progressive
      // becomes interlaced.
      d->radio(134)->click();
      d->check(123)->click();
      QVERIFY(d->check(123)->isChecked());
      QCOMPARE(d->edit(127)->text(), QString("11"));
      QCOMPARE(d->edit(128)->text(), QString("seconds"));
      QCOMPARE(d->edit(136)->text(), QString("High Resolution  - Interlaced"));
      QVERIFY(d->radio(135)->isChecked());
      // A mode button disarms it and blanks the fields.
      d->radio(133)->click();
      QVERIFY(!d->check(123)->isChecked());
      QCOMPARE(d->edit(127)->text(), QString());
      // Count, the stretch bar with its pages, a check box.
      d->bar(111)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      QCOMPARE(d->edit(112)->text(), QString("2"));
      d->bar(130)->triggerAction(QAbstractSlider::SliderPageStepAdd);
      QCOMPARE(d->edit(131)->text(), QString("16"));
      d->bar(130)->triggerAction(QAbstractSlider::SliderSingleStepSub);
      QCOMPARE(d->edit(131)->text(), QString("15"));
      d->check(114)->click();
      // The help box is modal: opened once this step has returned.
      QTimer::singleShot(0, d, [d] { d->button(9)->click(); });
    });
    driver.then<QMessageBox>([&](QMessageBox* box) {
      help_caption = box->windowTitle();
      help_text = box->text();
      box->accept();
    });
    driver.then<TVQDialog>([](TVQDialog* d) { d->cancel_button()->click(); });
    window_->command(CM_CAMERA);
    QVERIFY(driver.finished());
    QCOMPARE(driver.unexpected, 0);
    QCOMPARE(title, QString(CAMERA_DIALOG_TITLE));
    QCOMPARE(help_caption, QString("MORVALE - Control VQ Camera"));
    QVERIFY(help_text.startsWith("Select exposure range using Radio buttons"));
    QCOMPARE(camera_->exposures_started(), 0u);
    const AcquisitionSettings& a = window_->app().acquisition;
    QCOMPARE(a.value, 11);
    QCOMPARE(a.mode, ExposureMode::Fast);
    QVERIFY(a.average);
    QCOMPARE(window_->app().display.palette_bits, 15);
    QVERIFY(window_->action(CM_CAMERA)->isEnabled());
  }

  void focusStartShowsThePeakAndStopsFromThePausePrompt() {
    window_->app().settings.focus_delay = false;
    window_->app().acquisition.pause_between = true;
    window_->app().acquisition.range = ExposureRange::Hundredths;
    window_->app().acquisition.value = 5;
    ModalDriver driver;
    QString peak, prompt_title, prompt_text;
    bool small_frame = false;
    // Start runs the focus mode until the prompt's Stop.
    driver.then<TVQDialog>(
        [](TVQDialog* d) { QTimer::singleShot(0, d, [d] { d->button(108)->click(); }); });
    driver.then<QMessageBox>([&](QMessageBox* box) {
      prompt_title = box->windowTitle();
      prompt_text = box->text();
      for (QAbstractButton* b : box->buttons())
        if (b->text() == "Stop") b->click();
    });
    driver.then<TVQDialog>([&](TVQDialog* d) {
      peak = d->edit(110)->text();
      small_frame = window_->app().display.SmallFrameMode;
      d->cancel_button()->click();
    });
    window_->command(CM_CAMERA);
    QVERIFY(driver.finished());
    QCOMPARE(prompt_title, QString("Focus Frame Pause"));
    QCOMPARE(prompt_text, QString("Press OK to continue or Stop to end focus mode."));
    QVERIFY(peak.toInt() > 0);
    QVERIFY(small_frame);
    QVERIFY(!window_->app().display.SmallFrameMode);
    // One focus window was exposed before the prompt; no photo was taken.
    QCOMPARE(camera_->exposures_started(), 1u);
  }

  // The boxes a run shows are closed with real presses (the mouse on "OK",
  // Enter); those presses belong to the box and do not stop the run or the
  // focus mode.
  void closingTheRunsOwnBoxesDoesNotStopIt() {
    for (const bool by_mouse : {true, false}) {
      make_window(false);
      ModalAnswerer answer;
      bool pressed = false;
      answer.dialog = [&pressed](TVQDialog* d) {
        if (std::exchange(pressed, true)) return;
        d->bar(111)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        d->check(106)->click();  // Auto-Remove Dark Frame, with no dark file
        QTest::mouseClick(d->take_photo_button(), Qt::LeftButton);
      };
      answer.box = [by_mouse](QMessageBox* b) {
        if (by_mouse)
          QTest::mouseClick(box_button(b, "OK"), Qt::LeftButton);
        else
          QTest::keyClick(b, Qt::Key_Enter);
      };
      window_->command(CM_CAMERA);
      QVERIFY(answer.boxes >= 1);
      QCOMPARE(camera_->exposures_started(), 2u);
    }

    make_window(false);
    window_->app().settings.focus_delay = false;
    window_->app().acquisition.pause_between = true;
    window_->app().acquisition.range = ExposureRange::Hundredths;
    window_->app().acquisition.value = 5;
    ModalAnswerer answer;
    bool started = false, stretched = false, stopped = false;
    // Start; while focusing, a click on the Stretch bar, and once two
    // prompts were answered "OK" by mouse, a click on "Stop"; then Cancel.
    answer.dialog = [&](TVQDialog* d) {
      if (!started) {
        started = true;
        QTimer::singleShot(0, d, [d] { QTest::mouseClick(d->button(108), Qt::LeftButton); });
      } else if (d->focusing()) {
        if (!std::exchange(stretched, true)) QTest::mouseClick(d->bar(130), Qt::LeftButton);
        if (answer.boxes >= 2 && !std::exchange(stopped, true))
          QTest::mouseClick(d->button(109), Qt::LeftButton);
      } else if (camera_->exposures_started() > 0) {
        d->cancel_button()->click();
      }
    };
    // A prompt's own "Stop" only if the focus Stop were not heard.
    answer.box = [&answer](QMessageBox* b) {
      QTest::mouseClick(box_button(b, answer.boxes < 6 ? "OK" : "Stop"), Qt::LeftButton);
    };
    window_->command(CM_CAMERA);
    QVERIFY(stretched && stopped);
    QVERIFY(answer.boxes >= 2 && answer.boxes <= 3);
    QCOMPARE(camera_->exposures_started(), static_cast<std::uint32_t>(answer.boxes));
  }

  // On the real clock: while the camera delivers a field, window events are
  // handled every few tens of milliseconds and the progress bar moves.
  void theWindowStaysAliveDuringAFieldRead() {
    QtClock real;
    make_window(true, &real);
    // A camera that reads a field in 1 s, as measured.
    camera_->field_read_ms = 1000;
    window_->app().camera.readout.field_read_time = 1000;
    window_->app().acquisition.range = ExposureRange::Tenths;
    window_->app().acquisition.value = 1;
    QElapsedTimer since;
    qint64 longest = 0;
    int last_position = 0;
    bool moved = false;
    QTimer ticks;
    ticks.setInterval(5);
    connect(&ticks, &QTimer::timeout, [&] {
      auto* p = window_->findChild<TProgressDialog*>();
      const bool reading = p != nullptr && p->isVisible() && p->caption().startsWith("READ");
      if (reading && since.isValid()) longest = std::max(longest, since.elapsed());
      if (reading) moved |= p->position() > 0 && p->position() < 256;
      if (reading) last_position = p->position();
      since.restart();
    });
    ticks.start();
    ModalDriver driver;
    driver.then<TVQDialog>(
        [](TVQDialog* d) { QTest::mouseClick(d->take_photo_button(), Qt::LeftButton); });
    window_->command(CM_CAMERA);
    QCOMPARE(camera_->exposures_started(), 1u);
    qInfo("longest gap between window events during the read: %lld ms", longest);
    QVERIFY(moved);
    QVERIFY(last_position > 128);
    QVERIFY(longest < 250);
  }

  // The whole dialog, Help and the right-hand panels included, fits a
  // 1024 x 768 screen with a taskbar of 48 pixels.
  void dialogFitsASmallScreen() {
    TVQDialog d(window_->app(), window_.get());
    const QSize least = d.minimumSizeHint();
    qInfo("camera dialog minimum size %d x %d", least.width(), least.height());
    QVERIFY(least.width() <= 1024);
    QVERIFY(least.height() <= 768 - 48);
    d.resize(least);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    for (int id : {9, 109, 130, 136}) {
      const QRect r(d.control(id)->mapTo(&d, QPoint(0, 0)), d.control(id)->size());
      QVERIFY2(d.rect().contains(r), qPrintable(QString::number(id)));
    }
  }

  // "Dither Between Exposures" and its pixels, by real clicks and keys: live
  // only with Self-Guide and Auto-Save both on; turned on, it takes the
  // small settings file's amount until one is typed, which then stays.
  void ditherCheckAndPixelsSetTheRun() {
    MoreSettings more;
    QCOMPARE(more.set("guide.dither-pixels", "4.5"), SettingChange::Set);
    QCOMPARE(save_more_settings(window_->app().paths.more_settings_file(), more), FileSave::Ok);
    const AcquisitionSettings& acq = window_->app().acquisition;
    TVQDialog d(window_->app(), window_.get());
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QCheckBox* dither = d.check(DITHER_ID);
    QLineEdit* pixels = d.edit(DITHER_PIXELS_ID);
    auto click = [](QAbstractButton* b) {
      QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    };
    auto type = [pixels](const char* text) {
      QTest::keyClick(pixels, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(pixels, text);
      QTest::keyClick(pixels, Qt::Key_Return);
    };
    QVERIFY(!dither->isEnabled() && !pixels->isEnabled());
    QCOMPARE(dither->toolTip(), QString("Dithering needs Self-Guide and Auto-Save"));
    click(dither);
    QVERIFY(!acq.dither);
    click(d.check(123));  // Self-Guide Next Exposure
    QVERIFY(acq.self_guide_next);
    QVERIFY(!dither->isEnabled());
    click(d.check(115));  // Auto Save Image
    QVERIFY(dither->isEnabled() && pixels->isEnabled() && dither->toolTip().isEmpty());
    click(dither);
    QVERIFY(acq.dither && dither->isChecked());
    QCOMPARE(acq.dither_pixels, 4.5);
    QCOMPARE(pixels->text(), QString("4.5"));
    // Out of range: a beep, the amount kept; Return takes no photo.
    const int beeps = clock_->beeps;
    type("25");
    QCOMPARE(clock_->beeps, beeps + 1);
    QCOMPARE(acq.dither_pixels, 4.5);
    QCOMPARE(pixels->text(), QString("4.5"));
    type("2.5");
    QCOMPARE(acq.dither_pixels, 2.5);
    QVERIFY(d.isVisible());
    // Off and on again: the amount typed stays.
    click(dither);
    QVERIFY(!acq.dither);
    click(dither);
    QVERIFY(acq.dither);
    QCOMPARE(acq.dither_pixels, 2.5);
    // Auto-Save off: still shown checked, but not live.
    click(d.check(115));
    QVERIFY(dither->isChecked() && !dither->isEnabled());
    QCOMPARE(camera_->exposures_started(), 0u);
  }

  void takePhotoShowsTheNewExposureAndItsFile() {
    window_->app().acquisition.auto_save = true;
    ModalDriver driver;
    // Pressed with the mouse: that press does not stop the exposure it starts.
    driver.then<TVQDialog>(
        [](TVQDialog* d) { QTest::mouseClick(d->take_photo_button(), Qt::LeftButton); });
    window_->command(CM_CAMERA);
    QVERIFY(driver.finished());
    QCOMPARE(camera_->exposures_started(), 1u);
    QCOMPARE(window_->windowTitle(), QString("Tarvex - KR Camera Image"));
    QVERIFY(!window_->app().busy);
    QVERIFY(window_->action(CM_CAMERA)->isEnabled());
    QVERIFY(messages_.shown.empty());
    // The "Saving Image" window named the file written.
    auto* saving = window_->findChild<TSavingDialog*>();
    QVERIFY(saving != nullptr);
    QVERIFY(saving->file_name().endsWith("/autosave/IMG1.FIT"));
    QVERIFY(QFileInfo::exists(saving->file_name()));
    QVERIFY(!saving->isVisible());
  }
};

QTEST_MAIN(CameraDialogTest)
#include "camera_dialog_test.moc"
