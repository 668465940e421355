// What the web server says about the meter: the Prometheus exposition, the
// live and last-hour JSON, and the server's own copy of the session's output
// they are made from.

#include "http/live_json.h"
#include "http/live_mirror.h"
#include "http/metrics_text.h"
#include "recording/local_time_offsets.h"
#include "support/test_suite.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

namespace tst_http_texts {

using namespace quadtherm;
using http::LiveView;
using session::OutEvent;
using session::ReadingState;

namespace {

const QDateTime kAt(QDate(2026, 12, 7), QTime(10, 0, 0), Qt::OffsetFromUTC, 3600);

// Four channels reading 20.0, 21.0 ... in °C, type K, T2 replaced by `second`.
session::OutSample sampleWith(const session::OutReading& second, bool fahrenheit = false,
                              const QDateTime& at = kAt) {
    session::OutSample sample;
    sample.at = at;
    sample.fahrenheit = fahrenheit;
    for (int k = 0; k < 4; ++k) {
        auto& reading = sample.channels[k];
        reading.state = ReadingState::Ok;
        reading.value = 20.0 + k;
        reading.text = QString::number(20 + k) + QStringLiteral(".0");
        reading.type = QStringLiteral("K");
    }
    sample.channels[1] = second;
    return sample;
}

session::OutReading reading(ReadingState state, std::optional<double> value, const QString& text,
                            const QString& type = QStringLiteral("K"), bool alarm = false) {
    return {state, value, text, type, alarm};
}

LiveView viewOf(const session::OutSample& sample, bool linkUp = true) {
    LiveView view;
    view.port = QStringLiteral("SIM");
    view.linkUp = linkUp;
    view.latest = sample;
    return view;
}

QJsonObject parsed(const QByteArray& json) {
    QJsonParseError error{};
    const auto document = QJsonDocument::fromJson(json, &error);
    return error.error == QJsonParseError::NoError ? document.object() : QJsonObject();
}

OutEvent live(const session::OutSample& sample) {
    OutEvent event;
    event.kind = OutEvent::Kind::Live;
    event.sample = sample;
    return event;
}

} // namespace

class TestHttpTexts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachReadingStateHasItsSeries_data() {
        QTest::addColumn<int>("state"); // ReadingState
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<bool>("alarm");
        QTest::addColumn<QByteArray>("temperature"); // T2's line, empty when it has none
        QTest::addColumn<QByteArray>("stateName");
        QTest::newRow("ok, °C") << int(ReadingState::Ok) << QVariant(23.4) << "23.4" << false
                                << false
                                << QByteArray("quadtherm_temperature{port=\"SIM\",channel=\"T2\","
                                              "type=\"K\",unit=\"celsius\"} 23.4")
                                << QByteArray("ok");
        QTest::newRow("ok, °F below zero")
            << int(ReadingState::Ok) << QVariant(-12.5) << "-12.5" << true << false
            << QByteArray("quadtherm_temperature{port=\"SIM\",channel=\"T2\",type=\"K\","
                          "unit=\"fahrenheit\"} -12.5")
            << QByteArray("ok");
        QTest::newRow("at its setpoint")
            << int(ReadingState::Ok) << QVariant(1370.0) << "1370.0" << false << true
            << QByteArray("quadtherm_temperature{port=\"SIM\",channel=\"T2\",type=\"K\",unit="
                          "\"celsius\"} 1370")
            << QByteArray("ok");
        QTest::newRow("over") << int(ReadingState::Over) << QVariant() << "Over" << false << false
                              << QByteArray() << QByteArray("over");
        QTest::newRow("under") << int(ReadingState::Under) << QVariant() << "Under" << true << false
                               << QByteArray() << QByteArray("under");
        QTest::newRow("no probe") << int(ReadingState::NoProbe) << QVariant() << "- - -" << false
                                  << false << QByteArray() << QByteArray("no_probe");
    }
    void eachReadingStateHasItsSeries() {
        QFETCH(int, state);
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QFETCH(bool, fahrenheit);
        QFETCH(bool, alarm);
        QFETCH(QByteArray, temperature);
        QFETCH(QByteArray, stateName);
        const auto second = reading(
            ReadingState(state), value.isValid() ? std::optional(value.toDouble()) : std::nullopt,
            text, QStringLiteral("K"), alarm);
        const QByteArray metrics =
            http::metricsText(viewOf(sampleWith(second, fahrenheit)), http::ServerFigures{});
        const QList<QByteArray> lines = metrics.split('\n');

        QList<QByteArray> t2;
        for (const QByteArray& line : lines)
            if (line.startsWith("quadtherm_temperature{") && line.contains("channel=\"T2\""))
                t2 << line;
        QCOMPARE(t2, temperature.isEmpty() ? QList<QByteArray>() : QList{temperature});
        // The other channels are unaffected.
        QVERIFY(
            lines.contains("quadtherm_temperature{port=\"SIM\",channel=\"T1\",type=\"K\",unit=\"" +
                           QByteArray(fahrenheit ? "fahrenheit" : "celsius") + "\"} 20"));
        // A set of four: 1 for the state it reads, 0 for the others.
        for (const char* each : {"ok", "over", "under", "no_probe"})
            QVERIFY2(
                lines.contains(QByteArray("quadtherm_reading_state{port=\"SIM\",channel=\"T2\","
                                          "state=\"") +
                               each + "\"} " + (stateName == each ? "1" : "0")),
                each);
        QVERIFY(lines.contains(QByteArray("quadtherm_alarm{port=\"SIM\",channel=\"T2\"} ") +
                               (alarm ? "1" : "0")));
        QVERIFY(lines.contains("quadtherm_link_up{port=\"SIM\"} 1"));
    }

