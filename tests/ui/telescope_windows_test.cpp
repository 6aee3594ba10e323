// The telescope windows driven offscreen against the simulated mount on a
// pseudo-terminal, on a virtual clock: File > "Telescope Control" opens the
// window of the link type; arrows pressed and released with the mouse, the
// number boxes typed into, the radio buttons, and a mount that says nothing.
#include <QAbstractButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "app/commands.h"
#include "platform/serial_termios.h"
#include "platform/stepping_clock.h"
#include "sim/sim_mount.h"
#include "ui/main_window.h"
#include "ui/telescope_dialogs.h"
#include "window_fixture.h"

using namespace tarvex;
using namespace tarvex::ui;

using Texts = std::vector<std::string>;

class TelescopeWindowsTest : public tarvex::ui::testing::WindowTest {
  Q_OBJECT

 protected:
  void more_options(WindowOptions& o) override {
    // A fresh mount, port and clock for every window.
    serial_.reset();
    clock_.reset();
    mount_ = std::make_unique<SimMount>();
    QVERIFY(mount_->open());
    mount_->set_recording(true);
    clock_ = std::make_unique<SteppingClock>(base_);
    clock_->add_listener(*mount_);
    const std::string device = mount_->device_path();
    serial_ = std::make_unique<TermiosSerialPort>(*clock_, [device](int) { return device; });
    serial_->set_pump(&pump_);
    o.clock = clock_.get();
    o.pump = &pump_;
    o.serial = serial_.get();
  }

  // Chooses the link type in memory and in the file the link reloads.
  void use_link(LinkType type) {
    a().settings.telescope_type = type;
    QCOMPARE(save_settings(a().paths.settings_file(), a().settings, a().fits), FileSave::Ok);
    w().update_commands();
  }
  template <class D>
  D* window_of_kind() {
    return w().findChild<D*>();
  }
  TMoveTelescopeDialog* open_lx200() {
    use_link(LinkType::Lx200);
    w().command(CM_TELESCOPE_CONTROL);
    auto* d = window_of_kind<TMoveTelescopeDialog>();
    if (d != nullptr) mount_->clear_received();
    return d;
  }
  Texts texts() {
    clock_->now_ms();  // the mount takes what is on the line
    Texts t;
    for (const auto& r : mount_->received()) t.push_back(r.bytes);
    return t;
  }
  static void type_into(QLineEdit* e, const QString& text) {
    e->selectAll();
    QTest::keyClicks(e, text);
  }

  VirtualClock base_;
  QtEventPump pump_;
  std::unique_ptr<SimMount> mount_;
  std::unique_ptr<SteppingClock> clock_;
  std::unique_ptr<TermiosSerialPort> serial_;

 private slots:
  void telescopeControlOpensTheWindowOfTheLinkType() {
    TMoveTelescopeDialog* d = open_lx200();
    QVERIFY(d != nullptr);
    QVERIFY(d->isVisible());
    QVERIFY(!d->isModal());
    QCOMPARE(d->windowTitle(), QString("TARVEX Move Telescope"));
    QVERIFY(texts().empty());
    QVERIFY(w().action(CM_TELESCOPE_CONTROL)->isEnabled());  // the window leaves the menu free
    // "Finished" closes it; the command brings the same window back.
    d->button("Finished")->click();
    QVERIFY(!d->isVisible());
    w().command(CM_TELESCOPE_CONTROL);
    QVERIFY(d->isVisible());
    QCOMPARE(w().findChildren<TMoveTelescopeDialog*>().size(), 1);

    // The control box: reset, then "Move Telescope"; the LX200 window goes.
    use_link(LinkType::ControlBox);
    mount_->clear_received();
    w().command(CM_TELESCOPE_CONTROL);
    auto* box = window_of_kind<TBoxMoveDialog>();
    QVERIFY(box != nullptr && box->isVisible());
    QCOMPARE(box->windowTitle(), QString("Move Telescope"));
    QVERIFY(!d->isVisible());
    texts();
    QCOMPARE(mount_->received_text(), std::string("\x0d\0\0", 3));
    QCOMPARE(mount_->baud(), 300);
    QVERIFY(messages_.shown.empty());
  }

