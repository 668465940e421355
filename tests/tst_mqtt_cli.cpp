// quadtherm-cli --mqtt against a real mosquitto on a loopback port: what a
// bad option, an unreachable broker, a wrong password, the wrong kind of
// port or a broker that never answers says, and that the recording goes on
// all the same.

#include "support/cli_process.h"
#include "support/mqtt_broker.h"
#include "support/test_suite.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tst_mqtt_cli {

using namespace quadtherm::test;

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
};

QUADTHERM_TEST_SUITE(TestMqttCli, Core)

} // namespace tst_mqtt_cli

#include "tst_mqtt_cli.moc"
