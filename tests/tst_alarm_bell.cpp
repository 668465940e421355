// The audible alarm's rules on the fake clock: the delay before it sounds,
// the margin below the setpoint that ends it, acknowledge and snooze, and a
// probe pulled during a recording.

#include "main_window/alarm_bell.h"
#include "main_window/ui/alarm_sound.h"
#include "support/fake_clock.h"
#include "support/test_suite.h"

#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

namespace tst_alarm_bell {

using namespace quadtherm;
using main_window::AlarmBell;

namespace {

// T1 reading `value` against a setpoint of 100; the others quiet.
shared::PerChannel<AlarmBell::Channel> t1At(double value) {
    shared::PerChannel<AlarmBell::Channel> channels{};
    channels[0] = {value >= 100, value, 100};
    for (int k = 1; k < 4; ++k)
        channels[k] = {false, 20.0, 100};
    return channels;
}

struct Rig {
    test::FakeClock clock;
    AlarmBell bell{clock};
    // One cycle a second at `value`, for `seconds`.
    void cycles(double value, int seconds) {
        for (int i = 0; i < seconds; ++i) {
            bell.cycle(t1At(value));
            clock.advance(1000);
        }
    }
    void choose(int delay, double margin, int snooze, bool enabled = true) {
        bell.setChoice({enabled, delay, margin, snooze});
    }
};

} // namespace

class TestAlarmBell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // #20
    void itSoundsOnceTheAlarmHasHeldForTheDelay_data() {
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("quietCycles");
        QTest::newRow("no delay: the first cycle") << 0 << 0;
        QTest::newRow("5 s") << 5 << 5;
        QTest::newRow("60 s") << 60 << 60;
    }
    void itSoundsOnceTheAlarmHasHeldForTheDelay() {
        QFETCH(int, delay);
        QFETCH(int, quietCycles);
        Rig rig;
        rig.choose(delay, 0, 300);
        rig.cycles(150, quietCycles);
        QVERIFY(!rig.bell.ringing());
        rig.bell.cycle(t1At(150));
        QVERIFY(rig.bell.ringing());
        QCOMPARE(rig.bell.reason(), QStringLiteral("T1 at its setpoint"));
    }

    void aDipBelowTheSetpointStartsTheDelayAgain() {
        Rig rig;
        rig.choose(5, 0, 300);
        rig.cycles(150, 4);
        rig.cycles(90, 1);
        rig.cycles(150, 4);
        QVERIFY(!rig.bell.ringing());
        rig.cycles(150, 2);
        QVERIFY(rig.bell.ringing());
    }

    void itStopsOnlyWhenTheReadingIsBelowTheSetpointByTheMargin_data() {
        QTest::addColumn<double>("margin");
        QTest::addColumn<double>("reading");
        QTest::addColumn<bool>("stillRinging");
        QTest::newRow("no margin, just below") << 0.0 << 99.9 << false;
        QTest::newRow("2° margin, 1° below") << 2.0 << 99.0 << true;
        QTest::newRow("2° margin, exactly at it") << 2.0 << 98.0 << true;
        QTest::newRow("2° margin, past it") << 2.0 << 97.9 << false;
    }
    void itStopsOnlyWhenTheReadingIsBelowTheSetpointByTheMargin() {
        QFETCH(double, margin);
        QFETCH(double, reading);
        QFETCH(bool, stillRinging);
        Rig rig;
        rig.choose(0, margin, 300);
        rig.cycles(120, 1);
        QVERIFY(rig.bell.ringing());
        rig.cycles(reading, 3);
        QCOMPARE(rig.bell.ringing(), stillRinging);
    }

    void anAcknowledgeHushesItForTheSnooze() {
        Rig rig;
        rig.choose(0, 0, 60);
        QSignalSpy heard(&rig.bell, &AlarmBell::ringingChanged);
        rig.cycles(120, 1);
        rig.bell.acknowledge();
        QVERIFY(!rig.bell.ringing());
        rig.cycles(120, 59);
        QVERIFY(!rig.bell.ringing());
        rig.cycles(120, 2); // still in alarm after the snooze: again
        QVERIFY(rig.bell.ringing());
        QCOMPARE(heard.size(), 3);
        // Over before the snooze ends: it stays quiet.
        rig.bell.acknowledge();
        rig.cycles(50, 100);
        QVERIFY(!rig.bell.ringing());
    }

    // A channel that goes into alarm while another is snoozed is heard.
    void aNewAlarmDuringASnoozeSounds() {
        Rig rig;
        rig.choose(0, 0, 300);
        rig.cycles(120, 1);
        rig.bell.acknowledge();
        rig.cycles(120, 10);
        QVERIFY(!rig.bell.ringing());
        rig.bell.probeLost(3);
        QVERIFY(rig.bell.ringing());
        QCOMPARE(rig.bell.reason(), QStringLiteral("T1 at its setpoint, T4 lost its probe"));
    }

    void aProbePulledSoundsAtOnceUntilItIsBack() {
        Rig rig;
        rig.choose(30, 0, 300);
        rig.bell.probeLost(2);
        QVERIFY(rig.bell.ringing()); // no delay for a broken thermocouple
        QCOMPARE(rig.bell.reason(), QStringLiteral("T3 lost its probe"));
        rig.bell.probeBack(2);
        QVERIFY(!rig.bell.ringing());
    }

    // The tone is a plain PCM WAV of one second: two beeps and a pause.
    void theToneIsAWellFormedWave() {
        const QByteArray wav = main_window::alarmToneWav();
        QVERIFY(wav.startsWith("RIFF"));
        QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
        const auto le32 = [&](int at) { return qFromLittleEndian<quint32>(wav.constData() + at); };
        QCOMPARE(le32(4), quint32(wav.size() - 8));
        QCOMPARE(le32(24), quint32(22050)); // samples a second
        QCOMPARE(wav.mid(36, 4), QByteArray("data"));
        QCOMPARE(le32(40), quint32(wav.size() - 44));
        const qint64 samples = qint64(le32(40)) / 2; // a second of 16-bit samples
        QVERIFY2(qAbs(samples - 22050) <= 4, qPrintable(QString::number(samples)));
    }

    void offByDefaultItNeverSounds() {
        Rig rig;
        rig.cycles(500, 10);
        rig.bell.probeLost(0);
        QVERIFY(!rig.bell.ringing());
        // Turned on while a channel is in alarm: it sounds now.
        rig.choose(0, 0, 300);
        QVERIFY(rig.bell.ringing());
    }
};

QUADTHERM_TEST_SUITE(TestAlarmBell, Core)

} // namespace tst_alarm_bell

#include "tst_alarm_bell.moc"
