// The camera command of the main window on the simulated camera and a
// virtual clock: the camera dialog, Take Photo and Cancel, the picture of
// the new exposure and the "Saving Image" window.
#include "ui/camera_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/commands.h"
#include "modal_driver.h"
#include "platform/basic_ports.h"
#include "sim/sim_camera.h"
#include "ui/main_window.h"

using namespace tarvex;
using namespace tarvex::ui;
using tarvex::ui::testing::ModalDriver;

class CameraDialogTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<VirtualClock> clock_;
  std::unique_ptr<SimCamera> camera_;
  RecordingMessages messages_;
  std::unique_ptr<TTarvexWindow> window_;

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    clock_ = std::make_unique<VirtualClock>();
    camera_ = std::make_unique<SimCamera>(*clock_);
    messages_.shown.clear();
    WindowOptions o;
    o.data_root = dir_->path().toStdString();
    o.messages = &messages_;
    o.clock = clock_.get();
    o.usb = camera_.get();
    window_ = std::make_unique<TTarvexWindow>(o);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() {
    window_.reset();
    camera_.reset();
  }

  void dialogOffersTakePhotoAndCancel() {
    ModalDriver driver;
    QString title, summary;
    driver.then<TVQDialog>([&](TVQDialog* d) {
      title = d->windowTitle();
      summary = d->summary();
      QVERIFY(d->take_photo_button()->isDefault());
      QCOMPARE(d->cancel_button()->text(), QString("Cancel"));
      d->cancel_button()->click();
    });
    window_->command(CM_CAMERA);
    QVERIFY(driver.finished());
    QCOMPARE(driver.unexpected, 0);
    QCOMPARE(title, QString(CAMERA_DIALOG_TITLE));
    QCOMPARE(summary, QString("1 Seconds, Fast, 1 exposure"));
    QCOMPARE(camera_->exposures_started(), 0u);
    QVERIFY(window_->action(CM_CAMERA)->isEnabled());
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
