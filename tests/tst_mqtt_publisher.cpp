// What the publisher makes of the session's events and the link's news,
// over a link played by the test: the topics and their QoS, the status
// through link changes and reconnections, the order of what waited for the
// broker, the bounded queue that drops its oldest and counts them, the
// alarm events, Home Assistant's announcements and the end of the program.

#include "mqtt/publisher.h"
#include "support/fake_clock.h"
#include "support/test_suite.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimer>

namespace tst_mqtt_publisher {

using namespace quadtherm;
using mqtt::BrokerLink;
using mqtt::Message;
using session::OutEvent;
using session::ReadingState;

namespace {

// The broker link as the test plays it: takes messages only while `up`,
// and delivers them when told (or at once, through the event loop).
struct FakeLink : BrokerLink {
    bool up = false;
    bool deliverAtOnce = false;
    mqtt::Publisher* publisher = nullptr;
    QList<Message> sent;
    QList<int> unacknowledged;
    int nextId = 1;
    bool stopped = false;
    QList<QByteArray> refusedTopics;

    void start(Handlers) override {}
    Sent send(const Message& message) override {
        if (refusedTopics.contains(message.topic))
            return {Sent::Outcome::Never, 0, QStringLiteral("Invalid function arguments")};
        if (!up)
            return {};
        sent << message;
        const int id = nextId++;
        unacknowledged << id;
        if (deliverAtOnce)
            QTimer::singleShot(0, publisher, [this, id] { deliver(id); });
        return {Sent::Outcome::Taken, id, {}};
    }
    void stop() override { stopped = true; }

    void deliver(int id) {
        unacknowledged.removeAll(id);
        publisher->onDelivered(id);
    }
    void deliverAll() {
        while (!unacknowledged.isEmpty())
            deliver(unacknowledged.first());
    }
    QList<Message> on(const QByteArray& topic) const {
        QList<Message> out;
        for (const Message& m : sent)
            if (m.topic == topic)
                out << m;
        return out;
    }
    QByteArrayList payloads(const QByteArray& topic) const {
        QByteArrayList out;
        for (const Message& m : on(topic))
            out << m.payload;
        return out;
    }
};

struct Rig {
    test::FakeClock clock;
    FakeLink link;
    mqtt::MqttOptions options;
    std::unique_ptr<mqtt::Publisher> publisher;
    QStringList notes;

    explicit Rig(int queueLimit = 10000, bool discovery = false) {
        options.broker.host = QStringLiteral("127.0.0.1");
        options.broker.prefix = QStringLiteral("lab/m1");
        options.queueLimit = queueLimit;
        options.discovery = discovery;
        publisher = std::make_unique<mqtt::Publisher>(options, link, clock);
        link.publisher = publisher.get();
        QObject::connect(publisher.get(), &mqtt::Publisher::note, publisher.get(),
                         [this](const QString& text) { notes << text; });
    }
    void connect() {
        link.up = true;
        publisher->onConnected();
    }
    void fail() {
        link.up = false;
        publisher->onFailed({mqtt::LinkFailure::Kind::Lost, 0, QStringLiteral("closed")});
    }
    void linkShown(bool up) {
        OutEvent event;
        event.kind = OutEvent::Kind::Link;
        event.linkUp = up;
        publisher->receive(event);
    }
    // All four channels reading `base`, `base` + 1 ...; `record` > 0 for a record.
    void reading(double base, qint64 record = 0, bool fahrenheit = false,
                 std::function<void(session::OutSample&)> change = {}) {
        OutEvent event;
        event.kind = record > 0 ? OutEvent::Kind::Cycle : OutEvent::Kind::Live;
        event.sample.at =
            QDateTime(QDate(2026, 12, 7), QTime(15, 44, 22), QTimeZone(3600)).addSecs(record);
        event.sample.fahrenheit = fahrenheit;
        event.sample.record = record;
        for (int k = 0; k < 4; ++k) {
            auto& r = event.sample.channels[k];
            r.state = ReadingState::Ok;
            r.value = base + k;
            r.text = QString::number(base + k, 'f', 1);
            r.type = QStringLiteral("K");
        }
        if (change)
            change(event.sample);
        publisher->receive(event);
    }
    void recordingStarted() {
        OutEvent event;
        event.kind = OutEvent::Kind::RecordingStarted;
        event.path = QStringLiteral("/data/run.4ch");
        publisher->receive(event);
    }
    // The record numbers of what went to PREFIX/T1, in the order sent.
    QList<int> t1Records() const {
        QList<int> records;
        for (const Message& m : link.on("lab/m1/T1"))
            records << QJsonDocument::fromJson(m.payload)["record"].toInt();
        return records;
    }
    QJsonObject lastDetail() const {
        return QJsonDocument::fromJson(link.payloads("lab/m1/status/detail").last()).object();
    }
};

QList<int> range(int first, int last) {
    QList<int> out;
    for (int n = first; n <= last; ++n)
        out << n;
    return out;
}

} // namespace

class TestMqttPublisher : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void liveReadingsGoToEachChannelAsJsonAndNumberAtQosZeroRetained() {
        Rig rig;
        rig.connect();
        rig.linkShown(true);
        rig.reading(23.4);
        QStringList topics;
        for (const Message& m : rig.link.sent)
            if (m.topic.startsWith("lab/m1/T")) {
                topics << QString::fromUtf8(m.topic);
                QCOMPARE(m.qos, 0);
                QVERIFY(m.retain);
            }
        QCOMPARE(topics,
                 (QStringList{"lab/m1/T1", "lab/m1/T1/value", "lab/m1/T2", "lab/m1/T2/value",
                              "lab/m1/T3", "lab/m1/T3/value", "lab/m1/T4", "lab/m1/T4/value"}));
        QCOMPARE(rig.link.payloads("lab/m1/T3/value"), QByteArrayList{"25.4"});
        const auto t1 = QJsonDocument::fromJson(rig.link.payloads("lab/m1/T1")[0]);
        QCOMPARE(t1["value"].toDouble(), 23.4);
        QVERIFY(!t1.object().contains("record"));
    }

