// The main window driven offscreen: start-up, enabling, Show Values, the
// history, the Set Program Defaults and Stretch Palette dialogs.
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/commands.h"
#include "app/file_commands.h"
#include "app/program_defaults.h"
#include "app/view_commands.h"
#include "platform/basic_ports.h"
#include "ui/dialogs.h"
#include "ui/picture_view.h"
#include "ui/program_defaults_dialog.h"
#include "window_fixture.h"

using namespace tarvex;
using namespace tarvex::ui;

class MainWindowTest : public tarvex::ui::testing::WindowTest {
  Q_OBJECT

 private slots:
  void startUpShowsTheRampUntitled() {
    QCOMPARE(w().windowTitle(), QString("Tarvex - (Untitled)"));
    const QImage& img = w().picture()->image();
    QCOMPARE(img.size(), QSize(752, 580));
    QCOMPARE(qGray(img.pixel(0, 0)), 0);
    QCOMPARE(qGray(img.pixel(400, 300)), (300 * 112) >> 8);
    QCOMPARE(qGray(img.pixel(751, 579)), (579 * 112) >> 8);
    // The settings file was created on this first start.
    QVERIFY(QFile::exists(QString::fromStdString(w().app().paths.settings_file().string())));
    // The first paint computed the histogram: the ramp's rows 5..574 spread evenly.
    w().picture()->viewport()->repaint();
    QVERIFY(w().app().store().ImageHistogram[100] > 0);
  }

  void menusFollowTheCommandTable() {
    QAction* open = w().action(CM_OPEN);
    QVERIFY(open);
    QCOMPARE(open->text(), QString("&Open..."));
    QCOMPARE(open->shortcut(), QKeySequence("Ctrl+O"));
    QCOMPARE(open->statusTip(), QString("Get an image from Disk"));
    QVERIFY(open->isEnabled());
    QCOMPARE(w().action(CM_EXIT)->shortcuts().size(), 2);
    QVERIFY(w().action(CM_FOCUS_CENTRE)->isEnabled());
    QVERIFY(w().action(CM_CAMERA)->isEnabled());
    QVERIFY(w().action(CM_NORMAL_STRETCH)->isEnabled());
    QVERIFY(w().action(CM_SYNTHESIZE_COLOUR)->isEnabled());
    QCOMPARE(w().action(CM_SYNTHESIZE_COLOUR)->text(), QString("&Synthesize Colour Image"));
    // The clipboard command is enabled once a picture is shown.
    QVERIFY(w().action(CM_COPY_CLIPBOARD)->isEnabled());
  }

  void telescopeCommandsFollowTheTelescopeType() {
    ProgramDefaultsModel model(w().app().settings, w().app().fits, w().app().paths.settings_file(),
                               messages_);
    TINIDialog dialog(model);
    w().update_commands();
    for (int id : {CM_START_GUIDING, CM_TRAIN_GUIDING, CM_TELESCOPE_CONTROL}) {
      QVERIFY(!w().action(id)->isEnabled());
    }
    dialog.button("Meade LX200 (Tm)")->click();
    QCOMPARE(w().app().settings.telescope_type, LinkType::Lx200);
    w().update_commands();
    // The menus offer them now; the guiding operations arrive with the autoguider.
    QVERIFY(w().action(CM_TELESCOPE_CONTROL)->isEnabled());
    const CommandInfo* info = find_command(CM_START_GUIDING);
    CommandState s{true, w().app().settings.telescope_type, true, false};
    QVERIFY(command_enabled(*info, s));
  }

  void showValuesIsRefusedInFitToWindow() {
    w().command(CM_FIT_TO_WINDOW);
    QVERIFY(w().action(CM_FIT_TO_WINDOW)->isChecked());
    QCOMPARE(w().picture()->horizontalScrollBar()->maximum(), 0);
    w().command(CM_SHOW_VALUES);
    QCOMPARE(messages_.shown.size(), size_t(1));
    QCOMPARE(messages_.shown[0].code, 1u);
    QVERIFY(!w().values_box());
    // Out of Fit to window the box opens once and reads the pixel under the pointer.
    w().command(CM_FIT_TO_WINDOW);
    w().command(CM_SHOW_VALUES);
    QVERIFY(w().values_box() && w().values_box()->isVisible());
    QTest::mouseMove(w().picture()->viewport(), QPoint(20, 30));
    QVERIFY(w().values_box()->readout_text().contains(QString("Lum %1").arg(30 * 112, 6)));
    // "Red" shows the red plane alone; "Finished" returns to the normal view.
    w().values_box()->findChild<QAbstractButton*>("Red")->click();
    QCOMPARE(w().app().display.colour_view, ColourView::Red);
    w().values_box()->findChild<QAbstractButton*>("Finished")->click();
    QCOMPARE(w().app().display.colour_view, ColourView::Normal);
  }

