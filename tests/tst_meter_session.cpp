// A whole meter session on the fake clock: the live poll and the
// once-a-second cycle run as timers of the clock against a scripted meter,
// so a re-synchronisation, a unit change and a recording of hundreds of
// thousands of records take seconds of test time.

#include "session/meter_session.h"
#include "support/scripted_meter_rig.h"
#include "support/test_suite.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTest>

#include <map>

namespace tst_meter_session {

using namespace quadtherm;
using recording::RecordingEnd;
using session::MeterSession;

namespace {

using test::fourFrames;
using Rig = test::ScriptedMeterRig;

} // namespace

class TestMeterSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theSessionComesUpThenShowsACycleEverySecond() {
        Rig rig;
        QSignalSpy link(&rig.session, &MeterSession::linkShown);
        QSignalSpy setUps(&rig.session, &MeterSession::channelSetUp);
        QSignalSpy changes(&rig.session, &MeterSession::channelsChanged);
        QSignalSpy cycles(&rig.session, &MeterSession::cycleRun);
        QVERIFY(rig.comeUp(changes));
        QCOMPARE(link.size(), 2);
        QCOMPARE(link[0][0].toBool(), false);
        QCOMPARE(link[1][0].toBool(), true);
        QCOMPARE(setUps.size(), 4);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(rig.state.alarms.AlarmSetpointC[2], 1000.0); // J
        QCOMPARE(rig.state.alarms.AlarmSetpointF[3], 752.0);  // T

        cycles.clear();
        rig.clock.run(10000);
        QVERIFY2(cycles.size() >= 9 && cycles.size() <= 11,
                 qPrintable(QString::number(cycles.size())));
        const auto shown = cycles.last()[0].value<session::ShownCycle>();
        QCOMPARE(shown.c[0].text, QStringLiteral("22.5"));
        QCOMPARE(shown.f[3].text, QStringLiteral("72.5"));
        QCOMPARE(changes.size(), 1);
    }

    void aSilentMeterRebuildsTheLinkAndTheRecordingEndsWithIt() {
        Rig rig;
        QSignalSpy changes(&rig.session, &MeterSession::channelsChanged);
        QVERIFY(rig.comeUp(changes));
        QVERIFY(rig.session.startRecording(QStringLiteral("run.4ch")));
        rig.clock.run(3500);
        QSignalSpy ended(&rig.session, &MeterSession::recordingEnded);
        QSignalSpy link(&rig.session, &MeterSession::linkShown);
        rig.port.stream({});
        rig.clock.at(rig.clock.elapsedMs() + 8000, [&] { rig.port.stream(fourFrames()); });
        QVERIFY(rig.clock.runUntil([&] { return !ended.isEmpty(); }, 30000));
        QCOMPARE(ended[0][0].value<RecordingEnd>(), RecordingEnd::LinkRebuilt);
        QCOMPARE(link.size(), 2);
        QVERIFY(!rig.state.recording.RecordingActive);
        // Every line that was written is whole.
        const QByteArray& file = rig.files[QStringLiteral("run.4ch")];
        QVERIFY(file.endsWith("\r\n"));
        QVERIFY(file.count("\r\n") >= 1 + 3);
    }

    // Found by use: a one-shot command of quadtherm-cli whose status exchange
    // rebuilt the link (the adapter replugged) got the live poll of a session
    // it never started; its ticks read the meter's clock reply away and the
    // command waited out its whole timeout.
    void aLinkRebuiltOutsideARunningSessionStartsNoTimers() {
        Rig rig;
        QSignalSpy link(&rig.session, &MeterSession::linkShown);
        QVERIFY(rig.session.protocol().ResyncMeter());
        QCOMPARE(link.size(), 2);
        QVERIFY(!rig.session.Timer1.isActive());
        QVERIFY(!rig.session.Timer2.isActive());
        QCOMPARE(rig.state.alarms.AlarmSetpointC[2], 1000.0);
    }

    // 320,001 records across a continuation file, the link rebuilt while the
    // history fills, and a unit change at the end, in seconds of test time.
    void aLongRecordingAcrossAContinuationFile() {
        Rig rig;
        QSignalSpy changes(&rig.session, &MeterSession::channelsChanged);
        QVERIFY(rig.comeUp(changes));
        QVERIFY(rig.session.startRecording(QStringLiteral("/data/day.4ch")));
        QSignalSpy ended(&rig.session, &MeterSession::recordingEnded);
        qint64 written = 0;
        connect(&rig.session, &MeterSession::recordWritten,
                [&](qint64 number) { written = number; });

        // The meter keeps its reading: the live poll can rest while the
        // cycle records, one record a second.
        rig.session.Timer1.stop();
        while (written < 320001) {
            rig.clock.run(1000);
            QVERIFY(ended.isEmpty());
        }
        const QByteArray& first = rig.files[QStringLiteral("/data/day.4ch")];
        const QByteArray& second = rig.files[QStringLiteral("/data/day-1.4ch")];
        QCOMPARE(first.count("\r\n"), 320001);
        QVERIFY(
            first.sliced(first.lastIndexOf("\r\n", first.size() - 3) + 2).startsWith("320000\t"));
        QVERIFY(second.startsWith("\xb0"
                                  "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n320001\t"));
        QVERIFY(rig.state.recording.HistoryCount >= 320001);

        // The meter falls silent and comes back: the link is rebuilt, the
        // history starts again and the recording ends with it.
        rig.session.Timer1.start();
        rig.port.stream({});
        rig.clock.at(rig.clock.elapsedMs() + 6000, [&] { rig.port.stream(fourFrames()); });
        QVERIFY(rig.clock.runUntil([&] { return !ended.isEmpty(); }, 30000));
        QCOMPARE(ended[0][0].value<RecordingEnd>(), RecordingEnd::LinkRebuilt);
        QVERIFY(rig.state.recording.HistoryCount < 5);

        // The meter switches to °F: one change, and the °F texts from then on.
        QSignalSpy cycles(&rig.session, &MeterSession::cycleRun);
        const qsizetype before = changes.size();
        rig.port.stream(fourFrames(725, true));
        rig.clock.run(5000);
        QCOMPARE(changes.size(), before + 1);
        QVERIFY(rig.state.live.MeterFahrenheit);
        QVERIFY(!cycles.isEmpty());
    }
};

QUADTHERM_TEST_SUITE(TestMeterSession, Core)

} // namespace tst_meter_session

#include "tst_meter_session.moc"
