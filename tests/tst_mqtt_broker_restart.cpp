// A broker stopped for ten seconds in the middle of a recording and started
// again on the same port: the file complete and on time, the messages that
// waited delivered after the restart in order, and a drop counted only when
// the queue overflows.

#include "support/cli_process.h"
#include "support/mqtt_broker.h"
#include "support/test_suite.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tst_mqtt_broker_restart {

using namespace quadtherm::test;

class TestMqttBrokerRestart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aRestartedBrokerGetsWhatWaitedAndTheFileMissesNothing_data() {
        QTest::addColumn<int>("queueLimit"); // 0: the default
        QTest::addColumn<bool>("drops");
        QTest::newRow("the default queue") << 0 << false;
        // Two records' worth: ten seconds away overflow it.
        QTest::newRow("a queue of 16 messages") << 16 << true;
    }
    void aRestartedBrokerGetsWhatWaitedAndTheFileMissesNothing() {
        QFETCH(int, queueLimit);
        QFETCH(bool, drops);
        constexpr int kRecords = 30;
        constexpr int kMessagesPerRecord = 8; // four channels, JSON and number
        BrokerOptions options;
        options.persistence = true; // the subscriber's session survives the restart
        Broker broker(options);
        QVERIFY(broker.start());
        Subscriber sub(broker, "lab/#", "tst-mqtt-restart");
        QVERIFY(sub.waitUntilSubscribed("lab/ready"));
        QTemporaryDir dir;
        QStringList environment;
        if (queueLimit > 0)
            environment << QStringLiteral("QUADTHERM_MQTT_QUEUE_LIMIT=%1").arg(queueLimit);
        CliRun run({"--simulate", "record", "--out", dir.filePath("run.4ch"), "--records",
                    QString::number(kRecords), "--mqtt", broker.url("lab")},
                   environment);
        QVERIFY2(run.waitForLines(5, 20000), qPrintable(run.describe()));
        // Between two records: a message in flight when a broker goes away
        // may come twice (QoS 1 is "at least once"), which is not what this
        // test is about.
        QTest::qWait(400);
        broker.stop();
        const int stoppedAfter = int(run.lines().size());
        QTest::qWait(10000);
        // Ten records went to the file meanwhile, on time.
        QVERIFY2(run.lines().size() >= stoppedAfter + 9, qPrintable(run.describe()));
        QVERIFY(broker.start());
        QVERIFY2(run.finish(60000) == 0, qPrintable(run.describe()));

        const QStringList file = checkRecords(contents(dir.filePath("run.4ch")), kHeadingKKJT);
        QCOMPARE(file.size(), kRecords);
        QCOMPARE(run.lines(), file);

        // What arrived: each record in order with the file's values. QoS 1
        // is "at least once": what was on its way when the broker stopped
        // may come again after the restart, right after itself, once.
        QVERIFY(QTest::qWaitFor(
            [&] {
                const auto last = sub.on("lab/T4/value");
                return !last.isEmpty() &&
                       QJsonDocument::fromJson(sub.on("lab/T1").last().payload)["record"].toInt() ==
                           kRecords;
            },
            15000));
        int arrived = 0;
        for (int k = 0; k < 4; ++k) {
            QList<int> records;
            int again = 0;
            const QString channel = QStringLiteral("lab/T%1").arg(k + 1);
            for (const Received& m : sub.on(channel)) {
                // mosquitto_sub subscribes again when it reconnects, and the
                // broker then replays what it retained: not a delivery.
                if (m.retained)
                    continue;
                const auto reading = QJsonDocument::fromJson(m.payload);
                const int n = reading["record"].toInt();
                QCOMPARE(reading["value"].toDouble(), file[n - 1].split(u'\t')[2 + k].toDouble());
                if (!records.isEmpty() && n == records.last()) {
                    ++again;
                    continue;
                }
                QVERIFY2(records.isEmpty() || n > records.last(), m.payload.constData());
                records << n;
            }
            QVERIFY(again <= 1);
            QVERIFY(records.contains(1));
            QCOMPARE(records.last(), kRecords);
            if (!drops)
                QCOMPARE(records.size(), kRecords);
            QList<double> bare;
            for (const Received& m : sub.on(channel + QStringLiteral("/value")))
                if (!m.retained)
                    bare << m.payload.toDouble();
            // The queue may drop a record's JSON and keep its number: the
            // numbers are counted, and without drops checked one by one.
            arrived += int(records.size() + bare.size()) - 2 * again;
            if (drops)
                continue;
            qsizetype matched = 0;
            for (const double value : bare) {
                const auto valueOf = [&](qsizetype i) {
                    return file[records[i] - 1].split(u'\t')[2 + k].toDouble();
                };
                if (matched < records.size() && value == valueOf(matched))
                    ++matched;
                else
                    QVERIFY2(matched > 0 && value == valueOf(matched - 1), qPrintable(channel));
            }
            QCOMPARE(matched, qsizetype(kRecords));
            QCOMPARE(bare.size(), kRecords + again);
        }
        const auto detail = QJsonDocument::fromJson(sub.on("lab/status/detail").last().payload);
        const int dropped = detail["dropped"].toInt();
        const QString err = run.err();
        QVERIFY2(err.contains("lost the connection to the MQTT broker"), qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("connected to the MQTT broker at %1 again")
                                  .arg(broker.url("").section(u'/', 2, 2))),
                 qPrintable(err));
        if (!drops) {
            QCOMPARE(dropped, 0);
            QVERIFY2(!err.contains("dropped"), qPrintable(err));
        } else {
            // Every message either arrived or was counted.
            QVERIFY(dropped > 0);
            QCOMPARE(arrived + dropped, kRecords * kMessagesPerRecord);
            QVERIFY2(err.contains(QStringLiteral("%1 were dropped while it was away").arg(dropped)),
                     qPrintable(err));
            QVERIFY2(err.contains("the MQTT queue of 16 messages is full"), qPrintable(err));
        }
        QCOMPARE(detail["queue_limit"].toInt(), queueLimit > 0 ? queueLimit : 10000);
    }
};

QUADTHERM_TEST_SUITE(TestMqttBrokerRestart, Core)

} // namespace tst_mqtt_broker_restart

#include "tst_mqtt_broker_restart.moc"
