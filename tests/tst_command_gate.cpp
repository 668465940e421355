// The gate between the user's commands and the waits of the live tick and
// of the exchanges with the meter.

#include "meter_link/meter_protocol.h"
#include "session/command_gate.h"
#include "support/fake_clock.h"
#include "support/scripted_serial_port.h"
#include "support/test_suite.h"

#include <QTest>

namespace tst_command_gate {

using namespace quadtherm;
using session::CommandGate;

namespace {

struct Rig {
    test::FakeClock clock;
    test::ScriptedSerialPort port{clock};
    shared::RunState state;
    meter_link::MeterProtocol protocol{port, clock, state};
    CommandGate gate{protocol};
    QStringList ran;

    Rig() {
        clock.guardAgainstHangs([this] { protocol.stop(); });
    }

    std::function<void()> note(const QString& what) {
        return [this, what] { ran << what; };
    }
};

} // namespace

class TestCommandGate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void anExchangeRunsAtOnceWhenNothingWaits() {
        Rig rig;
        rig.gate.runExchange(rig.note("poweroff"));
        QCOMPARE(rig.ran, QStringList({"poweroff"}));
        QCOMPARE(rig.gate.queued(), 0);
    }

    void exchangesAskedForDuringATickRunAfterItInOrder() {
        Rig rig;
        QVERIFY(rig.gate.beginTick());
        QVERIFY(!rig.gate.beginTick()); // the timer fired again inside the wait
        rig.gate.runExchange(rig.note("poweroff"));
        rig.gate.runExchange(rig.note("key"));
        QVERIFY(rig.ran.isEmpty());
        // The tick is asked to give up its wait.
        QVERIFY(rig.protocol.interrupted());
        QCoreApplication::processEvents();
        QVERIFY(rig.ran.isEmpty());
        rig.gate.endTick();
        QVERIFY(!rig.protocol.interrupted());
        QTRY_COMPARE(rig.ran, QStringList({"poweroff", "key"}));
    }

    void noTickRunsDuringAnExchangeAndExchangesTakeTurns() {
        Rig rig;
        bool tickStarted = true;
        rig.gate.runExchange([&] {
            tickStarted = rig.gate.beginTick();
            rig.gate.runExchange(rig.note("second exchange"));
            rig.ran << "first exchange";
        });
        QVERIFY(!tickStarted);
        QVERIFY(!rig.protocol.interrupted()); // an exchange is not cut short
        QTRY_COMPARE(rig.ran, QStringList({"first exchange", "second exchange"}));
    }

    // One that comes while others still wait for their turn waits behind them.
    void anExchangeNeverOvertakesTheQueue() {
        Rig rig;
        QVERIFY(rig.gate.beginTick());
        rig.gate.runExchange(rig.note("first"));
        rig.gate.endTick();
        rig.gate.runExchange(rig.note("second"));
        QVERIFY(rig.ran.isEmpty());
        QTRY_COMPARE(rig.ran, QStringList({"first", "second"}));
    }
};

QUADTHERM_TEST_SUITE(TestCommandGate, Core)

} // namespace tst_command_gate

#include "tst_command_gate.moc"
