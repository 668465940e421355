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
    void commandsRunAtOnceWhenNothingWaits() {
        Rig rig;
        rig.gate.run(rig.note("open"));
        rig.gate.runExchange(rig.note("poweroff"));
        QCOMPARE(rig.ran, QStringList({"open", "poweroff"}));
        QCOMPARE(rig.gate.queued(), 0);
    }

    void commandsAskedForDuringATickRunAfterItInOrder() {
        Rig rig;
        QVERIFY(rig.gate.beginTick());
        QVERIFY(!rig.gate.beginTick()); // the timer fired again inside the wait
        rig.gate.run(rig.note("open"));
        rig.gate.runExchange(rig.note("poweroff"));
        rig.gate.run(rig.note("list"));
        QVERIFY(rig.ran.isEmpty());
        // The tick is asked to give up its wait.
        QVERIFY(rig.protocol.interrupted());
        QCoreApplication::processEvents();
        QVERIFY(rig.ran.isEmpty());
        rig.gate.endTick();
        QVERIFY(!rig.protocol.interrupted());
        QTRY_COMPARE(rig.ran, QStringList({"open", "poweroff", "list"}));
    }

    void aCommandStartsItsOwnExchangeButNoOtherCommand() {
        Rig rig;
        rig.gate.run([&] {
            rig.gate.runExchange(rig.note("exchange inside"));
            rig.gate.run(rig.note("second command"));
            QVERIFY(rig.gate.beginTick()); // a dialog of the command lets ticks run
            rig.gate.endTick();
            rig.ran << "first command";
        });
        QCOMPARE(rig.ran, QStringList({"exchange inside", "first command"}));
        QTRY_COMPARE(rig.ran.size(), 3);
        QCOMPARE(rig.ran.last(), QStringLiteral("second command"));
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

    void laterNeverRunsInsideTheCallerEvenWhenIdle() {
        Rig rig;
        rig.gate.later(rig.note("message"));
        QVERIFY(rig.ran.isEmpty());
        QVERIFY(!rig.protocol.interrupted());
        QTRY_COMPARE(rig.ran, QStringList({"message"}));
    }
};

QUADTHERM_TEST_SUITE(TestCommandGate, Core)

} // namespace tst_command_gate

#include "tst_command_gate.moc"