    void aLinkThatIsDownShowsNoOldReadings() {
        const QByteArray metrics =
            http::metricsText(viewOf(sampleWith(reading(ReadingState::Ok, 1.5, "1.5")), false), {});
        QVERIFY(metrics.contains("\nquadtherm_link_up{port=\"SIM\"} 0\n"));
        QVERIFY(!metrics.contains("quadtherm_temperature{"));
        QVERIFY(!metrics.contains("quadtherm_reading_state{"));
        QVERIFY(!metrics.contains("quadtherm_alarm{"));
        // Before any sample, too.
        LiveView fresh;
        fresh.port = QStringLiteral("SIM");
        QVERIFY(!http::metricsText(fresh, {}).contains("quadtherm_temperature{"));
    }

    void everyFamilyHasItsHelpAndTypeAndEverySeriesItsPort() {
        http::ServerFigures figures;
        figures.dropped = 7;
        figures.connections = 3;
        figures.refused[size_t(http::Refusal::Unauthorized)] = 2;
        LiveView view = viewOf(sampleWith(reading(ReadingState::Over, {}, "Over")));
        view.recording = true;
        view.records = 4321;
        const QByteArray metrics = http::metricsText(view, figures);
        QByteArray family;
        for (const QByteArray& line : metrics.split('\n')) {
            if (line.isEmpty())
                continue;
            if (line.startsWith("# HELP ")) {
                family = line.split(' ')[2];
                continue;
            }
            if (line.startsWith("# TYPE ")) {
                QCOMPARE(line.split(' ')[2], family);
                continue;
            }
            QVERIFY2(line.startsWith(family + "{port=\"SIM\""), line.constData());
        }
        for (const char* line :
             {"quadtherm_recording{port=\"SIM\"} 1", "quadtherm_records_written{port=\"SIM\"} 4321",
              "quadtherm_output_dropped_total{port=\"SIM\"} 7",
              "quadtherm_http_connections{port=\"SIM\"} 3",
              "quadtherm_http_refused_total{port=\"SIM\",reason=\"unauthorized\"} 2",
              "quadtherm_http_refused_total{port=\"SIM\",reason=\"timeout\"} 0",
              "quadtherm_http_refused_total{port=\"SIM\",reason=\"foreign_host\"} 0",
              "# TYPE quadtherm_output_dropped_total counter", "# TYPE quadtherm_temperature gauge",
              "quadtherm_sample_timestamp_seconds{port=\"SIM\"} 1796634000"})
            QVERIFY2(metrics.split('\n').contains(line), line);
    }

    void aPortNameCannotBreakOutOfItsLabel() {
        QCOMPARE(http::labelValue(QStringLiteral("/dev/tty\"x\\y\nz")),
                 QByteArray("/dev/tty\\\"x\\\\y\\nz"));
        LiveView view = viewOf(sampleWith(reading(ReadingState::Ok, 1.0, "1.0")));
        view.port = QStringLiteral("/dev/ttyUSB0 \"lab\"");
        QVERIFY(http::metricsText(view, {}).contains(
            "quadtherm_link_up{port=\"/dev/ttyUSB0 \\\"lab\\\"\"} 1"));
    }