    void whileRecordingOnlyTheRecordsGoOutAtQosOneWithTheirNumber() {
        Rig rig;
        rig.connect();
        rig.linkShown(true);
        rig.recordingStarted();
        rig.reading(20.0);    // live
        rig.reading(21.0, 5); // record 5
        QCOMPARE(rig.t1Records(), QList<int>{5});
        for (const Message& m : rig.link.sent)
            if (m.topic.startsWith("lab/m1/T"))
                QCOMPARE(m.qos, 1);
        QCOMPARE(rig.link.payloads("lab/m1/T1/value"), QByteArrayList{"21.0"});
        QCOMPARE(rig.lastDetail()["recording"].toBool(), true);
        QCOMPARE(rig.lastDetail()["file"].toString(), QStringLiteral("/data/run.4ch"));
    }

    void aReadingWithoutANumberClearsTheRetainedNumber() {
        Rig rig;
        rig.connect();
        rig.reading(20.0, 0, false, [](session::OutSample& s) {
            s.channels[1].state = ReadingState::Over;
            s.channels[1].value.reset();
            s.channels[2].state = ReadingState::NoProbe;
            s.channels[2].value.reset();
        });
        QCOMPARE(rig.link.payloads("lab/m1/T2/value"), QByteArrayList{QByteArray()});
        QCOMPARE(rig.link.payloads("lab/m1/T3/value"), QByteArrayList{QByteArray()});
        QVERIFY(rig.link.on("lab/m1/T3/value")[0].retain);
        QCOMPARE(QJsonDocument::fromJson(rig.link.payloads("lab/m1/T3")[0])["state"].toString(),
                 QStringLiteral("no_probe"));
    }

    // The last will says "offline" whenever a connection breaks; every new
    // connection says again what holds.
    void theStatusFollowsTheMetersLinkAndIsSaidOnEveryConnection() {
        Rig rig;
        rig.connect();
        rig.linkShown(false);
        rig.linkShown(true);
        rig.fail();
        rig.connect();
        rig.linkShown(false);
        QCOMPARE(rig.link.payloads("lab/m1/status"),
                 (QByteArrayList{"offline", "offline", "online", "online", "offline"}));
        for (const Message& m : rig.link.on("lab/m1/status")) {
            QVERIFY(m.retain);
            QCOMPARE(m.qos, 1);
        }
        QCOMPARE(rig.lastDetail()["link"].toString(), QStringLiteral("down"));
    }

