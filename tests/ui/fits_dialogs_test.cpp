// The FITS details dialog and the FITS commands of the main window, driven
// offscreen: the dialog's fields and controls, Continue and Abort, Save as
// FITS through both dialogs, Quick Save and the AutoSave text.
#include "ui/fits_dialogs.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "../app/catalogue_field.h"
#include "../test_support.h"
#include "app/commands.h"
#include "files/settings.h"
#include "modal_driver.h"
#include "platform/basic_ports.h"
#include "platform/subprocess.h"
#include "ui/main_window.h"
#include "window_fixture.h"

using namespace tarvex;
using namespace tarvex::ui;
using tarvex::testing::PathSetting;
using tarvex::ui::testing::ModalDriver;

namespace {

QPushButton* push(QWidget* d, const QString& text) {
  for (auto* b : d->findChildren<QPushButton*>()) {
    if (b->text() == text) return b;
  }
  return nullptr;
}

}  // namespace

class FitsDialogsTest : public tarvex::ui::testing::WindowTest {
  Q_OBJECT

 private slots:
  void dialogShowsEveryFieldWithinItsLimits() {
    FitsText fits;
    fits.fits_object = "M42";
    fits.fits_history = std::string(300, 'h');
    fits.fits_focal_length = 78.5;
    std::int16_t ut = 14;  // outside the bar: shown as 0
    FitsDetailsModel model(fits, ut, true);
    TFitsDialog d(model);
    QCOMPARE(d.windowTitle(), QString("FITS DETAILS"));
    QCOMPARE(int(fits_fields().size()), 13);
    for (const auto& info : fits_fields()) {
      QLineEdit* e = d.findChild<QLineEdit*>(info.label);
      QVERIFY2(e != nullptr, info.label);
      QCOMPARE(e->maxLength(), int(info.max_chars));
    }
    QCOMPARE(d.field(FitsField::Object)->text(), QString("M42"));
    QCOMPARE(d.field(FitsField::History)->text().size(),
             int(fits_field_info(FitsField::History).max_chars));
    QCOMPARE(d.field(FitsField::FocalLength)->text(), QString("78.500000"));
    QCOMPARE(d.image_format()->text(), QString("Binned"));
    QCOMPARE(d.time_value()->text(), QString("0"));
    QCOMPARE(d.time_bar()->minimum(), -11);
    QCOMPARE(d.time_bar()->maximum(), 11);
    QVERIFY(push(&d, "Continue") && push(&d, "Abort"));

    FitsDetailsModel high_res(fits, ut, false);
    TFitsDialog d2(high_res);
    QCOMPARE(d2.image_format()->text(), QString("High Res"));
  }

  void timeBarStepsByOneAndStopsAtItsEnds() {
    FitsText fits;
    std::int16_t ut = 10;
    FitsDetailsModel model(fits, ut, false);
    TFitsDialog d(model);
    QCOMPARE(d.time_value()->text(), QString("10"));
    d.time_bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    d.time_bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(model.time_difference(), 11);
    QCOMPARE(d.time_value()->text(), QString("11"));
    QCOMPARE(d.time_bar()->value(), 11);
    for (int i = 0; i < 30; ++i) d.time_bar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(d.time_value()->text(), QString("-11"));
    QCOMPARE(ut, std::int16_t(10));  // stored only on Continue
  }

