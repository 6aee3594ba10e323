// Everyday use of the window: opening a file from the command line, the
// question before closing over a changed image, zoom, the help window and
// About box, File > Export and Recent Files, and the read-only value boxes.
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QWheelEvent>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "app/close_question.h"
#include "app/commands.h"
#include "app/image_file.h"
#include "files/fits.h"
#include "modal_driver.h"
#include "platform/version.h"
#include "ui/calibration_dialogs.h"
#include "ui/colour_dialogs.h"
#include "ui/help_window.h"
#include "ui/launch_options.h"
#include "ui/picture_view.h"
#include "ui/tarvex_app.h"
#include "window_fixture.h"

using namespace tarvex;
using namespace tarvex::ui;
using tarvex::ui::testing::ModalDriver;

namespace {

QMenu* submenu(QMenuBar* bar, const QString& menu_title, const QString& title) {
  for (QAction* top : bar->actions()) {
    if (top->text() != menu_title || !top->menu()) continue;
    for (QAction* a : top->menu()->actions())
      if (a->menu() && a->text() == title) return a->menu();
  }
  return nullptr;
}

void send_wheel(PictureView* view, QPoint at, int delta, Qt::KeyboardModifiers modifiers) {
  QWheelEvent e(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                modifiers, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &e);
}

}  // namespace

class EverydayTest : public tarvex::ui::testing::WindowTest {
  Q_OBJECT

  QString file(const char* name) const { return dir_->filePath(name); }

 private slots:
  void aFileOnTheCommandLineOpensWithItsTitle() {
    // A FITS file of the program's layout, written without the window.
    fs().CurrentFrame[0] = 1234;
    const std::string path = file("M42.FIT").toStdString();
    QCOMPARE(save_fits(path, false, fs(), a().fits, a().history), FileSave::Ok);
    init_frame_store(fs());
    start_window(w(), parse_launch_arguments({path}));
    QTRY_COMPARE(w().windowTitle(), QString("Tarvex - M42.FIT"));
    QCOMPARE(fs().CurrentFrame[0], 1234);
    QVERIFY(!image_changed(a()));
    // A file that is not there is reported as File > Open reports it.
    start_window(w(), parse_launch_arguments({file("missing").toStdString()}));
    QTRY_COMPARE(messages_.codes().size(), size_t(1));
    QCOMPARE(messages_.codes()[0], 11u);
    QCOMPARE(w().windowTitle(), QString("Tarvex - M42.FIT"));
  }

  void launchArgumentsAreReadBeforeAnyWindow() {
    QVERIFY(early_launch_options({"-platform", "offscreen", "--help"}).help);
    QVERIFY(early_launch_options({"--version"}).version);
    QVERIFY(!early_launch_options({"--", "--help"}).help);  // a file named --help
    const LaunchOptions o = parse_launch_arguments({"--simulator", "--", "-odd.fit"});
    QVERIFY(o.simulator);
    QCOMPARE(QString::fromStdString(o.file), QString("-odd.fit"));
    QVERIFY(!parse_launch_arguments({"--frobnicate"}).error.empty());
    QVERIFY(!parse_launch_arguments({"a.fit", "b.fit"}).error.empty());
    QVERIFY(!parse_launch_arguments({"--screenshot"}).error.empty());
    QCOMPARE(QString::fromStdString(parse_launch_arguments({"--simulator", "--sky", "chart"}).sky),
             QString("chart"));
    QVERIFY(!parse_launch_arguments({"--sky", "moon"}).error.empty());
    QVERIFY(!parse_launch_arguments({"--sky"}).error.empty());
    QCOMPARE(QString::fromStdString(launch_version()),
             QString("tarvex %1\n").arg(QString::fromUtf8(PROGRAM_VERSION)));
  }