    void whatWaitedForTheBrokerGoesOutInOrderAFewAtATime() {
        Rig rig;
        rig.linkShown(true);
        rig.recordingStarted();
        for (int n = 1; n <= 40; ++n)
            rig.reading(20.0 + n / 10.0, n);
        QVERIFY(rig.link.sent.isEmpty());
        rig.connect();
        QCOMPARE(rig.link.unacknowledged.size(), 100);
        // The status first: the last will may have said "offline".
        QCOMPARE(rig.link.sent[0].topic, QByteArray("lab/m1/status"));
        QCOMPARE(rig.link.sent[0].payload, QByteArray("online"));
        while (!rig.link.unacknowledged.isEmpty()) {
            rig.link.deliver(rig.link.unacknowledged.first());
            QVERIFY(rig.link.unacknowledged.size() <= 100);
        }
        QCOMPARE(rig.t1Records(), range(1, 40));
        QCOMPARE(rig.publisher->pending(), qsizetype(0));
        QCOMPARE(rig.publisher->dropped(), quint64(0));
    }

    void aFullQueueDropsItsOldestMessagesAndCountsThem_data() {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("dropped");
        QTest::addColumn<QList<int>>("records");
        // Five records of eight messages while the broker is away.
        QTest::newRow("room for all") << 40 << 0 << range(1, 5);
        QTest::newRow("room for two records") << 16 << 24 << range(4, 5);
        QTest::newRow("room for half a record") << 4 << 36 << QList<int>{};
    }
    void aFullQueueDropsItsOldestMessagesAndCountsThem() {
        QFETCH(int, limit);
        QFETCH(int, dropped);
        Rig rig(limit);
        rig.linkShown(true);
        rig.recordingStarted();
        for (int n = 1; n <= 5; ++n)
            rig.reading(20.0, n);
        QCOMPARE(rig.publisher->dropped(), quint64(dropped));
        rig.connect();
        rig.link.deliverAll();
        QTEST(rig.t1Records(), "records");
        QCOMPARE(rig.lastDetail()["dropped"].toInt(), dropped);
        QCOMPARE(rig.lastDetail()["queue_limit"].toInt(), limit);
        const QString full = QStringLiteral("the MQTT queue of %1 messages is full").arg(limit);
        QCOMPARE(rig.notes.filter(full).size(), dropped > 0 ? 1 : 0);
        // The oldest go; what is left is the newest stretch, whole.
        QByteArrayList values = rig.link.payloads("lab/m1/T4/value");
        QCOMPARE(values.isEmpty() ? QByteArray() : values.last(), QByteArray("23.0"));
    }

    // The library drops the QoS 0 messages it had not written and sends the
    // QoS 1 ones again after the reconnect: neither is sent twice from here.
    void aBrokenConnectionLosesOnlyWhatWasBestEffort() {
        Rig rig;
        rig.connect();
        rig.linkShown(true);
        rig.link.deliverAll();
        rig.reading(20.0); // 8 at QoS 0
        rig.recordingStarted();
        rig.reading(21.0, 1); // 8 at QoS 1, and the detail
        const qsizetype sentBefore = rig.link.sent.size();
        rig.fail();
        QCOMPARE(rig.publisher->pending(), qsizetype(9));
        rig.connect();
        QCOMPARE(rig.link.sent.size(), sentBefore + 2); // the status and the detail, said again
    }

    // What the desktop's bottom bar shows: the broker unreachable from the
    // start, then connected, then lost; retries that fail again say nothing new.
    void theConnectionIsToldOnlyWhenItChanges() {
        Rig rig;
        QList<bool> told;
        QObject::connect(rig.publisher.get(), &mqtt::Publisher::connectionChanged,
                         rig.publisher.get(), [&told](bool up) { told << up; });
        rig.fail();
        rig.fail();
        QCOMPARE(told, QList<bool>{false});
        rig.connect();
        rig.fail();
        rig.fail();
        rig.connect();
        QCOMPARE(told, (QList<bool>{false, true, false, true}));
    }

    void eachAlarmAndProbeChangeIsAnEventOnce() {
        Rig rig;
        rig.connect();
        rig.reading(20.0);
        rig.reading(20.0);
        QVERIFY(rig.link.on("lab/m1/alarm").isEmpty());
        const auto t2InAlarm = [](session::OutSample& s) { s.channels[1].alarm = true; };
        rig.reading(400.0, 0, false, t2InAlarm);
        rig.reading(401.0, 0, false, t2InAlarm);
        rig.reading(20.0, 0, false, [](session::OutSample& s) {
            s.channels[3].state = ReadingState::NoProbe;
            s.channels[3].value.reset();
        });
        QStringList events;
        for (const Message& m : rig.link.on("lab/m1/alarm")) {
            QCOMPARE(m.qos, 1);
            QVERIFY(!m.retain);
            const auto json = QJsonDocument::fromJson(m.payload);
            events << json["channel"].toString() + u' ' + json["event"].toString();
        }
        QCOMPARE(events, (QStringList{"T2 alarm_on", "T2 alarm_off", "T4 probe_lost"}));
        QCOMPARE(QJsonDocument::fromJson(rig.link.payloads("lab/m1/alarm")[0])["value"].toDouble(),
                 401.0);
    }