    // The real linter, on every state at once, a type without a letter and a
    // port that needs escaping.
    void promtoolAcceptsTheExposition() {
        auto sample = sampleWith(reading(ReadingState::NoProbe, {}, "- - -", QString()));
        sample.channels[2] = reading(ReadingState::Over, {}, "Over", QStringLiteral("J"), true);
        sample.channels[3] = reading(ReadingState::Under, {}, "Under", QStringLiteral("T"));
        LiveView view = viewOf(sample);
        view.port = QStringLiteral("C:\\meter \"1\"");
        QProcess promtool;
        promtool.start(QStringLiteral("promtool"),
                       {QStringLiteral("check"), QStringLiteral("metrics")});
        QVERIFY2(promtool.waitForStarted(), "promtool is missing: run scripts/setup");
        promtool.write(http::metricsText(view, {}));
        promtool.closeWriteChannel();
        QVERIFY(promtool.waitForFinished(20000));
        QVERIFY2(promtool.exitCode() == 0, promtool.readAllStandardOutput().constData());
        QCOMPARE(promtool.readAll(), QByteArray());
    }

    void liveJsonCarriesEachChannel_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<bool>("alarm");
        QTest::addColumn<QString>("stateName");
        QTest::addColumn<QString>("unit");
        QTest::newRow("ok, °C") << int(ReadingState::Ok) << QVariant(23.4) << "23.4" << false
                                << false << "ok"
                                << "celsius";
        QTest::newRow("ok, °F, alarm")
            << int(ReadingState::Ok) << QVariant(-0.5) << "-.5" << true << true << "ok"
            << "fahrenheit";
        QTest::newRow("over") << int(ReadingState::Over) << QVariant() << "Over" << false << false
                              << "over"
                              << "celsius";
        QTest::newRow("under, °F")
            << int(ReadingState::Under) << QVariant() << "Under" << true << false << "under"
            << "fahrenheit";
        QTest::newRow("no probe") << int(ReadingState::NoProbe) << QVariant() << "- - -" << false
                                  << false << "no_probe"
                                  << "celsius";
    }
    void liveJsonCarriesEachChannel() {
        QFETCH(int, state);
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QFETCH(bool, fahrenheit);
        QFETCH(bool, alarm);
        const auto second = reading(
            ReadingState(state), value.isValid() ? std::optional(value.toDouble()) : std::nullopt,
            text, QStringLiteral("J"), alarm);
        LiveView view = viewOf(sampleWith(second, fahrenheit));
        view.recording = true;
        view.records = 12;
        const QJsonObject json = parsed(http::liveJson(view));
        QCOMPARE(json[u"port"].toString(), QStringLiteral("SIM"));
        QCOMPARE(json[u"time"].toString(), QStringLiteral("2026-12-07T10:00:00+01:00"));
        QCOMPARE(json[u"link"].toBool(), true);
        QCOMPARE(json[u"recording"].toBool(), true);
        QCOMPARE(json[u"records"].toInt(), 12);
        const QJsonArray channels = json[u"channels"].toArray();
        QCOMPARE(channels.size(), 4);
        QCOMPARE(channels[0][u"channel"].toString(), QStringLiteral("T1"));
        QCOMPARE(channels[0][u"value"].toDouble(), 20.0);
        const QJsonObject t2 = channels[1].toObject();
        QCOMPARE(t2[u"channel"].toString(), QStringLiteral("T2"));
        QTEST(t2[u"state"].toString(), "stateName");
        QTEST(t2[u"unit"].toString(), "unit");
        QTEST(json[u"unit"].toString(), "unit");
        QCOMPARE(t2[u"text"].toString(), text);
        QCOMPARE(t2[u"type"].toString(), QStringLiteral("J"));
        QCOMPARE(t2[u"alarm"].toBool(), alarm);
        QCOMPARE(t2[u"value"].isNull(), !value.isValid());
        if (value.isValid())
            QCOMPARE(t2[u"value"].toDouble(), value.toDouble());
    }

    void liveJsonBeforeTheFirstSampleHasNoChannels() {
        LiveView view;
        view.port = QStringLiteral("/dev/ttyUSB0");
        const QJsonObject json = parsed(http::liveJson(view));
        QCOMPARE(json[u"port"].toString(), QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(json[u"time"].isNull());
        QVERIFY(json[u"unit"].isNull());
        QCOMPARE(json[u"link"].toBool(true), false);
        QCOMPARE(json[u"channels"].toArray().size(), 0);
    }

    void timesCarryTheirOffset_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("text");
        QTest::newRow("east") << 3600 << "2026-12-07T10:00:00+01:00";
        QTest::newRow("a quarter hour") << (5 * 3600 + 45 * 60) << "2026-12-07T10:00:00+05:45";
        QTest::newRow("west, half an hour") << -(3 * 3600 + 30 * 60) << "2026-12-07T10:00:00-03:30";
        QTest::newRow("Greenwich, not Z") << 0 << "2026-12-07T10:00:00+00:00";
    }
    void timesCarryTheirOffset() {
        QFETCH(int, offset);
        QTEST(recording::isoTimeText(
                  QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0), Qt::OffsetFromUTC, offset)),
              "text");
    }

    void theHourHasNullsWhereAChannelHadNoNumber() {
        http::LiveMirror mirror(QStringLiteral("SIM"));
        mirror.receive(live(sampleWith(reading(ReadingState::Ok, 30.5, "30.5"))));
        mirror.receive(
            live(sampleWith(reading(ReadingState::Over, {}, "Over"), false, kAt.addSecs(1))));
        const QJsonObject json = parsed(http::historyJson(mirror.view(), mirror.history()));
        QCOMPARE(json[u"unit"].toString(), QStringLiteral("celsius"));
        const QJsonArray points = json[u"points"].toArray();
        QCOMPARE(points.size(), 2);
        QCOMPARE(points[0].toArray(),
                 (QJsonArray{double(kAt.toMSecsSinceEpoch()), 20.0, 30.5, 22.0, 23.0}));
        QCOMPARE(points[1].toArray(), (QJsonArray{double(kAt.toMSecsSinceEpoch() + 1000), 20.0,
                                                  QJsonValue(), 22.0, 23.0}));
    }

    void theMirrorFollowsTheLinkAndTheRecording() {
        http::LiveMirror mirror(QStringLiteral("SIM"));
        const auto event = [&](OutEvent::Kind kind, auto&& fill) {
            OutEvent e;
            e.kind = kind;
            fill(e);
            mirror.receive(e);
        };
        event(OutEvent::Kind::RecordingStarted, [](OutEvent& e) { e.path = "run.4ch"; });
        QVERIFY(mirror.view().recording);
        QCOMPARE(mirror.view().records, qint64(0));
        event(OutEvent::Kind::Cycle, [](OutEvent& e) {
            e.sample = sampleWith(reading(ReadingState::Ok, 1.0, "1.0"));
            e.sample.record = 5;
        });
        // A cycle that wrote nothing leaves the count alone.
        event(OutEvent::Kind::Cycle, [](OutEvent& e) {
            e.sample = sampleWith(reading(ReadingState::Ok, 1.0, "1.0"), false, kAt.addSecs(1));
        });
        QCOMPARE(mirror.view().records, qint64(5));
        event(OutEvent::Kind::RecordingEnded, [](OutEvent& e) { e.records = 6; });
        QVERIFY(!mirror.view().recording);
        QCOMPARE(mirror.view().records, qint64(6));

        QVERIFY(!mirror.view().linkUp);
        mirror.receive(
            live(sampleWith(reading(ReadingState::Ok, 2.0, "2.0"), false, kAt.addSecs(3))));
        QVERIFY(mirror.view().linkUp);
        event(OutEvent::Kind::Link, [](OutEvent& e) { e.linkUp = false; });
        QVERIFY(!mirror.view().linkUp);
        // An older sample arriving late does not replace a newer one.
        event(OutEvent::Kind::Cycle, [](OutEvent& e) {
            e.sample = sampleWith(reading(ReadingState::Ok, 9.0, "9.0"), false, kAt.addSecs(2));
        });
        QCOMPARE(*mirror.view().latest->channels[1].value, 2.0);
        // Only the live samples make the chart's points.
        QCOMPARE(mirror.history().size(), size_t(1));
    }

    void theHourKeepsAnHourInOneUnit() {
        http::LiveMirror mirror(QStringLiteral("SIM"));
        const auto at = [](int s) {
            return sampleWith(reading(ReadingState::Ok, s, QString::number(s)), false,
                              kAt.addSecs(s));
        };
        for (int s = 0; s <= 3700; ++s)
            mirror.receive(live(at(s)));
        QCOMPARE(mirror.history().size(), size_t(3601));
        QCOMPARE(mirror.history().front().atMs, kAt.addSecs(100).toMSecsSinceEpoch());
        QCOMPARE(*mirror.history().back().values[1], 3700.0);
        // The same second again replaces its point.
        mirror.receive(live(at(3700)));
        QCOMPARE(mirror.history().size(), size_t(3601));
        // Another unit starts afresh, and so does a clock set back.
        mirror.receive(
            live(sampleWith(reading(ReadingState::Ok, 5.0, "5.0"), true, kAt.addSecs(3701))));
        QCOMPARE(mirror.history().size(), size_t(1));
        mirror.receive(
            live(sampleWith(reading(ReadingState::Ok, 5.0, "5.0"), true, kAt.addSecs(10))));
        QCOMPARE(mirror.history().size(), size_t(1));
        QCOMPARE(mirror.history().front().atMs, kAt.addSecs(10).toMSecsSinceEpoch());
    }
};

QUADTHERM_TEST_SUITE(TestHttpTexts, Core)

} // namespace tst_http_texts

#include "tst_http_texts.moc"
