// What the MQTT messages carry: a reading as JSON and as a bare number for
// each state, times with their offset, the alarm and probe events, the
// status detail, Home Assistant's announcement, and the backoff between
// attempts to reach the broker.

#include "mqtt/broker_link.h"
#include "mqtt/payloads.h"
#include "support/test_suite.h"

#include <QJsonArray>
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
    void timesCarryTheirOffset_data() {
        QTest::addColumn<int>("offsetSeconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("east of UTC") << 3600 << "2026-12-07T15:44:22+01:00";
        QTest::newRow("UTC") << 0 << "2026-12-07T15:44:22+00:00";
        QTest::newRow("west of UTC") << -5 * 3600 << "2026-12-07T15:44:22-05:00";
        QTest::newRow("half an hour") << 5 * 3600 + 1800 << "2026-12-07T15:44:22+05:30";
        QTest::newRow("three quarters west") << -(9 * 3600 + 2700) << "2026-12-07T15:44:22-09:45";
    }
    void timesCarryTheirOffset() {
        QFETCH(int, offsetSeconds);
        const QDateTime at(QDate(2026, 12, 7), QTime(15, 44, 22), QTimeZone(offsetSeconds));
        QTEST(mqtt::isoTime(at), "text");
    }

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

    void aReadingsMarkIsItsProbeAndItsAlarm() {
        QCOMPARE(mqtt::markOf(reading(ReadingState::NoProbe, {})).probe, false);
        QCOMPARE(mqtt::markOf(reading(ReadingState::Over, {})).probe, true);
        QCOMPARE(mqtt::markOf(reading(ReadingState::Ok, 1.0, "K", true)).alarm, true);
    }

    void anAlarmEventNamesChannelEventValueAndTime() {
        const QByteArray json = mqtt::alarmJson(1, ChannelEvent::AlarmOn,
                                                reading(ReadingState::Ok, 412.5, "K", true), kAt);
        QCOMPARE(json, QByteArray(R"({"channel":"T2","event":"alarm_on","value":412.5,)"
                                  R"("state":"ok","time":"2026-12-07T15:44:22+01:00"})"));
        const QByteArray lost =
            mqtt::alarmJson(3, ChannelEvent::ProbeLost, reading(ReadingState::NoProbe, {}), kAt);
        QCOMPARE(QJsonDocument::fromJson(lost)["value"].type(), QJsonValue::Null);
        QCOMPARE(QJsonDocument::fromJson(lost)["channel"].toString(), QStringLiteral("T4"));
    }

    void theStatusDetailCarriesTheDropsAndTheRecording() {
        mqtt::StatusDetail detail;
        detail.at = kAt;
        detail.queueLimit = 10000;
        QCOMPARE(mqtt::statusDetailJson(detail),
                 QByteArray(R"({"link":"unknown","recording":false,"file":null,"dropped":0,)"
                            R"("dropped_events":0,"queue_limit":10000,)"
                            R"("time":"2026-12-07T15:44:22+01:00"})"));
        detail.linkUp = false;
        detail.file = QStringLiteral("/data/run \"1\"\\a.4ch");
        detail.records = 60;
        detail.ended = QStringLiteral("write_failed");
        detail.error = QStringLiteral("No space left on device\n");
        detail.dropped = 7;
        detail.droppedEvents = 2;
        const auto json = QJsonDocument::fromJson(mqtt::statusDetailJson(detail));
        QCOMPARE(json["link"].toString(), QStringLiteral("down"));
        QCOMPARE(json["file"].toString(), QStringLiteral("/data/run \"1\"\\a.4ch"));
        QCOMPARE(json["records"].toInt(), 60);
        QCOMPARE(json["ended"].toString(), QStringLiteral("write_failed"));
        QCOMPARE(json["error"].toString(), QStringLiteral("No space left on device\n"));
        QCOMPARE(json["dropped"].toInt(), 7);
        QCOMPARE(json["dropped_events"].toInt(), 2);
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

    void homeAssistantIsToldEachChannelAsATemperatureSensor() {
        QCOMPARE(mqtt::discoveryTopic("lab/meter1", 2),
                 QByteArray("homeassistant/sensor/quadtherm_lab_meter1/t3/config"));
        QJsonParseError error;
        const auto config =
            QJsonDocument::fromJson(mqtt::discoveryConfig("lab/meter1", 2, true), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(config["name"].toString(), QStringLiteral("T3"));
        QCOMPARE(config["unique_id"].toString(), QStringLiteral("quadtherm_lab_meter1_t3"));
        QCOMPARE(config["state_topic"].toString(), QStringLiteral("lab/meter1/T3"));
        QCOMPARE(config["value_template"].toString(), QStringLiteral("{{ value_json.value }}"));
        QCOMPARE(config["device_class"].toString(), QStringLiteral("temperature"));
        QCOMPARE(config["unit_of_measurement"].toString(), QStringLiteral("°F"));
        QCOMPARE(config["availability_topic"].toString(), QStringLiteral("lab/meter1/status"));
        QCOMPARE(config["payload_available"].toString(), QStringLiteral("online"));
        QCOMPARE(config["payload_not_available"].toString(), QStringLiteral("offline"));
        QCOMPARE(config["device"]["identifiers"][0].toString(),
                 QStringLiteral("quadtherm_lab_meter1"));
        QCOMPARE(
            QJsonDocument::fromJson(mqtt::discoveryConfig("x", 0, false))["unit_of_measurement"]
                .toString(),
            QStringLiteral("°C"));
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
