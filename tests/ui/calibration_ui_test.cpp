// The calibration chooser, the "Delete Selected File" confirmation, the
// merge driven by clicks on the picture and the guide star pick mode, all
// through the real main window offscreen.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <functional>
#include <memory>

#include "app/commands.h"
#include "app/display_pipeline.h"
#include "app/file_commands.h"
#include "app/processing/merge_commands.h"
#include "platform/basic_ports.h"
#include "processing/calibration.h"
#include "ui/calibration_dialogs.h"
#include "ui/main_window.h"
#include "ui/picture_view.h"
#include "window_fixture.h"

using namespace tarvex;
using namespace tarvex::ui;
using MergeModel = ::tarvex::MergeDialogModel;
using MergeBox = ::tarvex::ui::TMergeDialog;

namespace {

// Runs `act` on the next modal dialog once it is open.
void when_modal(std::function<void(QWidget*)> act, int tries = 200) {
  QTimer::singleShot(0, [act, tries] {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr && tries > 0) return when_modal(act, tries - 1);
    act(w);
  });
}

// Chooses `path` in the next file dialog and notes the filter it started on.
void choose_file(const QString& path, QString* started_on = nullptr, QString* title = nullptr) {
  when_modal([=](QWidget* w) {
    auto* d = qobject_cast<QFileDialog*>(w);
    QVERIFY(d);
    if (started_on) *started_on = d->selectedNameFilter();
    if (title) *title = d->windowTitle();
    if (path.isEmpty()) {
      d->reject();
      return;
    }
    d->selectFile(path);
    static_cast<QDialog*>(d)->accept();
  });
}

}  // namespace

class CalibrationUiTest : public tarvex::ui::testing::WindowTest {
  Q_OBJECT

  QString file(const QString& name) const { return dir_->filePath(name); }