  void solveImageRefusesReportsCancelsAndSolves() {
    Tarvex& a = w().app();
    QVERIFY(w().action(CM_SOLVE_IMAGE)->isEnabled());
    // No focal length: a box says what to set.
    a.fits.fits_focal_length = 0;
    QString said;
    {
      ModalDriver refusal;
      refusal.then<QMessageBox>([&](QMessageBox* b) {
        said = b->text();
        b->accept();
      });
      w().command(CM_SOLVE_IMAGE);
      QVERIFY(refusal.finished());
    }
    QVERIFY2(said.contains("focal length"), qPrintable(said));

    a.fits.fits_focal_length = 300 / 25.4;
    const std::string folder = dir_->filePath("bin").toStdString();
    std::filesystem::create_directory(folder);
    {
      PathSetting path(folder);  // no solve-field to be found
      w().command(CM_SOLVE_IMAGE);
    }
    QVERIFY2(w().statusBar()->currentMessage().startsWith(
                 "not solved: astrometry.net is not installed (no solve-field): install "
                 "astrometry.net, astrometry-data-tycho2-08"),
             qPrintable(w().statusBar()->currentMessage()));

    // A solver that never finishes: a key pressed on the window stops it.
    {
      std::ofstream(folder + "/solve-field") << "#!/bin/sh\nexec sleep 60\n";
      std::filesystem::permissions(folder + "/solve-field", std::filesystem::perms::owner_all);
      PathSetting path(folder + ":" + std::getenv("PATH"));
      QTimer::singleShot(300, &w(), [this] { QTest::keyClick(&w(), Qt::Key_Escape); });
      QElapsedTimer timer;
      timer.start();
      w().command(CM_SOLVE_IMAGE);
      QVERIFY(timer.elapsed() < 10000);
    }
    QCOMPARE(w().statusBar()->currentMessage(), QString("not solved: cancelled"));
    QVERIFY(!a.busy);

    // The real solver on a field of the sky: the status bar and the FITS
    // details show where it points.
    const auto frame = tarvex::testing::catalogue_field(83.82, -5.39, 300);
    if (frame.empty() || tarvex::find_program("solve-field").empty())
      QSKIP("astrometry.net is not installed: the solve through it is not tested");
    std::copy(frame.begin(), frame.end(), fs().CurrentFrame.begin());
    fs().IsColour = false;
    w().command(CM_SOLVE_IMAGE);
    const QString line = w().statusBar()->currentMessage();
    QVERIFY2(line.startsWith("solved RA 05:35:1") && line.contains(" Dec -05:23:") &&
                 line.contains("scale 5.91\"/px"),
             qPrintable(line));
    QString shown;
    ModalDriver details;
    details.then<TFitsDialog>([&](TFitsDialog* d) {
      shown = d->solution() ? d->solution()->text() : QString();
      push(d, "Abort")->click();
    });
    w().command(CM_FITS_DETAILS);
    QVERIFY(details.finished());
    QCOMPARE(shown, line);
  }

  void unsignedActsAtOnceAndAbortKeepsTheRest() {
    Tarvex& a = w().app();
    a.fits.fits_object = "before";
    a.fits.fits_unsigned = false;
    ModalDriver driver;
    driver.then<TFitsDialog>([](TFitsDialog* d) {
      d->field(FitsField::Object)->setText("after");
      d->unsigned_box()->click();
      push(d, "Abort")->click();
    });
    QVERIFY(w().action(CM_FITS_DETAILS)->isEnabled());
    w().command(CM_FITS_DETAILS);
    QVERIFY(driver.finished());
    QCOMPARE(a.fits.fits_object, std::string("before"));
    QVERIFY(a.fits.fits_unsigned);
  }

  void continueStoresFieldsAndTheTimeDifference() {
    Tarvex& a = w().app();
    a.settings.ut_offset_hours = 0;
    ModalDriver driver;
    driver.then<TFitsDialog>([](TFitsDialog* d) {
      d->field(FitsField::Object)->setText("NGC 7000");
      d->field(FitsField::Exposure)->setText("12,5");
      d->time_bar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
      push(d, "Continue")->click();
    });
    w().command(CM_FITS_DETAILS);
    QVERIFY(driver.finished());
    QCOMPARE(a.fits.fits_object, std::string("NGC 7000"));
    QCOMPARE(a.fits.fits_exposure, 12.5);
    QCOMPARE(int(a.settings.ut_offset_hours), -1);
  }