  void theWholeLineIsReadByOneParser() {
    // Before Qt takes its options out, --help and --version are still found
    // behind them, behind a wrong option and behind a --sky without a scene;
    // nothing else of that reading is kept.
    const LaunchOptions early =
        early_launch_options({"-style", "fusion", "--simulator", "--sky", "--version"});
    QVERIFY(early.version);
    QVERIFY(!early.simulator && early.file.empty() && early.error.empty());
    QVERIFY(early_launch_options({"--frobnicate", "-h"}).help);
    // The first wrong option is the one reported.
    QCOMPARE(QString::fromStdString(parse_launch_arguments({"--sky", "moon", "--bad"}).error),
             QString("--sky needs stars, chart or real"));
    // What the camera and the simulated sky are made from is that same reading:
    // a file named --simulator is a file, not the simulator.
    const LaunchOptions o = parse_launch_arguments({"--sky", "chart", "--", "--simulator"});
    QVERIFY(!o.simulator);
    QVERIFY(o.sky_scene == SkyScene::Chart);
    QCOMPARE(QString::fromStdString(o.file), QString("--simulator"));
    // --sim-mount is read by the command-line tool's own parser, and needs
    // the simulator.
    const LaunchOptions m =
        parse_launch_arguments({"--simulator", "--sky", "real", "--sim-mount", "point=M42"});
    QVERIFY(m.error.empty() && m.sky_scene == SkyScene::Real && m.sim_mount.point);
    QCOMPARE(QString::fromStdString(m.sim_mount.point->name), QString("M42"));
    QCOMPARE(QString::fromStdString(parse_launch_arguments({"--sim-mount", "point=M42"}).error),
             QString("--sim-mount sets up the simulated mount: add --simulator"));
    QCOMPARE(QString::fromStdString(
                 parse_launch_arguments({"--simulator", "--sim-mount", "scale=0"}).error),
             QString("--sim-mount scale takes arcseconds per pixel from 0.05 to 200, not 0"));
  }

  void closingAnUnchangedImageAsksNothing() {
    QVERIFY(w().close());
    QCOMPARE(messages_.save_questions, 0);
    QVERIFY(!w().isVisible());
  }

  void closingAChangedImageAsksAndCancelKeepsTheWindow() {
    w().command(CM_NEGATIVE);  // a processing step changes the image
    messages_.save_answer = SaveChoice::Cancel;
    QVERIFY(!w().close());
    QVERIFY(w().isVisible());
    QCOMPARE(messages_.save_questions, 1);
    QCOMPARE(QString::fromStdString(messages_.shown.back().text), QString(UNSAVED_IMAGE_QUESTION));
    // File > Exit asks the same.
    w().command(CM_EXIT);
    QVERIFY(w().isVisible());
    QCOMPARE(messages_.save_questions, 2);
    messages_.save_answer = SaveChoice::Discard;
    w().command(CM_EXIT);
    QVERIFY(!w().isVisible());
  }

  void saveOnCloseRunsTheSaveDialogFirst() {
    w().command(CM_NEGATIVE);  // a processing step changes the image
    messages_.save_answer = SaveChoice::Save;
    const QString target = file("~kept");
    {
      ModalDriver driver;
      driver.then<QFileDialog>([&](QFileDialog* f) {
        f->selectFile(target);
        static_cast<QDialog*>(f)->accept();
      });
      QVERIFY(w().close());
      QVERIFY(driver.finished());
    }
    QCOMPARE(QFileInfo(target).size(), qint64(872330));
    QCOMPARE(w().windowTitle(), QString("Tarvex - ~kept"));
    // The save dialog cancelled: the window stays.
    init_frame_store(fs());
    QVERIFY(image_changed(a()));
    w().show();
    ModalDriver cancel;
    cancel.then<QFileDialog>([](QFileDialog* f) { f->reject(); });
    QVERIFY(!w().close());
    QVERIFY(cancel.finished());
    QVERIFY(w().isVisible());
  }

  void ctrlWheelZoomKeepsThePointUnderThePointer() {
    w().resize(640, 520);
    QCoreApplication::processEvents();
    PictureView* v = w().picture();
    v->horizontalScrollBar()->setValue(40);
    const QPoint at(200, 150);
    const QPoint under = v->image_position(at);
    QCOMPARE(under, QPoint(240, 150));
    // Without Ctrl the wheel scrolls as before and the zoom stays.
    send_wheel(v, at, 120, Qt::NoModifier);
    QCOMPARE(v->zoom(), 1.0);
    v->verticalScrollBar()->setValue(0);
    for (double expected : {1.5, 2.0, 3.0}) {
      send_wheel(v, at, 120, Qt::ControlModifier);
      QCOMPARE(v->zoom(), expected);
      QCOMPARE(v->image_position(at), under);
    }
    // A touch pad's small steps add up to a notch.
    send_wheel(v, at, -60, Qt::ControlModifier);
    QCOMPARE(v->zoom(), 3.0);
    send_wheel(v, at, -60, Qt::ControlModifier);
    QCOMPARE(v->zoom(), 2.0);
    QCOMPARE(v->image_position(at), under);
    // The scroll range covers the enlarged picture.
    QCOMPARE(v->horizontalScrollBar()->maximum(), 2 * 752 - v->viewport()->width());
    // Pixel values are read in image pixels at any zoom.
    v->horizontalScrollBar()->setValue(0);
    v->verticalScrollBar()->setValue(0);
    w().command(CM_SHOW_VALUES);
    QVERIFY(w().values_box());
    QTest::mouseMove(v->viewport(), QPoint(20, 60));
    QVERIFY(w().values_box()->readout_text().contains(QString("Lum %1").arg(30 * 112, 6)));
  }