  // Writes the current image as a KR File.
  QString save_current(const QString& name) {
    const QString path = file(name);
    [&] { QVERIFY(save_image(w().app(), path.toStdString()).ok()); }();
    return path;
  }
  void click_picture(QPoint at) {
    QTest::mouseClick(w().picture()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }
  MergeBox* merge_box() { return w().findChild<MergeBox*>(); }

 private slots:
  void chooserModesRememberTheFilter() {
    for (int id : {CM_SUBTRACT_DARK, CM_FLAT_FIELD, CM_MERGE, CM_SELECT_DARK, CM_DELETE,
                   CM_PICK_GUIDE_STAR}) {
      QVERIFY2(w().action(id)->isEnabled(), qPrintable(QString::number(id)));
    }
    QFile fits(file("m42.fit"));
    QVERIFY(fits.open(QIODevice::WriteOnly));
    fits.write("SIMPLE");
    fits.close();

    // Select Dark Frame records the path; the chooser starts on the raw filter.
    QString started, title;
    choose_file(file("m42.fit"), &started, &title);
    w().command(CM_SELECT_DARK);
    QCOMPARE(title, QString("Select Dark Frame"));
    QVERIFY(started.startsWith("Velquor"));
    QCOMPARE(QString::fromStdString(w().app().dark_frame_path.string()), file("m42.fit"));

    // A .FIT file leaves the FITS filter remembered; Cancel changes nothing.
    choose_file(QString(), &started);
    w().command(CM_SELECT_DARK);
    QVERIFY(started.startsWith("FITS files"));
    QCOMPARE(QString::fromStdString(w().app().dark_frame_path.string()), file("m42.fit"));

    // Dark subtraction through the chooser: a uniform dark of 100.
    std::fill(fs().CurrentFrame.begin(), fs().CurrentFrame.end(), std::uint16_t(100));
    const QString dark = save_current("dark~1");
    std::fill(fs().CurrentFrame.begin(), fs().CurrentFrame.end(), std::uint16_t(5000));
    fs().CurrentFrame[1000] = 65500;
    choose_file(dark, &started);
    w().command(CM_SUBTRACT_DARK);
    QVERIFY(started.startsWith("FITS files"));
    QCOMPARE(int(fs().CurrentFrame[2000]), 4900);
    QCOMPARE(int(fs().CurrentFrame[1000]), 65500);
    QCOMPARE(QString::fromStdString(w().app().history.line(0)), QString(DARK_HISTORY));

    // A name with "~" brings the raw filter back; a uniform flat scales by 1.0802.
    choose_file(dark, &started);
    w().command(CM_FLAT_FIELD);
    QVERIFY(started.startsWith("Velquor"));
    QCOMPARE(int(fs().CurrentFrame[752 * 100 + 100]), int(4900 * 1.0802));
    QCOMPARE(QString::fromStdString(w().app().history.line(1)), QString(FLAT_HISTORY));

    // A plain name leaves "All Files" for next time.
    const QString plain = save_current("plain.raw");
    choose_file(plain);
    w().command(CM_SELECT_DARK);
    choose_file(QString(), &started);
    w().command(CM_SELECT_DARK);
    QVERIFY(started.startsWith("All Files"));
  }

  // A file saved with the default file type and a plain name is listed
  // under the raw filter of File > Open and Select Dark Frame, with the
  // convention's "~" names; other names are not.
  void openChoosersListTheNamesTheSaveWrites() {
    QVERIFY(QDir(dir_->path()).mkdir("images"));
    const QString folder = file("images");
    when_modal([folder](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      QVERIFY(d);
      QVERIFY(d->selectedNameFilter().startsWith("Velquor"));
      d->selectFile(folder + "/MyDark");
      static_cast<QDialog*>(d)->accept();
    });
    w().command(CM_SAVE);
    QVERIFY(QFileInfo(folder + "/MyDark").isFile());
    save_current("images/~old");
    for (const char* name : {"m42.fit", "notes.txt"}) {
      QFile f(folder + "/" + name);
      QVERIFY(f.open(QIODevice::WriteOnly));
    }
    struct Case {
      int command;
      const char* title;
    };
    for (const Case c : {Case{CM_OPEN, "Open Image"}, Case{CM_SELECT_DARK, "Select Dark Frame"}}) {
      QString title;
      QStringList raw, fits;
      when_modal([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        QVERIFY(d);
        title = d->windowTitle();
        d->setDirectory(folder);
        auto* list = d->findChild<QListView*>("listView");
        QVERIFY(list);
        auto listed = [list] {
          QStringList names;
          const QModelIndex root = list->rootIndex();
          for (int r = 0; r < list->model()->rowCount(root); ++r)
            names << list->model()->index(r, 0, root).data().toString();
          names.sort();
          return names;
        };
        // Whatever is listed, the dialog is closed: the checks follow.
        (void)QTest::qWaitFor([&] { return listed().size() == 2; }, 3000);
        raw = listed();
        d->selectNameFilter(d->nameFilters().value(1));
        (void)QTest::qWaitFor([&] { return listed().size() == 1; }, 3000);
        fits = listed();
        d->reject();
      });
      w().command(c.command);
      QCOMPARE(title, QString(c.title));
      QCOMPARE(raw, QStringList({"MyDark", "~old"}));
      QCOMPARE(fits, QStringList({"m42.fit"}));
    }
  }

  void deleteAsksInItsOwnBox() {
    const QString victim = save_current("old~1");
    QString caption, prompt, shown_path;
    auto answer_delete = [&](const char* button) {
      choose_file(victim);
      when_modal([&, button](QWidget* box) {
        QVERIFY(box);
        caption = box->windowTitle();
        prompt = box->findChild<QLabel*>()->text();
        shown_path = box->findChild<QLineEdit*>()->text();
        QVERIFY(box->findChild<QLineEdit*>()->isReadOnly());
        box->findChild<QPushButton*>(button)->click();
      });
      w().command(CM_DELETE);
    };
    answer_delete("Cancel");
    QCOMPARE(caption, QString("Delete Selected File"));
    QCOMPARE(prompt, QString("Delete the following File?"));
    QCOMPARE(shown_path, victim);
    QVERIFY(QFile::exists(victim));
    answer_delete("OK");
    QVERIFY(!QFile::exists(victim));
    // The window's own box asked, not a message.
    QVERIFY(messages_.shown.empty());
  }

  void mergeFollowsTheClicksToAMergedFrame() {
    // The merge image: rows carry their number; the base image: columns do.
    for (int i = 0; i < FRAME_HEIGHT; ++i)
      for (int j = 0; j < FRAME_WIDTH; ++j) fs().CurrentFrame[i * FRAME_WIDTH + j] = 2000 + i;
    const QString partner = save_current("partner~1");
    for (int i = 0; i < FRAME_HEIGHT; ++i)
      for (int j = 0; j < FRAME_WIDTH; ++j) fs().CurrentFrame[i * FRAME_WIDTH + j] = 1000 + j;
    QVERIFY(refresh_display(w().app()).ok());

    // Not while the picture is fitted to the window: message 30.
    w().command(CM_FIT_TO_WINDOW);
    w().command(CM_MERGE);
    QCOMPARE(messages_.codes(), std::vector<unsigned>{30});
    QVERIFY(!merge_box());
    w().command(CM_FIT_TO_WINDOW);

    w().command(CM_MERGE);
    MergeBox* box = merge_box();
    QVERIFY(box && box->isVisible() && !box->isModal());
    QCOMPARE(box->windowTitle(), QString("MERGE IMAGES"));
    QVERIFY(box->original_radio()->isChecked());
    QCOMPARE(box->original_radio()->text(), QString("Original  Image"));
    w().command(CM_MERGE);
    QCOMPARE(messages_.codes().back(), 31u);

    // Clicks give image positions: window position plus the scroll offset.
    w().resize(500, 400);
    QCoreApplication::processEvents();
    w().picture()->horizontalScrollBar()->setValue(10);
    w().picture()->verticalScrollBar()->setValue(4);
    QCOMPARE(w().picture()->horizontalScrollBar()->value(), 10);
    click_picture(QPoint(100, 120));
    QCOMPARE(box->field(MergeModel::ID_BASE_X)->text(), QString("110"));
    QCOMPARE(box->field(MergeModel::ID_BASE_Y)->text(), QString("124"));

    // Merge before the merge image is open does nothing.
    box->button(MergeModel::ID_MERGE)->click();
    QVERIFY(box->isVisible());
    QCOMPARE(int(fs().MergeMode), 1);

    // File > Open keeps the base image and opens the merge image.
    choose_file(partner);
    w().command(CM_OPEN);
    QVERIFY(box->merge_radio()->isChecked());
    QCOMPARE(int(fs().SecondFrame[752 * 300 + 300]), 1300);
    QCOMPARE(int(fs().CurrentFrame[752 * 300 + 300]), 2300);
    click_picture(QPoint(95, 118));
    QCOMPARE(box->field(MergeModel::ID_MERGE_X)->text(), QString("105"));
    QCOMPARE(box->field(MergeModel::ID_MERGE_Y)->text(), QString("122"));
    QCOMPARE(box->field(MergeModel::ID_BASE_X)->text(), QString("110"));

    box->average_box()->click();
    QVERIFY(w().app().merge.average);
    box->average_box()->click();
    QVERIFY(!box->average_box()->isChecked());
    box->button(MergeModel::ID_HELP)->click();
    QCOMPARE(messages_.shown.back().caption, std::string(MERGE_HELP_CAPTION));

    // Merge: dx = -5, dy = -2; the base pixel meets the merge image's partner.
    QPointer<MergeBox> guard(box);
    box->button(MergeModel::ID_MERGE)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!guard);
    QCOMPARE(int(fs().MergeMode), 0);
    QCOMPARE(int(fs().CurrentFrame[752 * 300 + 300]), (1000 + 300) + (2000 + 298));
    // Partners in row 0 or above the frame are not used; row 1 is.
    QCOMPARE(int(fs().CurrentFrame[752 * 1 + 751]), 1751);
    QCOMPARE(int(fs().CurrentFrame[752 * 2 + 751]), 1751);
    QCOMPARE(int(fs().CurrentFrame[752 * 3 + 751]), 1751 + 2001);

    // Cancel, and closing the box by its frame, end a merge and keep the images.
    for (bool by_frame : {false, true}) {
      w().command(CM_MERGE);
      MergeBox* again = merge_box();
      QVERIFY(again);
      QVERIFY(!again->average_box()->isChecked());
      if (by_frame)
        again->close();
      else
        again->button(MergeModel::ID_CANCEL)->click();
      QCOMPARE(int(fs().MergeMode), 0);
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      QVERIFY(!merge_box());
    }
    QCOMPARE(int(fs().CurrentFrame[752 * 300 + 300]), 3598);
  }