    void homeAssistantIsToldTheChannelsOnceTheUnitIsKnownAndWhenItAsks() {
        Rig rig(10000, true);
        rig.connect();
        const QByteArray t1Config = "homeassistant/sensor/quadtherm_lab_m1/t1/config";
        QVERIFY(rig.link.on(t1Config).isEmpty());
        rig.reading(20.0);
        QCOMPARE(rig.link.on(t1Config).size(), 1);
        QVERIFY(rig.link.on(t1Config)[0].retain);
        QCOMPARE(rig.link.on("homeassistant/sensor/quadtherm_lab_m1/t4/config").size(), 1);
        rig.publisher->onReceived("homeassistant/status", "offline");
        QCOMPARE(rig.link.on(t1Config).size(), 1);
        rig.publisher->onReceived("homeassistant/status", "online");
        QCOMPARE(rig.link.on(t1Config).size(), 2);
        rig.reading(68.0, 0, true);
        QCOMPARE(QJsonDocument::fromJson(rig.link.payloads(t1Config).last())["unit_of_measurement"]
                     .toString(),
                 QStringLiteral("°F"));
    }

    void aMessageTheLibraryRefusesIsToldAndDoesNotHoldTheRestUp() {
        Rig rig;
        rig.link.refusedTopics << "lab/m1/T2";
        rig.connect();
        rig.reading(20.0);
        QCOMPARE(rig.link.on("lab/m1/T4/value").size(), 1);
        QVERIFY(rig.notes.last().contains(QStringLiteral("a message to lab/m1/T2 cannot be "
                                                         "published")));
    }

    void aCleanEndLetsTheQueueOutThenSaysOffline() {
        Rig rig;
        rig.link.deliverAtOnce = true;
        rig.connect();
        rig.linkShown(true);
        for (int n = 0; n < 30; ++n)
            rig.reading(20.0);
        rig.recordingStarted();
        for (int n = 1; n <= 3; ++n)
            rig.reading(20.0, n);
        rig.publisher->finish(5000);
        QCOMPARE(rig.link.sent.last().topic, QByteArray("lab/m1/status"));
        QCOMPARE(rig.link.sent.last().payload, QByteArray("offline"));
        QCOMPARE(rig.link.payloads("lab/m1/T1").size(), 33);
        QCOMPARE(rig.lastDetail()["recording"].toBool(), false);
        QCOMPARE(rig.lastDetail()["records"].toInt(), 3);
        QCOMPARE(rig.lastDetail()["ended"].toString(), QStringLiteral("stopped"));
        QCOMPARE(rig.publisher->pending(), qsizetype(0));
        QVERIFY(rig.link.stopped);
        QVERIFY2(rig.notes.filter(QStringLiteral("not delivered")).isEmpty(),
                 qPrintable(rig.notes.join(u'\n')));
    }

    void anEndWithoutTheBrokerSaysWhatWasNotDeliveredAtOnce() {
        Rig rig(16);
        rig.linkShown(true);
        for (int n = 0; n < 3; ++n)
            rig.reading(20.0);
        QElapsedTimer timer;
        timer.start();
        rig.publisher->finish(5000);
        QVERIFY(timer.elapsed() < 1000);
        QVERIFY(rig.link.stopped);
        QVERIFY2(rig.notes.contains(QStringLiteral("16 MQTT messages were not delivered: there "
                                                   "was no connection to the broker")),
                 qPrintable(rig.notes.join(u'\n')));
        QVERIFY2(rig.notes.contains(QStringLiteral("8 MQTT messages were dropped in all: the "
                                                   "queue holds 16")),
                 qPrintable(rig.notes.join(u'\n')));
    }
};

QUADTHERM_TEST_SUITE(TestMqttPublisher, Core)

} // namespace tst_mqtt_publisher

#include "tst_mqtt_publisher.moc"
