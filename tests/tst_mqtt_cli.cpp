// quadtherm-cli --mqtt against a real mosquitto on a loopback port: what a
// bad option, an unreachable broker, a wrong password or the wrong kind of
// port says, and that the recording goes on all the same; the password and
// TLS done right; the last will; the live readings of watch; Home
// Assistant's announcements.

#include "support/cli_process.h"
#include "support/mqtt_broker.h"
#include "support/test_suite.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tst_mqtt_cli {

using namespace quadtherm::test;

namespace {

enum class Server { None, Plain, Password, Tls };

std::unique_ptr<Broker> brokerOf(Server server) {
    Broker::Options options;
    options.tls = server == Server::Tls;
    if (server == Server::Password) {
        options.user = QStringLiteral("meter");
        options.password = QStringLiteral("s3cret pass");
    }
    auto broker = std::make_unique<Broker>(options);
    if (server != Server::None && !broker->start())
        return nullptr;
    return broker;
}

QStringList recordArgs(const QTemporaryDir& dir, int records) {
    return {"--simulate", "record",
            "--out",      dir.filePath("run.4ch"),
            "--records",  QString::number(records)};
}

} // namespace

class TestMqttCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A port that cannot be opened shows the URL is checked first: status 1
    // and the reason, not status 2.
    void aBadOptionIsAUsageErrorBeforeTheMeterIsOpened_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        const QStringList record{"--port", "/nonexistent/ttyUSB9", "record", "--out", "x.4ch"};
        QTest::newRow("no prefix") << record + QStringList{"--mqtt", "mqtt://127.0.0.1"}
                                   << "bad MQTT URL 'mqtt://127.0.0.1': the URL needs a topic "
                                      "prefix";
        QTest::newRow("a wildcard in the prefix")
            << record + QStringList{"--mqtt", "mqtt://127.0.0.1/lab/#"} << "wildcards";
        QTest::newRow("a password in the URL")
            << record + QStringList{"--mqtt", "mqtt://meter:pw@127.0.0.1/lab"}
            << "put it in the environment variable QUADTHERM_MQTT_PASSWORD";
        QTest::newRow("port out of range")
            << record + QStringList{"--mqtt", "mqtt://127.0.0.1:70000/lab"}
            << "the port must be a whole number from 1 to 65535, not '70000'";
        QTest::newRow("IPv6 without brackets")
            << record + QStringList{"--mqtt", "mqtt://::1/lab"} << "goes in brackets";
        QTest::newRow("a CA file for plain MQTT")
            << record + QStringList{"--mqtt", "mqtt://127.0.0.1/lab", "--mqtt-cafile", "x.pem"}
            << "--mqtt-cafile is for mqtts:// URLs";
        QTest::newRow("a command that does not publish")
            << QStringList{"--port", "/nonexistent/ttyUSB9", "status", "--mqtt",
                           "mqtt://127.0.0.1/lab"}
            << "--mqtt goes with watch and record";
    }
    void aBadOptionIsAUsageErrorBeforeTheMeterIsOpened() {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        const Run r = cli(args);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(says), qPrintable(describe(r)));
        QVERIFY2(r.err.contains("Try 'quadtherm-cli --help'"), qPrintable(describe(r)));
        QVERIFY2(!r.err.contains("s3cret"), qPrintable(r.err));
    }

    void theHelpListsTheMqttOptions() {
        const Run r = cli({"--help"});
        QCOMPARE(r.exitCode, 0);
        for (const char* option :
             {"--mqtt URL", "--mqtt-cafile FILE", "--mqtt-password-file FILE", "--mqtt-discovery"})
            QVERIFY2(r.out.contains(QLatin1String(option)), option);
    }

    void aBrokerThatCannotBeHadIsToldAndTheRecordingGoesOn_data() {
        QTest::addColumn<int>("server");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("says");
        QTest::newRow("nothing on the port")
            << int(Server::None) << "mqtt"
            << ""
            << ""
            << "cannot reach the MQTT broker at 127.0.0.1:%1 (Connection refused)";
        QTest::newRow("a wrong password")
            << int(Server::Password) << "mqtt"
            << "meter"
            << "wrong"
            << "the MQTT broker at 127.0.0.1:%1 refused the connection: not authorised (check "
               "the user in the URL and the password)";
        QTest::newRow("TLS to a plain port")
            << int(Server::Plain) << "mqtts"
            << ""
            << ""
            << "no TLS connection with the MQTT broker at 127.0.0.1:%1 (";
        QTest::newRow("plain MQTT to a TLS port")
            << int(Server::Tls) << "mqtt"
            << ""
            << ""
            << "the MQTT broker at 127.0.0.1:%1 closed the connection before accepting it";
        QTest::newRow("a certificate nobody vouched for") << int(Server::Tls) << "mqtts"
                                                          << ""
                                                          << ""
                                                          << "certificate verify failed";
    }
    void aBrokerThatCannotBeHadIsToldAndTheRecordingGoesOn() {
        QFETCH(int, server);
        QFETCH(QString, scheme);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, says);
        const auto broker = brokerOf(Server(server));
        QVERIFY(broker);
        QTemporaryDir dir;
        QStringList environment;
        if (!password.isEmpty())
            environment << "QUADTHERM_MQTT_PASSWORD=" + password;
        const QString url = scheme + QStringLiteral("://") +
                            (user.isEmpty() ? QString() : user + u'@') +
                            QStringLiteral("127.0.0.1:%1/lab").arg(broker->port());
        CliRun run(recordArgs(dir, 2) + QStringList{"--mqtt", url}, environment);
        QVERIFY2(run.finish() == 0, qPrintable(run.describe()));
        QCOMPARE(checkRecords(contents(dir.filePath("run.4ch")), kHeadingKKJT).size(), 2);
        QCOMPARE(run.lines().size(), 2);
        const QString err = run.err();
        says.replace(QStringLiteral("%1"), QString::number(broker->port()));
        QVERIFY2(err.contains(says), qPrintable(err));
        QVERIFY2(err.contains("the connection is retried"), qPrintable(err));
        // Said once, not at every attempt.
        QCOMPARE(err.count(says), 1);
        QVERIFY2(err.contains("MQTT messages were not delivered"), qPrintable(err));
        QVERIFY2(!err.contains("s3cret"), qPrintable(err));
    }

    // A broker that takes the connection and never answers is given up
    // after 10 s and tried again; the recording never waits for it.
    void aBrokerThatNeverAnswersIsToldAfterTenSeconds() {
        SilentListener silent;
        QVERIFY(silent.port() != 0);
        QTemporaryDir dir;
        CliRun run(
            recordArgs(dir, 13) +
            QStringList{"--mqtt", QStringLiteral("mqtt://127.0.0.1:%1/lab").arg(silent.port())});
        QVERIFY2(run.waitForErr("did not answer in time", 20000), qPrintable(run.describe()));
        QVERIFY2(run.finish() == 0, qPrintable(run.describe()));
        QCOMPARE(checkRecords(contents(dir.filePath("run.4ch")), kHeadingKKJT).size(), 13);
        QVERIFY2(run.err().contains(QStringLiteral("the MQTT broker at 127.0.0.1:%1 did not answer "
                                                   "in time")
                                        .arg(silent.port())),
                 qPrintable(run.err()));
    }

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

QUADTHERM_TEST_SUITE(TestMqttCli, Core)

} // namespace tst_mqtt_cli

#include "tst_mqtt_cli.moc"
