// What --mqtt and its companions accept, checked before the port is opened:
// the URL (scheme, user, host, IPv6 in brackets, port, prefix), the
// password's two ways in and never a third, the CA file, and the options
// taken out of an argument list wherever they stand.

#include "mqtt/mqtt_options.h"
#include "support/test_suite.h"

#include <QTemporaryDir>
#include <QTest>

namespace tst_mqtt_options {

using namespace quadtherm;

class TestMqttOptions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aGoodUrlNamesTheBrokerAndThePrefix_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("where");
        QTest::newRow("plain, default port") << "mqtt://localhost/lab/meter1" << false << ""
                                             << "localhost" << 1883 << "lab/meter1"
                                             << "localhost:1883";
        QTest::newRow("TLS, default port") << "mqtts://broker.example.org/m" << true << ""
                                           << "broker.example.org" << 8883 << "m"
                                           << "broker.example.org:8883";
        QTest::newRow("user and port") << "mqtt://meter@10.0.0.5:1884/a/b/c" << false << "meter"
                                       << "10.0.0.5" << 1884 << "a/b/c"
                                       << "10.0.0.5:1884";
        QTest::newRow("scheme in capitals") << "MQTTS://h/p" << true << ""
                                            << "h" << 8883 << "p"
                                            << "h:8883";
        QTest::newRow("IPv6 in brackets") << "mqtt://[::1]:1883/lab" << false << ""
                                          << "::1" << 1883 << "lab"
                                          << "[::1]:1883";
        QTest::newRow("IPv6 without a port") << "mqtts://[fe80::1:2]/lab" << true << ""
                                             << "fe80::1:2" << 8883 << "lab"
                                             << "[fe80::1:2]:8883";
        QTest::newRow("highest port") << "mqtt://h:65535/p" << false << ""
                                      << "h" << 65535 << "p"
                                      << "h:65535";
        QTest::newRow("leading zeros in the port") << "mqtt://h:01883/p" << false << ""
                                                   << "h" << 1883 << "p"
                                                   << "h:1883";
        QTest::newRow("a trailing slash is not a level") << "mqtt://h/lab/meter1/" << false << ""
                                                         << "h" << 1883 << "lab/meter1"
                                                         << "h:1883";
        QTest::newRow("escapes in user and prefix")
            << "mqtt://me%40lab@h/hall%20A" << false << "me@lab"
            << "h" << 1883 << "hall A"
            << "h:1883";
        QTest::newRow("UTF-8 prefix") << "mqtt://h/Küche" << false << ""
                                      << "h" << 1883 << "Küche"
                                      << "h:1883";
    }
    void aGoodUrlNamesTheBrokerAndThePrefix() {
        QFETCH(QString, url);
        QString error;
        const auto parsed = mqtt::parseBrokerUrl(url, &error);
        QVERIFY2(parsed, qPrintable(error));
        QTEST(parsed->tls, "tls");
        QTEST(parsed->user, "user");
        QTEST(parsed->host, "host");
        QTEST(int(parsed->port), "port");
        QTEST(parsed->prefix, "prefix");
        QTEST(parsed->where(), "where");
    }

    void aBadUrlIsRefusedSayingWhy_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("says");
        QTest::newRow("no scheme") << "localhost/lab"
                                   << "must start with mqtt:// or mqtts://";
        QTest::newRow("another scheme") << "http://h/lab"
                                        << "must start with mqtt:// or mqtts://";
        QTest::newRow("no prefix") << "mqtt://h"
                                   << "needs a topic prefix";
        QTest::newRow("an empty prefix") << "mqtt://h/"
                                         << "needs a topic prefix";
        QTest::newRow("no host") << "mqtt:///lab"
                                 << "names no host";
        QTest::newRow("port 0") << "mqtt://h:0/p"
                                << "from 1 to 65535, not '0'";
        QTest::newRow("port too high") << "mqtt://h:65536/p"
                                       << "from 1 to 65535, not '65536'";
        QTest::newRow("empty port") << "mqtt://h:/p"
                                    << "from 1 to 65535, not ''";
        QTest::newRow("a sign before the port") << "mqtt://h:+80/p"
                                                << "not '+80'";
        QTest::newRow("IPv6 without brackets") << "mqtt://::1/p"
                                               << "goes in brackets";
        QTest::newRow("unclosed bracket") << "mqtt://[::1/p"
                                          << "has no ']'";
        QTest::newRow("not IPv6 in brackets") << "mqtt://[localhost]/p"
                                              << "not an IPv6 address";
        QTest::newRow("junk after the brackets") << "mqtt://[::1]x/p"
                                                 << "after the IPv6";
        QTest::newRow("not an IPv4 address") << "mqtt://999.1.1.1/p"
                                             << "not an IPv4 address";
        QTest::newRow("odd characters in the host") << "mqtt://h$st/p"
                                                    << "not a host name";
        QTest::newRow("empty user") << "mqtt://@h/p"
                                    << "user before '@' is empty";
        QTest::newRow("single-level wildcard") << "mqtt://h/lab/+"
                                               << "wildcards";
        QTest::newRow("multi-level wildcard") << "mqtt://h/lab/#"
                                              << "wildcards";
        QTest::newRow("escaped wildcard") << "mqtt://h/lab%23"
                                          << "wildcards";
        QTest::newRow("broker's own topics") << "mqtt://h/$SYS/x"
                                             << "broker's own";
        QTest::newRow("empty level") << "mqtt://h/lab//m"
                                     << "empty level";
        QTest::newRow("a query") << "mqtt://h/lab?x=1"
                                 << "no query";
        QTest::newRow("a space") << "mqtt://h/lab 1"
                                 << "spaces";
        QTest::newRow("a broken escape") << "mqtt://h/lab%2"
                                         << "two hex digits";
        QTest::newRow("an escaped control character") << "mqtt://h/lab%0A"
                                                      << "control character";
        QTest::newRow("escapes that are not UTF-8") << "mqtt://h/lab%FF"
                                                    << "not UTF-8";
    }
    void aBadUrlIsRefusedSayingWhy() {
        QFETCH(QString, url);
        QFETCH(QString, says);
        QString error;
        QVERIFY(!mqtt::parseBrokerUrl(url, &error));
        QVERIFY2(error.contains(says), qPrintable(error));
        QVERIFY2(error.startsWith(QStringLiteral("bad MQTT URL")), qPrintable(error));
    }

    // The password would show in the process list and the shell's history.
    void aPasswordInTheUrlIsRefusedWithoutRepeatingIt() {
        QString error;
        QVERIFY(!mqtt::parseBrokerUrl(QStringLiteral("mqtt://meter:s3cret@h/lab"), &error));
        QVERIFY2(error.contains(QStringLiteral("QUADTHERM_MQTT_PASSWORD")), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("--mqtt-password-file")), qPrintable(error));
        QVERIFY2(!error.contains(QStringLiteral("s3cret")), qPrintable(error));
    }

    void theOptionsAreTakenOutWhereverTheyStand() {
        QStringList args{"--simulate", "record",  "--mqtt",          "mqtt://h/lab",
                         "--out",      "run.4ch", "--mqtt-discovery"};
        const auto taken = mqtt::takeMqttOptions(args, {});
        QVERIFY2(taken.error.isEmpty(), qPrintable(taken.error));
        QVERIFY(taken.options);
        QCOMPARE(args, (QStringList{"--simulate", "record", "--out", "run.4ch"}));
        QCOMPARE(taken.options->broker.prefix, QStringLiteral("lab"));
        QVERIFY(taken.options->discovery);
        QVERIFY(!taken.options->password);
        QCOMPARE(taken.options->queueLimit, 10000);
    }

    void withoutMqttNothingIsTaken() {
        QStringList args{"--simulate", "watch", "--count", "3"};
        const auto taken = mqtt::takeMqttOptions(args, {});
        QVERIFY(taken.error.isEmpty());
        QVERIFY(!taken.options);
        QCOMPARE(args.size(), 4);
    }

    void thePasswordComesFromTheFileOrElseTheEnvironment_data() {
        QTest::addColumn<QString>("fileText"); // empty: no --mqtt-password-file
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("password");
        QTest::newRow("environment") << ""
                                     << "from-env"
                                     << "from-env";
        QTest::newRow("file, first line without its end") << "from-file\nsecond line\n"
                                                          << ""
                                                          << "from-file";
        QTest::newRow("file with CR LF") << "dos\r\n"
                                         << ""
                                         << "dos";
        QTest::newRow("the file wins over the environment") << "file\n"
                                                            << "env"
                                                            << "file";
        QTest::newRow("an empty environment value is a password") << ""
                                                                  << "<empty>"
                                                                  << "";
    }
    void thePasswordComesFromTheFileOrElseTheEnvironment() {
        QFETCH(QString, fileText);
        QFETCH(QString, environment);
        QTemporaryDir dir;
        QStringList args{"--mqtt", "mqtt://meter@h/lab"};
        if (!fileText.isEmpty()) {
            QFile file(dir.filePath("password"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(fileText.toUtf8());
            args << "--mqtt-password-file=" + file.fileName();
        }
        QProcessEnvironment env;
        if (!environment.isEmpty())
            env.insert("QUADTHERM_MQTT_PASSWORD",
                       environment == "<empty>" ? QString() : environment);
        const auto taken = mqtt::takeMqttOptions(args, env);
        QVERIFY2(taken.error.isEmpty(), qPrintable(taken.error));
        QVERIFY(taken.options->password);
        QTEST(*taken.options->password, "password");
        QCOMPARE(taken.options->broker.user, QStringLiteral("meter"));
    }

    void aWrongCombinationIsAUsageError_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("environment"); // NAME=VALUE or empty
        QTest::addColumn<QString>("says");
        QTest::newRow("no URL after --mqtt") << QStringList{"record", "--mqtt"} << ""
                                             << "--mqtt needs a URL";
        QTest::newRow("--mqtt twice")
            << QStringList{"--mqtt", "mqtt://h/a", "--mqtt=mqtt://h/b"} << ""
            << "given twice";
        QTest::newRow("discovery twice")
            << QStringList{"--mqtt", "mqtt://h/a", "--mqtt-discovery", "--mqtt-discovery"} << ""
            << "given twice";
        QTest::newRow("discovery without --mqtt") << QStringList{"--mqtt-discovery"} << ""
                                                  << "--mqtt-discovery goes with --mqtt URL";
        QTest::newRow("a CA file for a plain URL")
            << QStringList{"--mqtt", "mqtt://h/a", "--mqtt-cafile", "/etc/hostname"} << ""
            << "is for mqtts://";
        QTest::newRow("a CA file that is not there")
            << QStringList{"--mqtt", "mqtts://h/a", "--mqtt-cafile", "/nonexistent/ca.pem"} << ""
            << "cannot read the CA file '/nonexistent/ca.pem'";
        QTest::newRow("a password file that is not there")
            << QStringList{"--mqtt", "mqtt://u@h/a", "--mqtt-password-file", "/nonexistent/pw"}
            << ""
            << "cannot read the password file '/nonexistent/pw'";
        QTest::newRow("a password without a user")
            << QStringList{"--mqtt", "mqtt://h/a"} << "QUADTHERM_MQTT_PASSWORD=x"
            << "names no user";
        QTest::newRow("a queue size that is not a number")
            << QStringList{"--mqtt", "mqtt://h/a"} << "QUADTHERM_MQTT_QUEUE_LIMIT=lots"
            << "QUADTHERM_MQTT_QUEUE_LIMIT must be a whole number from 1 to 1000000, not 'lots'";
        QTest::newRow("an empty queue")
            << QStringList{"--mqtt", "mqtt://h/a"} << "QUADTHERM_MQTT_QUEUE_LIMIT=0"
            << "not '0'";
        QTest::newRow("a bad URL") << QStringList{"--mqtt", "mqtt://h"} << ""
                                   << "bad MQTT URL 'mqtt://h'";
    }
    void aWrongCombinationIsAUsageError() {
        QFETCH(QStringList, args);
        QFETCH(QString, environment);
        QFETCH(QString, says);
        QProcessEnvironment env;
        if (!environment.isEmpty())
            env.insert(environment.section(u'=', 0, 0), environment.section(u'=', 1));
        const auto taken = mqtt::takeMqttOptions(args, env);
        QVERIFY(!taken.options);
        QVERIFY2(taken.error.contains(says), qPrintable(taken.error));
    }
};

QUADTHERM_TEST_SUITE(TestMqttOptions, Core)

} // namespace tst_mqtt_options

#include "tst_mqtt_options.moc"
