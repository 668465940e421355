// quadtherm-cli and quadtherm serving --listen, end to end: what the
// commands accept, an address in use, and a real Prometheus server scraping
// the live values.

#include "support/cli_process.h"
#include "support/test_suite.h"
#include "support/web_process.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <map>
#include <set>

namespace tst_http_programs {

using namespace quadtherm::test;

namespace {

const QString kCli = QStringLiteral(QUADTHERM_CLI_PATH);

QJsonObject json(const QByteArray& bytes) {
    return QJsonDocument::fromJson(bytes).object();
}

// "T1" -> its value, from /api/live.
std::map<QString, double> liveValues(quint16 port) {
    std::map<QString, double> values;
    for (const auto& channel : json(httpGet(port, "/api/live").body)[u"channels"].toArray())
        values[channel[u"channel"].toString()] = channel[u"value"].toDouble();
    return values;
}

} // namespace

class TestHttpPrograms : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void watchServesWhatItReads() {
        ListeningProgram cli(kCli, {"--simulate", "watch", "--listen", "127.0.0.1:0"});
        QVERIFY2(cli.waitUntilServing(), cli.err().constData());
        QVERIFY(cli.waitForReadings());
        const QJsonObject live = json(httpGet(cli.port(), "/api/live").body);
        QCOMPARE(live[u"port"].toString(), QStringLiteral("SIM"));
        QCOMPARE(live[u"link"].toBool(), true);
        QCOMPARE(live[u"recording"].toBool(), false);
        const QJsonArray channels = live[u"channels"].toArray();
        QCOMPARE(channels.size(), 4);
        // The simulated meter: T1 K about 72.5 °F, shown in °C.
        QCOMPARE(channels[0][u"type"].toString(), QStringLiteral("K"));
        QCOMPARE(channels[0][u"unit"].toString(), QStringLiteral("celsius"));
        QVERIFY(channels[0][u"value"].toDouble() > 15 && channels[0][u"value"].toDouble() < 30);
        // And it still prints what it reads.
        QByteArray printed;
        QVERIFY(QTest::qWaitFor([&] { return (printed += cli.out()).contains("T1  K  "); }, 5000));
        QVERIFY2(cli.stop() == 143, cli.err().constData());
    }

    void recordServesItsRecordCount() {
        QTemporaryDir dir;
        ListeningProgram cli(
            kCli, {"--simulate", "record", "--out", dir.filePath("run.4ch"), "--listen", "0"});
        QVERIFY2(cli.waitUntilServing(), cli.err().constData());
        QByteArray metrics;
        QVERIFY(QTest::qWaitFor(
            [&] {
                metrics = httpGet(cli.port(), "/metrics").body;
                return metrics.contains("quadtherm_records_written{port=\"SIM\"} 3\n");
            },
            20000));
        QVERIFY(metrics.contains("quadtherm_recording{port=\"SIM\"} 1\n"));
        QVERIFY2(cli.stop() == 0, cli.err().constData());
    }