  void scrollingUsesOnePixelStepsAndTheDocumentedRange() {
    w().resize(500, 400);
    QCoreApplication::processEvents();
    auto* h = w().picture()->horizontalScrollBar();
    const int client = w().picture()->viewport()->width();
    QCOMPARE(h->maximum(), 752 - client);
    QCOMPARE(h->singleStep(), 1);
  }

  void historyDropsTheSixteenthLineAndUndoRemovesTheNewest() {
    ProcessingHistory& h = w().app().history;
    for (int i = 1; i <= 16; ++i) h.add_history(("Step " + std::to_string(i)).c_str());
    QCOMPARE(h.count(), 15);
    QCOMPARE(QString::fromStdString(h.line(14)), QString("Step 15"));
    w().command(CM_UNDO);
    QCOMPARE(h.count(), 14);
    QCOMPARE(QString::fromStdString(h.line(13)), QString("Step 14"));
    w().command(CM_PROCESSING_HISTORY);
    QCOMPARE(messages_.shown.back().caption, std::string("Tarvex - PROCESSING HISTORY"));
    QCOMPARE(messages_.shown.back().text, h.box_text());
  }

  void programDefaultsControlsWriteTheirFields() {
    Settings& s = w().app().settings;
    ProgramDefaultsModel model(s, w().app().fits, w().app().paths.settings_file(), messages_);
    TINIDialog d(model);
    d.button("Pixel Offset")->click();
    QVERIFY(s.pixel_offset);
    d.button("Line Offset")->click();
    QVERIFY(!s.line_offset);
    d.button("13 Pixels")->click();
    QCOMPARE(int(s.guide_mask_radius), 13);
    QVERIFY(d.button("13 Pixels")->isChecked());
    QVERIFY(!d.button("8 Pixels")->isChecked());
    d.button("Red")->click();
    QCOMPARE(s.background_colour, BackgroundColour::Red);
    d.button("Via Control Box")->click();
    QCOMPARE(s.telescope_type, LinkType::ControlBox);
    d.button("Shared Com Port")->click();
    QVERIFY(!s.dedicated_com_port);
    d.button("Com Port 3")->click();
    QVERIFY(s.dedicated_com_port);
    QCOMPARE(int(s.com_port), 3);
    d.button("4 Sec")->click();
    QCOMPARE(int(s.guide_training_time), 4);
    d.field("RA pixels per sec")->setText("9");
    d.field("Hysteresis in Dec (0-20)")->setText("35");
    d.button("Set Slew Values")->click();
    QCOMPARE(int(s.ra_pixels_per_sec), 9);
    QCOMPARE(int(s.dec_hysteresis), 20);
    d.button("Swap n/s direction")->click();
    QVERIFY(s.drive_directions.north_south_swapped);
    QVERIFY(d.button("Swap n/s direction")->isChecked());
    d.button("direction changes")->click();
    QVERIFY(!s.direction_change_delay);
    d.button("Unsigned Integer Format")->click();
    QVERIFY(w().app().fits.fits_unsigned);
    d.field("Sub-dir Name")->setText("m42");
    d.button("Set Sub-Dir")->click();
    QCOMPARE(s.autosave_subdir, std::string("m42"));
    d.button("Binned Format File Import Default ")->click();
    QVERIFY(s.binned_import_default);
    // Cancel keeps the changes in memory but writes nothing; Save Changes writes the file.
    const auto file = QString::fromStdString(w().app().paths.settings_file().string());
    const QDateTime before = QFileInfo(file).lastModified();
    d.button("Cancel")->click();
    QCOMPARE(QFileInfo(file).lastModified(), before);
    QVERIFY(s.pixel_offset);
    TINIDialog again(model);
    again.button("Save Changes")->click();
    Settings reread;
    FitsText fits;
    QVERIFY(load_settings(w().app().paths.settings_file(), reread, fits, messages_) ==
            SettingsLoad::Read);
    QCOMPARE(int(reread.com_port), 3);
    QCOMPARE(reread.background_colour, BackgroundColour::Red);
  }

  void stretchPaletteDialogSteps() {
    StretchPaletteModel model(w().app().display);
    TPaletteDialog d(model);
    QCOMPARE(d.value_field()->text(), QString("14"));
    d.scroll_bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(w().app().display.palette_bits, 15);
    d.scroll_bar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(w().app().display.palette_bits, 12);
    QCOMPARE(d.value_field()->text(), QString("12"));
    d.all_images_box()->click();
    QVERIFY(w().app().display.max_stretch_all);
  }

  void printStartsThePrintProgram() {
    w().command(CM_PRINT);
    QCOMPARE(launcher_.launched.size(), size_t(1));
    QCOMPARE(launcher_.launched[0].second.at(0), std::string("PRINT"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
