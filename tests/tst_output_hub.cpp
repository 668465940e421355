// What leaves the meter session for the console, MQTT and HTTP: every record
// once and in order with the file's values, the link and the recording's
// start and end, and a consumer that never reads costing only its own copies.

#include "session/meter_session.h"
#include "support/scripted_meter_rig.h"
#include "support/test_suite.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <map>

namespace tst_output_hub {

using namespace quadtherm;
using session::MeterSession;
using session::OutEvent;
using session::ReadingState;

namespace {

using test::fourFrames;
using Rig = test::ScriptedMeterRig;

struct Collector : session::OutputSink {
    QList<OutEvent> events;
    void receive(const OutEvent& event) override { events << event; }
    QList<OutEvent> of(OutEvent::Kind kind) const {
        QList<OutEvent> out;
        for (const OutEvent& e : events)
            if (e.kind == kind)
                out << e;
        return out;
    }
};

} // namespace

class TestOutputHub : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyRecordLeavesOnceInOrderWithTheFilesValues() {
        Rig rig;
        Collector out;
        QObject context;
        rig.session.outputs().attach(&out, &context);
        QVERIFY(rig.comeUp());
        QVERIFY(rig.session.startRecording(QStringLiteral("run.4ch")));
        // The readings move, so a record carrying the wrong second shows.
        for (int s = 1; s <= 12; ++s)
            rig.clock.at(rig.clock.elapsedMs() + s * 1000,
                         [&rig, s] { rig.port.stream(fourFrames(725 + 9 * s)); });
        rig.clock.run(15000);
        rig.session.stopRecording();
        rig.clock.run(100);

        const auto links = out.of(OutEvent::Kind::Link);
        QCOMPARE(links.size(), 2);
        QCOMPARE(links[0].linkUp, false);
        QCOMPARE(links[1].linkUp, true);
        QCOMPARE(out.of(OutEvent::Kind::RecordingStarted).size(), 1);
        QCOMPARE(out.of(OutEvent::Kind::RecordingStarted)[0].path, QStringLiteral("run.4ch"));

        QList<QByteArray> lines = rig.files[QStringLiteral("run.4ch")].split('\n');
        lines.removeFirst(); // the heading
        lines.removeAll(QByteArray());
        QList<OutEvent> records;
        for (const OutEvent& e : out.of(OutEvent::Kind::Cycle))
            if (e.sample.record > 0)
                records << e;
        QVERIFY(records.size() >= 14);
        QCOMPARE(records.size(), lines.size());
        for (qsizetype i = 0; i < records.size(); ++i) {
            const auto cells = lines[i].trimmed().split('\t');
            QCOMPARE(records[i].sample.record, i + 1);
            QCOMPARE(cells[0].toLongLong(), i + 1);
            QCOMPARE(
                records[i].sample.at.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")).toLatin1(),
                cells[1]);
            for (int k = 0; k < 4; ++k) {
                QCOMPARE(records[i].sample.channels[k].text.toLatin1(), cells[2 + k]);
                QCOMPARE(*records[i].sample.channels[k].value, cells[2 + k].toDouble());
            }
        }
        QCOMPARE(records[0].sample.channels[2].type, QStringLiteral("J"));