    void anAddressInUseEndsTheCommandBeforeTheMeterIsAsked() {
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
        const QString port = QString::number(taken.serverPort());
        // Not even the port is opened: a device that does not exist is not noticed.
        const Run run = cli({"--port", "/dev/quadtherm-none", "watch", "--listen", port});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("cannot listen on 127.0.0.1:%1: ").arg(port)),
                 qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    void theListenOptionsAreCheckedBeforeTheMeterIsAsked_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("a command that does not poll")
            << QStringList{"status", "--listen", "8080"}
            << "--listen is an option of watch and record";
        QTest::newRow("a host name") << QStringList{"watch", "--listen", "meter.example:80"}
                                     << "'meter.example' is not an IP address";
        QTest::newRow("no port") << QStringList{"watch", "--listen"} << "--listen needs a value";
        QTest::newRow("an auth file alone") << QStringList{"watch", "--listen-auth-file", "users"}
                                            << "--listen-auth-file needs --listen";
        QTest::newRow("an auth file others may read")
            << QStringList{"watch", "--listen", "0", "--listen-auth-file", "GROUP_READABLE"}
            << "make it yours alone: chmod 600";
    }
    void theListenOptionsAreCheckedBeforeTheMeterIsAsked() {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        QTemporaryDir dir;
        QFile users(dir.filePath("users"));
        QVERIFY(users.open(QIODevice::WriteOnly));
        users.write("ann:secret\n");
        users.close();
        users.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        args.replaceInStrings("GROUP_READABLE", users.fileName());
        const Run run = cli(QStringList{"--port", "/dev/quadtherm-none"} + args);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
    }

    void listeningBeyondThisComputerIsSaid() {
        ListeningProgram cli(kCli, {"--simulate", "watch", "--listen", "0.0.0.0:0"});
        QVERIFY2(cli.waitUntilServing(), cli.err().constData());
        QVERIFY2(cli.err().contains("listening on 0.0.0.0:" + QByteArray::number(cli.port()) +
                                    ", beyond this computer"),
                 cli.err().constData());
        QVERIFY(cli.err().contains("--listen-auth-file asks for a password"));
        QCOMPARE(httpGet(cli.port(), "/api/live").status, 200);
    }

    void thePasswordProtectsTheCommandsServer() {
        QTemporaryDir dir;
        QFile users(dir.filePath("users"));
        QVERIFY(users.open(QIODevice::WriteOnly));
        users.write("ann:secret\n");
        users.close();
        users.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        ListeningProgram cli(
            kCli, {"--simulate", "watch", "--listen", "0", "--listen-auth-file", users.fileName()});
        QVERIFY2(cli.waitUntilServing(), cli.err().constData());
        QCOMPARE(httpGet(cli.port(), "/metrics").status, 401);
        QCOMPARE(httpGet(cli.port(), "/metrics",
                         "Authorization: Basic " + QByteArray("ann:secret").toBase64() + "\r\n")
                     .status,
                 200);
    }

    // promtool on what the running tool serves, and a Prometheus server that
    // scrapes it once a second: its query API gives the values /api/live gave.
    void prometheusScrapesTheLiveValues() {
        ListeningProgram cli(kCli, {"--simulate", "watch", "--listen", "0"});
        QVERIFY2(cli.waitUntilServing(), cli.err().constData());
        QVERIFY(cli.waitForReadings());

        QProcess promtool;
        promtool.start("promtool", {"check", "metrics"});
        QVERIFY2(promtool.waitForStarted(), "promtool is missing: run scripts/setup");
        promtool.write(httpGet(cli.port(), "/metrics").body);
        promtool.closeWriteChannel();
        QVERIFY(promtool.waitForFinished(20000));
        QVERIFY2(promtool.exitCode() == 0, promtool.readAll().constData());

        QTemporaryDir dir;
        QFile config(dir.filePath("prometheus.yml"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                                    "scrape_configs:\n  - job_name: quadtherm\n"
                                    "    static_configs:\n      - targets: ['127.0.0.1:%1']\n")
                         .arg(cli.port())
                         .toUtf8());
        config.close();
        const quint16 promPort = freeLoopbackPort();
        QProcess prometheus;
        prometheus.start("prometheus",
                         {"--config.file=" + config.fileName(),
                          QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(promPort),
                          "--storage.tsdb.path=" + dir.filePath("data"), "--log.level=warn"});
        QVERIFY2(prometheus.waitForStarted(), "prometheus is missing: run scripts/setup");
        const auto stopPrometheus = qScopeGuard([&] {
            ::kill(pid_t(prometheus.processId()), SIGTERM);
            if (!prometheus.waitForFinished(10000))
                prometheus.kill();
        });

        // Every value /api/live shows meanwhile, by channel.
        std::map<QString, std::set<double>> shown;
        QJsonArray result;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         for (const auto& [channel, value] : liveValues(cli.port()))
                             shown[channel].insert(value);
                         result =
                             json(httpGet(promPort, "/api/v1/query?query=quadtherm_temperature")
                                      .body)[u"data"][u"result"]
                                 .toArray();
                         return result.size() == 4;
                     },
                     30000),
                 prometheus.readAllStandardError().constData());
        for (const auto& sample : result) {
            const QJsonObject labels = sample[u"metric"].toObject();
            const QString channel = labels[u"channel"].toString();
            QCOMPARE(labels[u"port"].toString(), QStringLiteral("SIM"));
            QCOMPARE(labels[u"unit"].toString(), QStringLiteral("celsius"));
            QCOMPARE(labels[u"job"].toString(), QStringLiteral("quadtherm"));
            // Prometheus writes 24.0 as "24": the numbers are compared.
            const QString scraped = sample[u"value"].toArray()[1].toString();
            QStringList seen;
            for (const double value : shown[channel])
                seen << QString::number(value);
            QVERIFY2(shown[channel].count(scraped.toDouble()) == 1,
                     qPrintable(channel + u' ' + scraped + QStringLiteral(" not among ") +
                                seen.join(u' ')));
        }
        const QJsonArray up =
            json(
                httpGet(promPort, "/api/v1/query?query=quadtherm_link_up").body)[u"data"][u"result"]
                .toArray();
        QCOMPARE(up.size(), 1);
        QCOMPARE(up[0][u"value"].toArray()[1].toString(), QStringLiteral("1"));
    }

    void theDesktopProgramServesToo() {
        QTemporaryDir config;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", config.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        ListeningProgram desktop(QStringLiteral(QUADTHERM_APP_PATH),
                                 {"--simulate", "--listen", "127.0.0.1:0"}, environment);
        QVERIFY2(desktop.waitUntilServing(), desktop.err().constData());
        QVERIFY(desktop.waitForReadings(30000));
        QCOMPARE(json(httpGet(desktop.port(), "/api/live").body)[u"port"].toString(),
                 QStringLiteral("SIM"));
        QVERIFY(httpGet(desktop.port(), "/metrics")
                    .body.contains("quadtherm_link_up{port=\"SIM\"} 1\n"));
    }
};

QUADTHERM_TEST_SUITE(TestHttpPrograms, Core)

} // namespace tst_http_programs

#include "tst_http_programs.moc"
