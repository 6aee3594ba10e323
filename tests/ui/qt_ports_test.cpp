// The Qt adapters of the ports: the event pump tells a key from the left and
// the right mouse button, and the main window runs over the ports the
// composition root hands it.
#include "ui/qt_ports.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "platform/basic_ports.h"
#include "sim/sim_camera.h"
#include "ui/main_window.h"

using namespace tarvex;
using namespace tarvex::ui;

class QtPortsTest : public QObject {
  Q_OBJECT

 private slots:
  void eventPumpTellsWhichInputArrived() {
    QtEventPump pump;
    QWidget target;
    mark_stop_source(&target);
    target.resize(100, 100);
    target.show();
    QVERIFY(QTest::qWaitForWindowExposed(&target));
    // A window that is no stop source (a box, a dialog) keeps its presses.
    QWidget other;
    other.resize(100, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    pump.pump();
    pump.clear();
    QTest::mouseClick(&other, Qt::LeftButton);
    QTest::keyClick(&other, Qt::Key_Space);
    pump.pump();
    QVERIFY(!pump.abort_requested());
    // A held key's repeats are not new presses.
    QTest::simulateEvent(&target, true, Qt::Key_Enter, Qt::NoModifier, QString(), true);
    pump.pump();
    QVERIFY(!pump.abort_requested());

    QTest::mouseClick(&target, Qt::MiddleButton);
    pump.pump();
    QVERIFY(!pump.abort_requested());

    QTest::mouseClick(&target, Qt::RightButton);
    pump.pump();
    QCOMPARE(pump.pending(), Inputs(Input::RightButton));
    // Not a left press: a loop that waits for one goes on.
    QVERIFY(!pump.take(Input::LeftButton));

    QTest::keyClick(&target, Qt::Key_Space);
    QTest::mouseClick(&target, Qt::LeftButton);
    pump.pump();
    QCOMPARE(pump.pending(), Inputs(Input::RightButton) | Input::Key | Input::LeftButton);
    QVERIFY(pump.take(Input::LeftButton));
    QCOMPARE(pump.pending(), Inputs(Input::RightButton) | Input::Key);
    pump.clear();
    QVERIFY(!pump.abort_requested());
    // Cleared inputs stay cleared through later passes.
    pump.pump();
    QVERIFY(!pump.abort_requested());
  }

  void windowRunsOverTheGivenPorts() {
    QTemporaryDir dir;
    RecordingMessages messages;
    VirtualClock clock;
    clock.set_wall_time(1709672829);
    NullPump pump;
    SimCamera camera(clock);
    WindowOptions o;
    o.data_root = dir.path().toStdString();
    o.messages = &messages;
    o.clock = &clock;
    o.pump = &pump;
    o.usb = &camera;
    TTarvexWindow window(o);
    Tarvex& app = window.app();
    QCOMPARE(&app.ports.clock, static_cast<Clock*>(&clock));
    QCOMPARE(&app.ports.pump, static_cast<EventPump*>(&pump));
    QCOMPARE(app.ports.clock.wall_time(), std::time_t{1709672829});
    QCOMPARE(app.camera.find(false), CameraSearch::Found);
    QCOMPARE(app.camera.records[0].product, std::string("Simulated camera image data"));
  }
};

QTEST_MAIN(QtPortsTest)
#include "qt_ports_test.moc"
