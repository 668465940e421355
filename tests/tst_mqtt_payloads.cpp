// What the MQTT messages carry: a reading as JSON and as a bare number for
// each state, times with their offset, the alarm and probe events, the
// status detail, Home Assistant's announcement, and the backoff between
// attempts to reach the broker.

#include "mqtt/broker_link.h"
#include "mqtt/payloads.h"
#include "support/test_suite.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimeZone>

namespace tst_mqtt_payloads {

using namespace quadtherm;
using mqtt::ChannelEvent;
using session::OutReading;
using session::ReadingState;

namespace {

OutReading reading(ReadingState state, std::optional<double> value, const QString& type = "K",
                   bool alarm = false) {
    OutReading r;
    r.state = state;
    r.value = value;
    r.type = type;
    r.alarm = alarm;
    return r;
}

const QDateTime kAt(QDate(2026, 12, 7), QTime(15, 44, 22), QTimeZone(3600));

} // namespace

class TestMqttPayloads : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aReadingIsJsonWithANumberOnlyWhenOk_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<bool>("alarm");
        QTest::addColumn<qint64>("record");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("bare");
        QTest::newRow("ok, live")
            << int(ReadingState::Ok) << QVariant(23.4) << "K" << false << false << qint64(0)
            << QByteArray(R"({"value":23.4,"unit":"°C","type":"K","state":"ok","alarm":false,)"
                          R"("time":"2026-12-07T15:44:22+01:00"})")
            << QByteArray("23.4");
        QTest::newRow("ok, record 12, °F, in alarm")
            << int(ReadingState::Ok) << QVariant(412.0) << "J" << true << true << qint64(12)
            << QByteArray(R"({"value":412.0,"unit":"°F","type":"J","state":"ok","alarm":true,)"
                          R"("time":"2026-12-07T15:44:22+01:00","record":12})")
            << QByteArray("412.0");
        QTest::newRow("below zero, written -.5 in the file")
            << int(ReadingState::Ok) << QVariant(-0.5) << "T" << false << false << qint64(3)
            << QByteArray(R"({"value":-0.5,"unit":"°C","type":"T","state":"ok","alarm":false,)"
                          R"("time":"2026-12-07T15:44:22+01:00","record":3})")
            << QByteArray("-0.5");
        QTest::newRow("over")
            << int(ReadingState::Over) << QVariant() << "K" << false << false << qint64(4)
            << QByteArray(R"({"value":null,"unit":"°C","type":"K","state":"over","alarm":false,)"
                          R"("time":"2026-12-07T15:44:22+01:00","record":4})")
            << QByteArray();
        QTest::newRow("under")
            << int(ReadingState::Under) << QVariant() << "E" << true << false << qint64(0)
            << QByteArray(R"({"value":null,"unit":"°F","type":"E","state":"under","alarm":false,)"
                          R"("time":"2026-12-07T15:44:22+01:00"})")
            << QByteArray();
        QTest::newRow("no probe, a type without a letter")
            << int(ReadingState::NoProbe) << QVariant() << "" << false << false << qint64(0)
            << QByteArray(R"({"value":null,"unit":"°C","type":null,"state":"no_probe",)"
                          R"("alarm":false,"time":"2026-12-07T15:44:22+01:00"})")
            << QByteArray();
        // A value left over beside another state is never sent as a number.
        QTest::newRow("over with a stale value")
            << int(ReadingState::Over) << QVariant(99.9) << "K" << false << false << qint64(0)
            << QByteArray(R"({"value":null,"unit":"°C","type":"K","state":"over","alarm":false,)"
                          R"("time":"2026-12-07T15:44:22+01:00"})")
            << QByteArray();
    }
    void aReadingIsJsonWithANumberOnlyWhenOk() {
        QFETCH(int, state);
        QFETCH(QVariant, value);
        QFETCH(QString, type);
        QFETCH(bool, fahrenheit);
        QFETCH(bool, alarm);
        QFETCH(qint64, record);
        const OutReading r = reading(
            ReadingState(state),
            value.isValid() ? std::optional<double>(value.toDouble()) : std::nullopt, type, alarm);
        const QByteArray json = mqtt::readingJson(r, fahrenheit, kAt, record);
        QTEST(json, "json");
        QTEST(mqtt::readingValue(r), "bare");
        QJsonParseError error;
        QJsonDocument::fromJson(json, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
    }

    void channelChangesBecomeEvents_data() {
        QTest::addColumn<bool>("probeBefore");
        QTest::addColumn<bool>("alarmBefore");
        QTest::addColumn<bool>("probeAfter");
        QTest::addColumn<bool>("alarmAfter");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("nothing changed") << true << false << true << false << QStringList{};
        QTest::newRow("still in alarm") << true << true << true << true << QStringList{};
        QTest::newRow("into alarm") << true << false << true << true << QStringList{"alarm_on"};
        QTest::newRow("out of alarm") << true << true << true << false << QStringList{"alarm_off"};
        QTest::newRow("probe pulled")
            << true << false << false << false << QStringList{"probe_lost"};
        QTest::newRow("probe back") << false << false << true << false << QStringList{"probe_back"};
        QTest::newRow("probe pulled in alarm")
            << true << true << false << false << QStringList{"probe_lost", "alarm_off"};
        QTest::newRow("probe back in alarm")
            << false << false << true << true << QStringList{"probe_back", "alarm_on"};
    }
    void channelChangesBecomeEvents() {
        QFETCH(bool, probeBefore);
        QFETCH(bool, alarmBefore);
        QFETCH(bool, probeAfter);
        QFETCH(bool, alarmAfter);
        QStringList names;
        for (const ChannelEvent event :
             mqtt::channelEvents({probeBefore, alarmBefore}, {probeAfter, alarmAfter}))
            names << mqtt::channelEventName(event);
        QTEST(names, "events");
    }

    // A file name and a system's message are anyone's text: escaped, not broken.
    void theStatusDetailEscapesWhatItQuotes() {
        mqtt::StatusDetail detail;
        detail.at = kAt;
        detail.file = QStringLiteral("/data/run \"1\"\\a\x01.4ch");
        detail.records = 60;
        detail.error = QStringLiteral("No space left on device\n");
        QJsonParseError error;
        const auto json = QJsonDocument::fromJson(mqtt::statusDetailJson(detail), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(json["link"].toString(), QStringLiteral("unknown"));
        QCOMPARE(json["file"].toString(), QStringLiteral("/data/run \"1\"\\a\x01.4ch"));
        QCOMPARE(json["records"].toInt(), 60);
        QCOMPARE(json["error"].toString(), QStringLiteral("No space left on device\n"));
    }

    void theDiscoveryNodeIsMadeFromThePrefix_data() {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("node");
        QTest::newRow("levels") << "lab/meter1"
                                << "quadtherm_lab_meter1";
        QTest::newRow("allowed characters kept") << "a_b-C9"
                                                 << "quadtherm_a_b-C9";
        QTest::newRow("others replaced") << "hall A/ü.x"
                                         << "quadtherm_hall_A___x";
    }
    void theDiscoveryNodeIsMadeFromThePrefix() {
        QFETCH(QString, prefix);
        QTEST(mqtt::discoveryNode(prefix), "node");
    }

    void reconnectsBackOffFromOneToThirtySeconds_data() {
        QTest::addColumn<int>("attempt");
        QTest::addColumn<int>("delayMs");
        QTest::newRow("first") << 0 << 1000;
        QTest::newRow("second") << 1 << 2000;
        QTest::newRow("third") << 2 << 4000;
        QTest::newRow("fifth") << 4 << 16000;
        QTest::newRow("sixth, at the limit") << 5 << 30000;
        QTest::newRow("much later") << 1000 << 30000;
        QTest::newRow("negative") << -1 << 1000;
    }
    void reconnectsBackOffFromOneToThirtySeconds() {
        QFETCH(int, attempt);
        QTEST(mqtt::reconnectDelayMs(attempt), "delayMs");
    }
};

QUADTHERM_TEST_SUITE(TestMqttPayloads, Core)

} // namespace tst_mqtt_payloads

#include "tst_mqtt_payloads.moc"