  void anArrowPressedAndReleasedSendsTheMoveAndOneStop() {
    TMoveTelescopeDialog* d = open_lx200();
    QVERIFY(d);
    QAbstractButton* north = d->button("north");
    QTest::mousePress(north, Qt::LeftButton);
    QCOMPARE(texts(), (Texts{"#:RS#", "#:Mn#"}));
    // A press on another arrow while the move runs sends nothing.
    QTest::mousePress(d->button("east"), Qt::LeftButton);
    QTest::mouseRelease(north, Qt::LeftButton);
    QCOMPARE(texts(), (Texts{"#:RS#", "#:Mn#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}));
    QTest::mouseRelease(d->button("east"), Qt::LeftButton);
    QCOMPARE(texts().size(), size_t(6));  // one set of stops

    // With "Swap e/w direction" the right arrow moves west.
    a().settings.drive_directions = DriveDirections{false, true};
    mount_->clear_received();
    QTest::mouseClick(d->button("east"), Qt::LeftButton);
    QCOMPARE(texts(), (Texts{"#:RS#", "#:Mw#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}));

    // A window closed while a move is held stops the mount.
    mount_->clear_received();
    QTest::mousePress(d->button("south"), Qt::LeftButton);
    d->button("Finished")->click();
    QCOMPARE(texts(), (Texts{"#:RS#", "#:Ms#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}));
    QVERIFY(!a().telescope.move_running);
    QVERIFY(messages_.shown.empty());
  }

  void rateAndFocusRadiosFollowTheCommandBuffers() {
    TMoveTelescopeDialog* d = open_lx200();
    QVERIFY(d);
    QVERIFY(d->button("Slew")->isChecked());
    QVERIFY(d->button("slow")->isChecked());
    d->button("Centre")->click();
    QCOMPARE(a().telescope.rate_command, std::string("#:RC#"));
    QVERIFY(d->button("Centre")->isChecked());
    QVERIFY(!d->button("Slew")->isChecked());
    d->button("fast")->click();
    QVERIFY(d->button("fast")->isChecked() && !d->button("slow")->isChecked());
    QTest::mouseClick(d->button("west"), Qt::LeftButton);
    QTest::mouseClick(d->button("focus in"), Qt::LeftButton);
    QTest::mouseClick(d->button("focus out"), Qt::LeftButton);
    QCOMPARE(texts(), (Texts{"#:RC#", "#:Mw#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#", "#:FF#", "#:F+#",
                             "#:FQ#", "#:FF#", "#:F-#", "#:FQ#"}));
    // Whatever changed the buffers, the next action shows them.
    a().telescope.rate_command = "#:RG#";
    a().telescope.focus_speed = "#:FS#";
    QTest::mouseClick(d->button("north"), Qt::LeftButton);
    QVERIFY(d->button("Guide")->isChecked());
    QVERIFY(!d->button("Centre")->isChecked());
    QVERIFY(d->button("slow")->isChecked());
  }

  void gotoByCatalogueShowsTheObjectAndTheRangesRefuse() {
    TMoveTelescopeDialog* d = open_lx200();
    QVERIFY(d);
    type_into(d->box("Messier Object"), "31");
    d->button("GoTo Object")->click();
    QCOMPARE(texts(), (Texts{"#:LM 0031#", "#:LI#", "#:MS#", "#:LI#"}));
    QCOMPARE(d->info()->toPlainText(), QString("M31     GX MAG  3.4 Andromeda"));
    QVERIFY(messages_.shown.empty());

    // Out of range: the box, nothing sent.
    mount_->clear_received();
    type_into(d->box("Messier Object"), "0");
    type_into(d->box("CNGC Object"), "7816");
    d->button("GoTo Object")->click();
    QVERIFY(texts().empty());
    QCOMPARE(messages_.shown.size(), size_t(1));
    QCOMPARE(messages_.shown[0].caption, std::string("Tarvex - Control Telescope"));
    QCOMPARE(messages_.shown[0].text, std::string("Object out of range - try again"));

    // "-0" degrees typed stays south.
    messages_.shown.clear();
    type_into(d->box("R.A. hrs"), "5");
    type_into(d->box("R.A. mins"), "35");
    type_into(d->box("Dec. Deg"), "-0");
    type_into(d->box("Dec. mins"), "30");
    d->button("Go To ")->click();
    QCOMPARE(mount_->received_text().substr(0, 23), std::string("#:Sr 05:35.0#:Sd -00*30"));
    QCOMPARE(d->info()->toPlainText(), QString("TARGET 05:35.0 -00*30"));
    mount_->clear_received();

    // A planet button, and Help.
    d->button("Jupiter")->click();
    QCOMPARE(texts().front(), std::string("#:LS 0905#"));
    d->button("Help")->click();
    QCOMPARE(messages_.shown.back().caption, std::string("Briscan - Control Telescope"));
    QVERIFY(QString::fromStdString(messages_.shown.back().text).startsWith("Enter a Messier"));
  }

  void aSilentMountGivesOneMessageAndTheWindowStaysUsable() {
    TMoveTelescopeDialog* d = open_lx200();
    QVERIFY(d);
    mount_->set_behaviour(MountBehaviour::Silent);
    // Events are handled while the go-to waits: a timer fires meanwhile,
    // and a second go-to asked for then does not start, nor does Help open
    // its box inside the wait.
    type_into(d->box("Messier Object"), "57");
    bool fired_while_running = false;
    QTimer::singleShot(0, d, [&] {
      fired_while_running = d->model().running();
      d->button("Mars")->click();
      QTest::mouseClick(d->button("Help"), Qt::LeftButton);
    });
    d->button("GoTo Object")->click();
    QVERIFY(fired_while_running);
    QCOMPARE(messages_.codes(), std::vector<unsigned>{54});
    QCOMPARE(texts(), (Texts{"#:LM 0057#", "#:LI#", "#:MS#"}));
    QVERIFY(!a().busy);
    QVERIFY(w().action(CM_OPEN)->isEnabled());

    // The window goes on working: arrows silently, a go-to once the mount talks.
    messages_.shown.clear();
    mount_->clear_received();
    QTest::mouseClick(d->button("north"), Qt::LeftButton);
    QCOMPARE(texts().size(), size_t(6));
    QVERIFY(messages_.shown.empty());
    mount_->set_behaviour(MountBehaviour::Normal);
    d->button("GoTo Object")->click();
    QVERIFY(messages_.shown.empty());
    QVERIFY(d->info()->toPlainText().startsWith("M57"));
  }

  // Closing the main window while an arrow is held sends the move's stops
  // (and the focuser's) before the program goes; the control box is
  // released.
  void closingTheProgramDuringAMoveStopsIt() {
    TMoveTelescopeDialog* d = open_lx200();
    QVERIFY(d);
    QTest::mousePress(d->button("north"), Qt::LeftButton);
    QVERIFY(a().telescope.move_running);
    QVERIFY(w().close());
    QCOMPARE(texts(), (Texts{"#:RS#", "#:Mn#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}));
    QVERIFY(!a().telescope.move_running);

    w().show();
    w().command(CM_TELESCOPE_CONTROL);
    mount_->clear_received();
    QTest::mousePress(d->button("focus in"), Qt::LeftButton);
    QVERIFY(w().close());
    QCOMPARE(texts(), (Texts{"#:FS#", "#:F+#", "#:FQ#"}));

    use_link(LinkType::ControlBox);
    w().show();
    w().command(CM_TELESCOPE_CONTROL);
    auto* box = window_of_kind<TBoxMoveDialog>();
    QVERIFY(box != nullptr);
    mount_->clear_received();
    QTest::mousePress(box->button("Up"), Qt::LeftButton);
    QVERIFY(w().close());
    QCOMPARE(texts(), (Texts{"\x02", "\x12", std::string(1, '\0')}));
  }

  void controlBoxArrowsPressAndRelease() {
    use_link(LinkType::ControlBox);
    w().command(CM_TELESCOPE_CONTROL);
    auto* box = window_of_kind<TBoxMoveDialog>();
    QVERIFY(box != nullptr);
    const struct {
      const char* arrow;
      char bits;
    } cases[] = {{"Up", 2}, {"Down", 4}, {"Left", 8}, {"Right", 1}};
    for (const auto& c : cases) {
      mount_->clear_received();
      QTest::mousePress(box->button(c.arrow), Qt::LeftButton);
      QTest::mousePress(box->button("Right"), Qt::LeftButton);  // ignored while moving
      QTest::mouseRelease(box->button(c.arrow), Qt::LeftButton);
      QCOMPARE(texts(), (Texts{std::string(1, c.bits), std::string(1, char(c.bits + 16)),
                               std::string(1, '\0')}));
      QTest::mouseRelease(box->button("Right"), Qt::LeftButton);
    }
    // While a guide pulse of the program runs, Help waits like the arrows.
    a().busy = true;
    QTest::mouseClick(box->button("Help"), Qt::LeftButton);
    QVERIFY(messages_.shown.empty());
    a().busy = false;
    box->button("Help")->click();
    QCOMPARE(messages_.shown.size(), size_t(1));
    QVERIFY(QString::fromStdString(messages_.shown[0].text).contains("Press and hold"));
  }
};

QTEST_MAIN(TelescopeWindowsTest)
#include "telescope_windows_test.moc"
