// A minute's recording with --mqtt to a real mosquitto: every record
// reaches a subscriber once, in order, at QoS 1, with the values and the
// time the file holds. Its own suite: the simulated meter records at the
// real pace, one record a second.

#include "support/cli_process.h"
#include "support/mqtt_broker.h"
#include "support/test_suite.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tst_mqtt_record {

using namespace quadtherm::test;

class TestMqttRecord : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyRecordArrivesOnceInOrderWithTheFilesValues() {
        Broker broker;
        QVERIFY(broker.start());
        Subscriber sub(broker, "lab/m1/#", "tst-mqtt-record");
        QVERIFY(sub.waitUntilSubscribed("lab/m1/ready"));
        QTemporaryDir dir;
        CliRun run({"--simulate", "record", "--out", dir.filePath("run.4ch"), "--records", "60",
                    "--mqtt", broker.url("lab/m1")});
        QVERIFY2(run.finish(120000) == 0, qPrintable(run.describe()));
        const QStringList file = checkRecords(contents(dir.filePath("run.4ch")), kHeadingKKJT);
        QCOMPARE(file.size(), 60);
        QCOMPARE(run.lines(), file);

        QVERIFY(QTest::qWaitFor([&] { return sub.on("lab/m1/T4/value").size() >= 60; }, 10000));
        for (int k = 0; k < 4; ++k) {
            const QString channel = QStringLiteral("lab/m1/T%1").arg(k + 1);
            const QList<Received> json = sub.on(channel);
            const QList<Received> bare = sub.on(channel + QStringLiteral("/value"));
            QCOMPARE(json.size(), 60);
            QCOMPARE(bare.size(), 60);
            for (int i = 0; i < 60; ++i) {
                QStringList cells = file[i].split(u'\t');
                const auto reading = QJsonDocument::fromJson(json[i].payload);
                QCOMPARE(json[i].qos, 1);
                QCOMPARE(reading["record"].toInt(), i + 1);
                QCOMPARE(reading["value"].toDouble(), cells[2 + k].toDouble());
                QCOMPARE(reading["state"].toString(), QStringLiteral("ok"));
                QCOMPARE(reading["unit"].toString(), QStringLiteral("°C"));
                // 2026/12/07 15:44:22 in the file, 2026-12-07T15:44:22+hh:mm here.
                QCOMPARE(reading["time"].toString().left(19),
                         cells[1].replace(u'/', u'-').replace(u' ', u'T'));
                QCOMPARE(bare[i].payload.toDouble(), cells[2 + k].toDouble());
                QCOMPARE(bare[i].qos, 1);
            }
        }
        QCOMPARE(QJsonDocument::fromJson(sub.on("lab/m1/T3").first().payload)["type"].toString(),
                 QStringLiteral("J"));
        // The retained state is the last record; the program said goodbye itself.
        QVERIFY(retainedOn(broker, "lab/m1/T2").value_or("").contains("\"record\":60"));
        QCOMPARE(sub.on("lab/m1/status").last().payload, QByteArray("offline"));
        const auto detail = QJsonDocument::fromJson(sub.on("lab/m1/status/detail").last().payload);
        QCOMPARE(detail["recording"].toBool(), false);
        QCOMPARE(detail["records"].toInt(), 60);
        QCOMPARE(detail["ended"].toString(), QStringLiteral("stopped"));
        QCOMPARE(detail["file"].toString(), dir.filePath("run.4ch"));
        QCOMPARE(detail["dropped"].toInt(), 0);
        QVERIFY2(!run.err().contains("not delivered"), qPrintable(run.err()));
    }
};

QUADTHERM_TEST_SUITE(TestMqttRecord, Core)

} // namespace tst_mqtt_record

#include "tst_mqtt_record.moc"