  void saveAsFitsRunsBothDialogsAndWritesTheFile() {
    Tarvex& a = w().app();
    a.fits.fits_date = "";
    const QString target = dir_->filePath("andromeda");
    QStringList filters;
    QString suffix;
    ModalDriver driver;
    driver.then<TFitsDialog>([](TFitsDialog* d) {
      // The short date became today's date before the dialog opened.
      QCOMPARE(d->field(FitsField::Date)->text().size(), 10);
      push(d, "Continue")->click();
    });
    driver.then<QFileDialog>([&](QFileDialog* f) {
      filters = f->nameFilters();
      suffix = f->defaultSuffix();
      f->selectFile(target);
      static_cast<QDialog*>(f)->accept();  // QFileDialog::accept, through the base
    });
    QVERIFY(w().action(CM_SAVE_FITS)->isEnabled());
    w().command(CM_SAVE_FITS);
    QVERIFY(driver.finished());
    QCOMPARE(driver.unexpected, 0);
    QCOMPARE(filters.size(), 2);
    QVERIFY(filters[0].startsWith("FITS file"));
    QCOMPARE(suffix, QString("FIT"));
    QCOMPARE(QFileInfo(target + ".FIT").size(), qint64(878080));
    QCOMPARE(w().windowTitle(), QString("Tarvex - andromeda.FIT"));  // the name written
    QVERIFY(messages_.shown.empty());
  }

  void saveAsFitsAbortAndCancelWriteNothing() {
    {
      ModalDriver abort;
      abort.then<TFitsDialog>([](TFitsDialog* d) { push(d, "Abort")->click(); });
      w().command(CM_SAVE_FITS);
      QVERIFY(abort.finished());
      QCOMPARE(abort.unexpected, 0);  // no file dialog after Abort
    }

    ModalDriver cancel;
    cancel.then<TFitsDialog>([](TFitsDialog* d) { push(d, "Continue")->click(); });
    cancel.then<QFileDialog>([](QFileDialog* f) { f->reject(); });
    w().command(CM_SAVE_FITS);
    QVERIFY(cancel.finished());
    QCOMPARE(QDir(dir_->path()).entryList({"*.FIT", "*.fit"}, QDir::Files).size(), 0);
    QCOMPARE(w().windowTitle(), QString("Tarvex - (Untitled)"));
  }

  void quickSaveWritesTheNextNumberedFile() {
    Tarvex& a = w().app();
    a.settings.autosave_number = 41;
    QVERIFY(w().action(CM_QUICK_SAVE_FITS)->isEnabled());
    QCOMPARE(w().action(CM_QUICK_SAVE_FITS)->shortcut(), QKeySequence("Ctrl+Q"));
    w().command(CM_QUICK_SAVE_FITS);
    const auto file = a.paths.autosave_dir(a.settings.autosave_subdir) / "IMG42.FIT";
    QVERIFY(std::filesystem::exists(file));
    QCOMPARE(std::filesystem::file_size(file), std::uintmax_t(878080));
    QCOMPARE(int(a.settings.autosave_number), 42);
    QVERIFY(w().statusBar()->currentMessage().contains("IMG42.FIT"));
    // The number persists in the settings file.
    Settings reread;
    FitsText fits;
    QVERIFY(load_settings(a.paths.settings_file(), reread, fits, messages_) == SettingsLoad::Read);
    QCOMPARE(int(reread.autosave_number), 42);
  }

  void autosaveTextPersistsAfterContinue() {
    Tarvex& a = w().app();
    ModalDriver driver;
    driver.then<TFitsDialog>([](TFitsDialog* d) {
      d->field(FitsField::Observer)->setText("J. Night");
      push(d, "Continue")->click();
    });
    w().command(CM_AUTOSAVE_FITS_TEXT);
    QVERIFY(driver.finished());
    Settings reread;
    FitsText fits;
    QVERIFY(load_settings(a.paths.settings_file(), reread, fits, messages_) == SettingsLoad::Read);
    QCOMPARE(fits.fits_observer, std::string("J. Night"));
    QVERIFY(messages_.shown.empty());
  }
};

QTEST_MAIN(FitsDialogsTest)
#include "fits_dialogs_test.moc"