  void pickModeDrawsTheCrossOnTheStar() {
    // A Gaussian star at (300, 200) on a background of 1000.
    for (int i = 0; i < FRAME_HEIGHT; ++i)
      for (int j = 0; j < FRAME_WIDTH; ++j) {
        const double d2 = (i - 200) * (i - 200) + (j - 300) * (j - 300);
        fs().CurrentFrame[i * FRAME_WIDTH + j] =
            static_cast<std::uint16_t>(1000 + 30000 * std::exp(-d2 / 8.0));
      }
    QVERIFY(refresh_display(w().app()).ok());
    QAction* pick = w().action(CM_PICK_GUIDE_STAR);
    QCOMPARE(pick->text(), QString("Pic&k Guide Star"));
    QVERIFY(!pick->isChecked());
    w().command(CM_PICK_GUIDE_STAR);
    QVERIFY(pick->isChecked());

    auto red_at = [this](int x, int y) {
      const QImage shown = w().picture()->viewport()->grab().toImage();
      const QRgb c = shown.pixel(x, y);
      return qRed(c) == 255 && qGreen(c) == 0 && qBlue(c) == 0;
    };
    // Too near the edge: refused with the position, nothing drawn.
    click_picture(QPoint(10, 10));
    QVERIFY(QString::fromStdString(messages_.shown.back().text)
                .startsWith("Sorry, outside suitable area - try again"));
    QVERIFY(!w().app().star_pick.guide_star_picked);

    click_picture(QPoint(303, 197));
    QVERIFY(w().app().star_pick.guide_star_picked);
    QCOMPARE(w().app().star_pick.guide_star_x, 300);
    QCOMPARE(w().app().star_pick.guide_star_y, 200);
    QCOMPARE(messages_.shown.back().text, std::string("x position =   300\ny position =   200"));
    // Two 40-pixel lines centred on the star.
    QVERIFY(red_at(280, 200) && red_at(320, 200) && red_at(300, 180) && red_at(300, 220));
    QVERIFY(!red_at(321, 200) && !red_at(310, 190));

    // Unchecking the mode removes the cross and clicks no longer pick.
    w().command(CM_PICK_GUIDE_STAR);
    QVERIFY(!pick->isChecked());
    QVERIFY(!red_at(280, 200));
    const size_t shown = messages_.shown.size();
    click_picture(QPoint(303, 197));
    QCOMPARE(messages_.shown.size(), shown);
  }
};

QTEST_MAIN(CalibrationUiTest)
#include "calibration_ui_test.moc"