  void zoomCommandsAndKeys() {
    PictureView* v = w().picture();
    QCOMPARE(w().action(CM_ZOOM_IN)->shortcuts().value(0), QKeySequence("Ctrl++"));
    QCOMPARE(w().action(CM_ZOOM_OUT)->shortcut(), QKeySequence("Ctrl+-"));
    QCOMPARE(w().action(CM_ZOOM_ACTUAL)->shortcut(), QKeySequence("Ctrl+0"));
    w().command(CM_ZOOM_IN);
    QCOMPARE(v->zoom(), 1.5);
    w().command(CM_ZOOM_OUT);
    w().command(CM_ZOOM_OUT);
    QCOMPARE(v->zoom(), 2.0 / 3);
    w().command(CM_ZOOM_ACTUAL);
    QCOMPARE(v->zoom(), 1.0);
    w().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w()));
    QTest::keyClick(&w(), Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(v->zoom(), 1.5);
    QTest::keyClick(&w(), Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(v->zoom(), 1.0);
    // Fit to window stays as it was: zoom is off while it is on.
    w().command(CM_FIT_TO_WINDOW);
    QVERIFY(!w().action(CM_ZOOM_IN)->isEnabled());
    w().command(CM_ZOOM_IN);
    send_wheel(v, QPoint(50, 50), 120, Qt::ControlModifier);
    QCOMPARE(v->zoom(), 1.0);
    QCOMPARE(v->horizontalScrollBar()->maximum(), 0);
  }

  void helpOpensInItsOwnWindowWithContentsAndSearch() {
    QCOMPARE(w().action(CM_HELP)->shortcut(), QKeySequence(Qt::Key_F1));
    QVERIFY(!w().help_folder().isEmpty());
    w().command(CM_HELP);
    THelpWindow* help = w().help_window();
    QVERIFY(help && help->isVisible());
    QVERIFY(messages_.shown.empty());
    QVERIFY(help->browser()->toPlainText().contains("Help in using Tarvex"));
    QVERIFY(help->contents()->topLevelItemCount() >= 1);
    QList<QTreeWidgetItem*> file_items =
        help->contents()->findItems("File", Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(file_items.size(), 1);
    // A heading of the contents shows its part of the page.
    QList<QTreeWidgetItem*> last =
        help->contents()->findItems("Where files go", Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(last.size(), 1);
    help->browser()->verticalScrollBar()->setValue(0);
    emit help->contents()->itemClicked(last[0], 0);
    QVERIFY(help->browser()->verticalScrollBar()->value() > 0);
    // Search lists every section that mentions the text and selects it.
    QVERIFY(help->search("zoom") >= 1);
    QCOMPARE(help->browser()->textCursor().selectedText().toLower(), QString("zoom"));
    QCOMPARE(help->search("no such words anywhere"), 0);
    // F1 again shows the same window.
    w().command(CM_HELP);
    QCOMPARE(w().help_window(), help);
  }

  void missingHelpPagesReportWinHelpFailed() {
    QTemporaryDir empty;
    WindowOptions o;
    o.data_root = dir_->path().toStdString();
    o.messages = &messages_;
    o.launcher = &launcher_;
    o.help_folder = empty.path().toStdString();
    TTarvexWindow other(o);
    other.command(CM_HELP);
    QCOMPARE(messages_.shown.size(), size_t(1));
    QCOMPARE(QString::fromStdString(messages_.shown[0].text), QString("WinHelp failed!"));
    QVERIFY(!other.help_window());
  }

  void aboutShowsVersionLicencesAndDataFolder() {
    QString text;
    ModalDriver driver;
    driver.then<QMessageBox>([&](QMessageBox* box) {
      text = box->text() + "\n" + box->informativeText();
      box->accept();
    });
    w().command(CM_ABOUT);
    QVERIFY(driver.finished());
    QVERIFY(text.contains(QString("Tarvex %1").arg(QString::fromUtf8(PROGRAM_VERSION))));
    QVERIFY(text.contains(QString("Qt %1").arg(qVersion())));
    QVERIFY(text.contains("LGPL-3.0"));
    QVERIFY(text.contains(dir_->path()));
  }

  void exportMenuWritesStandardFitsAndKeepsTheImageUnsaved() {
    QMenu* exports = submenu(w().menuBar(), "&File", "&Export");
    QVERIFY(exports);
    QCOMPARE(exports->actions().size(), 2);
    QCOMPARE(exports->actions()[0], w().action(CM_EXPORT_STANDARD_FITS));
    w().command(CM_NEGATIVE);  // a processing step changes the image
    const QString target = file("m42");
    QStringList filters;
    ModalDriver driver;
    driver.then<QFileDialog>([&](QFileDialog* f) {
      filters = f->nameFilters();
      f->selectNameFilter(filters.value(1));  // 32-bit floating point
      f->selectFile(target);
      static_cast<QDialog*>(f)->accept();
    });
    w().command(CM_EXPORT_STANDARD_FITS);
    QVERIFY(driver.finished());
    QCOMPARE(filters.size(), 2);
    QFile out(target + ".fits");
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray head = out.read(160);
    QVERIFY(head.startsWith("SIMPLE  =                    T"));
    QCOMPARE(head.mid(80, 30), QByteArray("BITPIX  =                  -32"));
    QCOMPARE(w().windowTitle(), QString("Tarvex - (Untitled)"));
    QVERIFY(image_changed(a()));
  }

  void recentFilesListOpensAndSavesAndForgetsMissingFiles() {
    QMenu* recent = w().recent_files_menu();
    QVERIFY(recent);
    QCOMPARE(submenu(w().menuBar(), "&File", "Rece&nt Files"), recent);
    emit recent->aboutToShow();
    QVERIFY(!recent->actions().value(0)->isEnabled());  // "(none)"
    const QString saved = file("~one");
    w().save_file(saved);
    QCOMPARE(w().windowTitle(), QString("Tarvex - ~one"));
    emit recent->aboutToShow();
    QAction* first = recent->actions().value(0);
    QVERIFY(first->text().contains("~one"));
    // Choosing it opens the file.
    w().command(CM_NEGATIVE);  // a processing step changes the image
    first->trigger();
    QVERIFY(!image_changed(a()));
    // Kept in its own file in the data folder.
    QVERIFY(QFile::exists(dir_->filePath("recent-files")));
    // A file that has gone is reported and dropped from the list.
    QFile::remove(saved);
    emit recent->aboutToShow();
    recent->actions().value(0)->trigger();
    QCOMPARE(messages_.codes().back(), 11u);
    emit recent->aboutToShow();
    QVERIFY(!recent->actions().value(0)->isEnabled());
  }

  void readOnlyValueBoxesAreAlikeInEveryDialog() {
    int boxes = 0;
    auto check = [&](QWidget* dialog) {
      for (QLineEdit* e : dialog->findChildren<QLineEdit*>()) {
        if (!e->isReadOnly()) continue;
        ++boxes;
        QCOMPARE(e->focusPolicy(), Qt::NoFocus);
        QVERIFY(e->property("valueBox").toBool());
        // A click gives no caret and typing changes nothing.
        const QString before = e->text();
        QTest::mouseClick(e, Qt::LeftButton);
        QVERIFY(!e->hasFocus());
        QTest::keyClicks(e, "12");
        QCOMPARE(e->text(), before);
      }
    };
    for (int id : {CM_NORMAL_STRETCH, CM_POWER_STRETCH, CM_NON_LINEAR_STRETCH, CM_UNSHARP,
                   CM_MEDIAN, CM_MAX_PALETTE_STRETCH}) {
      ModalDriver driver;
      driver.then<QDialog>([&](QDialog* d) {
        check(d);
        d->reject();
      });
      w().command(id);
      QVERIFY2(driver.finished(), qPrintable(QString::number(id)));
    }
    BalanceDialogModel balance;
    TBalanceDialog balance_dialog(balance, messages_, &w());
    balance_dialog.show();
    check(&balance_dialog);
    ChromaticDialogModel chromatic;
    TChromaticDialog chromatic_dialog(chromatic, messages_, &w());
    chromatic_dialog.show();
    check(&chromatic_dialog);
    tarvex::ui::TMergeDialog merge(a(), &w());
    merge.show();
    check(&merge);
    QVERIFY(boxes >= 10);
  }
};

QTEST_MAIN(EverydayTest)
#include "everyday_test.moc"
