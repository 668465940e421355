// quadtherm-cli and quadtherm publishing to a real mosquitto on a loopback
// port: the password and TLS done right, the status at the end and through
// the last will, the live readings of watch, the desktop program, and Home
// Assistant's announcements.

#include "support/cli_process.h"
#include "support/mqtt_broker.h"
#include "support/test_suite.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tst_mqtt_cli_publish {

using namespace quadtherm::test;

class TestMqttCliPublish : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theReadingsGoThroughWithThePasswordOrATrustedCertificate_data() {
        QTest::addColumn<int>("server");
        QTest::addColumn<bool>("passwordFile");
        QTest::newRow("password from the environment") << int(Server::Password) << false;
        QTest::newRow("password from a file") << int(Server::Password) << true;
        QTest::newRow("TLS with the CA file") << int(Server::Tls) << false;
    }
    void theReadingsGoThroughWithThePasswordOrATrustedCertificate() {
        QFETCH(int, server);
        QFETCH(bool, passwordFile);
        const auto broker = brokerOf(Server(server));
        QVERIFY(broker);
        Subscriber sub(*broker, "lab/#");
        QVERIFY(sub.waitUntilSubscribed("lab/ready"));
        QTemporaryDir dir;
        QStringList args = recordArgs(dir, 2);
        QStringList environment;
        if (Server(server) == Server::Tls) {
            args << "--mqtt" << broker->url("lab") << "--mqtt-cafile" << broker->caFile();
        } else {
            args << "--mqtt" << broker->url("lab", "meter");
            if (passwordFile) {
                QFile file(dir.filePath("password"));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("s3cret pass\n");
                file.close();
                args << "--mqtt-password-file" << file.fileName();
                environment << "QUADTHERM_MQTT_PASSWORD=wrong"; // the file wins
            } else {
                environment << "QUADTHERM_MQTT_PASSWORD=s3cret pass";
            }
        }
        CliRun run(args, environment);
        QVERIFY2(run.finish() == 0, qPrintable(run.describe()));
        QVERIFY2(run.err().contains("connected to the MQTT broker at 127.0.0.1"),
                 qPrintable(run.err()));
        QVERIFY(QTest::qWaitFor([&] { return sub.on("lab/T1").size() >= 2; }, 5000));
        const QStringList file = checkRecords(contents(dir.filePath("run.4ch")), kHeadingKKJT);
        const auto last = QJsonDocument::fromJson(sub.on("lab/T1").last().payload);
        QCOMPARE(last["record"].toInt(), 2);
        QCOMPARE(last["value"].toDouble(), file[1].split('\t')[2].toDouble());
    }

    void theStatusIsOfflineWhenTheProgramIsKilledOrEnds_data() {
        QTest::addColumn<bool>("killed");
        QTest::newRow("SIGKILL: the last will") << true;
        QTest::newRow("a clean end") << false;
    }
    void theStatusIsOfflineWhenTheProgramIsKilledOrEnds() {
        QFETCH(bool, killed);
        Broker broker;
        QVERIFY(broker.start());
        QTemporaryDir dir;
        CliRun publishing((killed ? QStringList{"--simulate", "watch"} : recordArgs(dir, 2)) +
                              QStringList{"--mqtt", broker.url("lab/m1")},
                          {});
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return retainedOn(broker, "lab/m1/status") == "online" &&
                                retainedOn(broker, "lab/m1/T4/value");
                     },
                     10000),
                 qPrintable(publishing.describe()));
        if (killed) {
            publishing.signal(SIGKILL);
            QCOMPARE(publishing.finish(), -1);
        } else {
            QCOMPARE(publishing.finish(), 0);
        }
        QVERIFY(QTest::qWaitFor([&] { return retainedOn(broker, "lab/m1/status") == "offline"; },
                                5000));
        // The readings stay for whoever asks later.
        QVERIFY(retainedOn(broker, "lab/m1/T1").value_or("").contains("\"state\":\"ok\""));
        QVERIFY(!retainedOn(broker, "lab/m1/T1/value").value_or("").isEmpty());
    }

    // watch publishes the live readings, once a second, without record numbers.
    void watchPublishesTheLiveReadingsOnceASecond() {
        Broker broker;
        QVERIFY(broker.start());
        Subscriber sub(broker, "lab/#");
        QVERIFY(sub.waitUntilSubscribed("lab/ready"));
        CliRun run({"--simulate", "watch", "--mqtt", broker.url("lab")});
        QVERIFY(QTest::qWaitFor([&] { return sub.on("lab/T1").size() >= 2; }, 10000));
        QTest::qWait(4000);
        run.signal(SIGINT);
        QCOMPARE(run.finish(), 130);
        const auto t1 = sub.on("lab/T1");
        QVERIFY2(t1.size() >= 5 && t1.size() <= 8, qPrintable(QString::number(t1.size())));
        QStringList times;
        for (const Received& m : t1) {
            const auto json = QJsonDocument::fromJson(m.payload);
            QVERIFY2(!json.object().contains("record"), m.payload.constData());
            QCOMPARE(json["state"].toString(), QStringLiteral("ok"));
            times << json["time"].toString();
        }
        const QStringList sent = times;
        times.removeDuplicates();
        QVERIFY2(times.size() == t1.size(), qPrintable(sent.join(u' ')));
        QCOMPARE(sub.on("lab/T4/value").size(), t1.size());
    }

    // The desktop program takes the same options, checked before any window.
    void theDesktopProgramPublishesToo() {
        Broker broker;
        QVERIFY(broker.start());
        QTemporaryDir config; // settings of its own, not the user's
        const QStringList offscreen{"QT_QPA_PLATFORM=offscreen",
                                    "XDG_CONFIG_HOME=" + config.path()};
        CliRun bad({"--simulate", "--mqtt", "mqtt://127.0.0.1/lab/+"}, offscreen,
                   QStringLiteral(QUADTHERM_APP_PATH));
        QCOMPARE(bad.finish(10000), 1);
        QVERIFY2(bad.err().contains("quadtherm: bad MQTT URL 'mqtt://127.0.0.1/lab/+'"),
                 qPrintable(bad.err()));
        CliRun desktop({"--simulate", "--mqtt", broker.url("desk")}, offscreen,
                       QStringLiteral(QUADTHERM_APP_PATH));
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return retainedOn(broker, "desk/status") == "online" &&
                                retainedOn(broker, "desk/T1/value");
                     },
                     15000),
                 qPrintable(desktop.describe()));
        desktop.signal(SIGKILL);
        desktop.finish();
        QVERIFY(
            QTest::qWaitFor([&] { return retainedOn(broker, "desk/status") == "offline"; }, 5000));
    }

    void homeAssistantFindsTheChannelsAndIsToldAgainWhenItComesOnline() {
        Broker broker;
        QVERIFY(broker.start());
        CliRun run({"--simulate", "watch", "--mqtt-discovery", "--mqtt", broker.url("lab/m1")});
        const QString topic = QStringLiteral("homeassistant/sensor/quadtherm_lab_m1/t2/config");
        std::optional<QByteArray> config;
        QVERIFY(QTest::qWaitFor([&] { return (config = retainedOn(broker, topic)).has_value(); },
                                10000));
        const auto json = QJsonDocument::fromJson(*config);
        QCOMPARE(json["device_class"].toString(), QStringLiteral("temperature"));
        QCOMPARE(json["unit_of_measurement"].toString(), QStringLiteral("°C"));
        QCOMPARE(json["state_topic"].toString(), QStringLiteral("lab/m1/T2"));
        QCOMPARE(json["availability_topic"].toString(), QStringLiteral("lab/m1/status"));
        QCOMPARE(json["unique_id"].toString(), QStringLiteral("quadtherm_lab_m1_t2"));
        Subscriber sub(broker, "homeassistant/sensor/#");
        QVERIFY(QTest::qWaitFor([&] { return sub.on(topic).size() == 1; }, 5000));
        QVERIFY(sub.on(topic)[0].retained);
        publish(broker, "homeassistant/status", "online");
        QVERIFY(QTest::qWaitFor([&] { return sub.on(topic).size() == 2; }, 5000));
        QCOMPARE(sub.on(topic)[1].payload, *config);
        run.signal(SIGTERM);
        QCOMPARE(run.finish(), 143);
    }
};

QUADTHERM_TEST_SUITE(TestMqttCliPublish, Core)

} // namespace tst_mqtt_cli_publish

#include "tst_mqtt_cli_publish.moc"