        const auto ended = out.of(OutEvent::Kind::RecordingEnded);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended[0].records, qint64(lines.size()));
        QCOMPARE(ended[0].why, QStringLiteral("stopped"));
        // The latest readings once a second besides the cycles.
        const auto live = out.of(OutEvent::Kind::Live);
        QVERIFY2(live.size() >= 13 && live.size() <= 17, qPrintable(QString::number(live.size())));
    }

    // #21: a consumer that never reads (a dead broker's publisher, a stuck
    // HTTP thread) loses its own copies, counted; the file and the other
    // consumers get everything.
    void aConsumerThatNeverReadsLosesOnlyItsOwnCopies() {
        Rig rig;
        Collector good, stuck;
        QObject goodContext;
        QThread neverStarted;
        QObject stuckContext;
        stuckContext.moveToThread(&neverStarted);
        const int stuckId = rig.session.outputs().attach(&stuck, &stuckContext, 5);
        const int goodId = rig.session.outputs().attach(&good, &goodContext, 5);
        QVERIFY(rig.comeUp());
        QVERIFY(rig.session.startRecording(QStringLiteral("run.4ch")));
        rig.clock.run(20000);
        rig.session.stopRecording();
        rig.clock.run(100);

        QVERIFY(stuck.events.isEmpty());
        const quint64 lost = rig.session.outputs().dropped(stuckId);
        QCOMPARE(qsizetype(lost) + 5, good.events.size());
        QCOMPARE(rig.session.outputs().dropped(goodId), quint64(0));
        const auto ended = good.of(OutEvent::Kind::RecordingEnded);
        QCOMPARE(ended.size(), 1);
        QVERIFY(ended[0].records >= 19);
        QCOMPARE(rig.files[QStringLiteral("run.4ch")].count('\n'), ended[0].records + 1);
        rig.session.outputs().detach(stuckId);
        rig.session.outputs().detach(goodId);
    }

    // The console printer of watch takes every frame; MQTT and the web
    // server, which publish a sample a second, are not sent them.
    void framesGoOnlyToAConsumerThatAsksForThem() {
        Rig rig;
        Collector everyDefault, frames;
        QObject context;
        auto& hub = rig.session.outputs();
        QVERIFY(!hub.wants(OutEvent::Kind::Frame));
        const int defaultId = hub.attach(&everyDefault, &context);
        QVERIFY(hub.wants(OutEvent::Kind::Live));
        QVERIFY(!hub.wants(OutEvent::Kind::Frame));
        const int framesId = hub.attach(&frames, &context, session::OutputHub::kDefaultCapacity,
                                        session::outKindBit(OutEvent::Kind::Frame));
        QVERIFY(hub.wants(OutEvent::Kind::Frame));
        QSignalSpy read(&rig.session, &MeterSession::frameRead);
        QVERIFY(rig.comeUp());
        for (int s = 1; s <= 3; ++s)
            rig.clock.at(rig.clock.elapsedMs() + s * 1000,
                         [&rig, s] { rig.port.stream(fourFrames(725 + 9 * s)); });
        rig.clock.run(4000);
        rig.clock.run(100);

        QVERIFY(everyDefault.of(OutEvent::Kind::Frame).isEmpty());
        QVERIFY(!everyDefault.of(OutEvent::Kind::Live).isEmpty());
        QCOMPARE(frames.of(OutEvent::Kind::Frame).size(), frames.events.size());
        QVERIFY(read.size() >= 8);
        QCOMPARE(frames.events.size(), read.size());
        for (qsizetype i = 0; i < read.size(); ++i) {
            const OutEvent& frame = frames.events[i];
            QCOMPARE(frame.frame.channel, read[i][0].toInt());
            QVERIFY(frame.sample.at.isValid());
            QVERIFY(frame.frame.present);
            QCOMPARE(frame.frame.type, QString(QLatin1Char("KKJT"[frame.frame.channel])));
            QVERIFY(!frame.frame.textC.isEmpty() && !frame.frame.textF.isEmpty());
        }
        hub.detach(framesId);
        QVERIFY(!hub.wants(OutEvent::Kind::Frame));
        hub.detach(defaultId);
    }

    // Detaching a mailbox nothing else held destroyed its mutex while it
    // was locked (a use after free under AddressSanitizer).
    void aConsumerDetachedAfterItsLastEventGoesCleanly() {
        QTest::failOnWarning("QMutex: destroying locked mutex");
        session::OutputHub hub;
        Collector out;
        QObject context;
        const int id = hub.attach(&out, &context);
        OutEvent event;
        event.kind = OutEvent::Kind::Link;
        hub.publish(event);
        QTRY_COMPARE(out.events.size(), 1);
        hub.detach(id);
        QVERIFY(!hub.wants(OutEvent::Kind::Link));
        hub.publish(event);
        QTest::qWait(10);
        QCOMPARE(out.events.size(), 1);
    }

    void aSampleNamesEachReadingsState_data() {
        QTest::addColumn<bool>("probe");
        QTest::addColumn<bool>("over");
        QTest::addColumn<bool>("under");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<double>("setpoint");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("alarm");
        QTest::newRow("reading °C") << true << false << false << false << 100.0 << "ok"
                                    << "23.4" << QVariant(23.4) << false;
        QTest::newRow("reading °F") << true << false << false << true << 100.0 << "ok"
                                    << "74.1" << QVariant(74.1) << false;
        QTest::newRow("at its setpoint") << true << false << false << false << 23.4 << "ok"
                                         << "23.4" << QVariant(23.4) << true;
        QTest::newRow("over") << true << true << false << false << 100.0 << "over"
                              << "Over" << QVariant() << false;
        QTest::newRow("under") << true << false << true << true << 100.0 << "under"
                               << "Under" << QVariant() << false;
        QTest::newRow("no probe") << false << false << false << false << 100.0 << "no_probe"
                                  << "- - -" << QVariant() << false;
    }
    void aSampleNamesEachReadingsState() {
        QFETCH(bool, probe);
        QFETCH(bool, over);
        QFETCH(bool, under);
        QFETCH(bool, fahrenheit);
        QFETCH(double, setpoint);
        shared::LiveState live;
        shared::AlarmState alarms;
        live.MeterFahrenheit = fahrenheit;
        live.TypeLetter[1] = QStringLiteral("K");
        live.ProbePresent[1] = probe;
        live.OverRange[1] = over;
        live.UnderRange[1] = under;
        live.LiveTextC[1] = QStringLiteral("23.4");
        live.LiveValueC[1] = 23.4;
        live.LiveTextF[1] = QStringLiteral("74.1");
        live.LiveValueF[1] = 74.1;
        alarms.AlarmSetpointC[1] = alarms.AlarmSetpointF[1] = setpoint;
        const QDateTime at(QDate(2026, 12, 7), QTime(10, 0, 0));
        const auto sample = session::sampleOf(session::ShowChannels(live, alarms), live, at, 7);
        const auto& reading = sample.channels[1];
        QCOMPARE(sample.fahrenheit, fahrenheit);
        QCOMPARE(sample.record, qint64(7));
        QFETCH(QString, state);
        QFETCH(QString, text);
        QFETCH(QVariant, value);
        QFETCH(bool, alarm);
        QCOMPARE(session::readingStateName(reading.state), state);
        QCOMPARE(reading.text, text);
        QCOMPARE(reading.value.has_value(), value.isValid());
        if (value.isValid())
            QCOMPARE(*reading.value, value.toDouble());
        QCOMPARE(reading.alarm, alarm);
        QCOMPARE(reading.type, QStringLiteral("K"));
    }
};

QUADTHERM_TEST_SUITE(TestOutputHub, Core)

} // namespace tst_output_hub

#include "tst_output_hub.moc"
