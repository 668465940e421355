// quadtherm-cli against quadtherm-meter-sim through a real pseudo-terminal,
// as a user's serial adapter would be.

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
    qint64 ms = 0;
};

class MeterSim {
public:
    explicit MeterSim(const QStringList& options = {}) {
        m_process.start(QStringLiteral(QUADTHERM_SIM_PATH), QStringList{"--verbose"} + options);
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
            m_device = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~MeterSim() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    QString device() const { return m_device; }
    // Every request the meter received, one hex line each ("57 00 01 00").
    QStringList requests() {
        QTest::qWait(150); // the log line follows the last byte
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        QStringList lines;
        static const QRegularExpression line(
            QStringLiteral("s\\s+([0-9A-Fa-f]{2}(?: [0-9A-Fa-f]{2})*)"));
        for (auto it = line.globalMatch(m_log); it.hasNext();)
            lines.append(it.next().captured(1).toUpper());
        return lines;
    }

private:
    QProcess m_process;
    QString m_device;
    QString m_log;
};

Run cli(const QStringList& args, int timeoutMs = 30000) {
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(QUADTHERM_CLI_PATH), args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.ms = t.elapsed();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString describe(const Run& r) {
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(r.exitCode).arg(r.out, r.err);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandsPrintAndWriteWhatTheyShould_data();
    void commandsPrintAndWriteWhatTheyShould();
    void settingsReadBackFromTheSameMeter();
    void watchPrintsEveryChannel();
    void silentMeterEndsWithStatusTwoWithinTheTimeout();
    void missingDeviceEndsWithStatusTwo();
    void helpListsEveryCommand();
};

void TestCli::commandsPrintAndWriteWhatTheyShould_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");  // a pattern for the whole standard output
    QTest::addColumn<QString>("request"); // the last request written; "" for none at all

    const QString date = QStringLiteral("20\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d");
    QTest::newRow("status") << QStringList{"status"} << 0
                            << "memory_pointer: (\\d+)\nmanual_count: 3\n"
                            << "41";
    QTest::newRow("clock") << QStringList{"clock"} << 0 << date + "\n"
                           << "58";
    QTest::newRow("clock --set") << QStringList{"clock", "--set"} << 0
                                 << "meter clock set to " + date + "\n"
                                 << "54 .. .. ..";
    QTest::newRow("interval") << QStringList{"interval"} << 0 << "\\d+\n"
                              << "55 00 00 00";
    QTest::newRow("interval 300") << QStringList{"interval", "300"} << 0 << ".*255 s\n"
                                  << "55 01 FF 00";
    QTest::newRow("interval 0") << QStringList{"interval", "0"} << 0 << ".*1 s\n"
                                << "55 01 01 00";
    QTest::newRow("poweroff") << QStringList{"poweroff"} << 0 << "(5|15|30)\n"
                              << "56 00 00 00";
    QTest::newRow("poweroff 30") << QStringList{"poweroff", "30"} << 0 << ".*30 minutes\n"
                                 << "56 01 02 00";
    QTest::newRow("poweroff 5") << QStringList{"poweroff", "5"} << 0 << ".*5 minutes\n"
                                << "56 01 00 00";
    QTest::newRow("poweroff 7 is refused") << QStringList{"poweroff", "7"} << 1 << ""
                                           << "";
    QTest::newRow("memsize") << QStringList{"memsize"} << 0 << "8 \\(512 K\\)\n"
                             << "59 00";
    QTest::newRow("memsize 3 becomes 1") << QStringList{"memsize", "3"} << 0 << ".*1 \\(64 K\\)\n"
                                         << "59 01 01";
    QTest::newRow("memsize 4") << QStringList{"memsize", "4"} << 0 << ".*4 \\(256 K\\)\n"
                               << "59 01 04";
    QTest::newRow("key HOLD") << QStringList{"key", "HOLD"} << 0 << "pressed HOLD\n"
                              << "57 00 01 00";
    QTest::newRow("key type") << QStringList{"key", "type"} << 0 << "pressed TYPE\n"
                              << "57 80 00 00";
    QTest::newRow("key DOWN") << QStringList{"key", "DOWN"} << 0 << ".*\n"
                              << "57 00 20 00";
    QTest::newRow("key MAXMIN") << QStringList{"key", "MAXMIN"} << 0 << ".*\n"
                                << "57 20 00 00";
    QTest::newRow("key MAXMIN --long") << QStringList{"key", "MAXMIN", "--long"} << 0 << ".*\n"
                                       << "57 00 00 04";
    QTest::newRow("key MEM") << QStringList{"key", "MEM"} << 0 << ".*\n"
                             << "57 40 00 00";
    QTest::newRow("key MEM --long") << QStringList{"key", "MEM", "--long"} << 0 << ".*\n"
                                    << "57 00 80 00";
    QTest::newRow("unknown key is refused") << QStringList{"key", "FOO"} << 1 << ""
                                            << "";
    QTest::newRow("HOLD has no long press") << QStringList{"key", "HOLD", "--long"} << 1 << ""
                                            << "";
    QTest::newRow("erase needs --yes") << QStringList{"erase", "auto"} << 1 << ""
                                       << "";
    QTest::newRow("erase auto") << QStringList{"erase", "auto", "--yes"} << 0
                                << "record sets erased\n"
                                << "57 00 00 02";
    QTest::newRow("erase manual") << QStringList{"erase", "manual", "--yes"} << 0
                                  << "manual readings erased\n"
                                  << "57 00 00 01";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 1 << ""
                                     << "";
}

void TestCli::commandsPrintAndWriteWhatTheyShould() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, request);
    MeterSim sim({"--manual", "3", "--sets", "1", "--records", "5"});
    QVERIFY(!sim.device().isEmpty());
    const Run r = cli(QStringList{"--port", sim.device(), "--timeout", "5"} + args);
    QVERIFY2(r.exitCode == exitCode, qPrintable(describe(r)));
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(output),
                                     QRegularExpression::DotMatchesEverythingOption);
    QVERIFY2(pattern.match(r.out).hasMatch(), qPrintable(describe(r)));
    if (exitCode != 0)
        QVERIFY(r.err.contains("quadtherm-cli: "));

    const QStringList requests = sim.requests();
    if (request.isEmpty()) {
        QVERIFY2(requests.isEmpty(), qPrintable(requests.join(" | ")));
        return;
    }
    QVERIFY(!requests.isEmpty());
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(request))
                 .match(requests.last())
                 .hasMatch(),
             qPrintable(requests.join(" | ")));
    // Every request follows a status exchange.
    for (qsizetype i = 0; i < requests.size(); ++i)
        if (requests[i] != "41")
            QVERIFY2(i > 0 && requests[i - 1] == "41", qPrintable(requests.join(" | ")));
}

void TestCli::settingsReadBackFromTheSameMeter() {
    MeterSim sim;
    const QStringList port{"--port", sim.device()};
    QCOMPARE(cli(port + QStringList{"interval", "30"}).exitCode, 0);
    QCOMPARE(cli(port + QStringList{"interval"}).out, QStringLiteral("30\n"));
    QCOMPARE(cli(port + QStringList{"poweroff", "15"}).exitCode, 0);
    QCOMPARE(cli(port + QStringList{"poweroff"}).out, QStringLiteral("15\n"));
    QCOMPARE(cli(port + QStringList{"memsize", "2"}).exitCode, 0);
    QCOMPARE(cli(port + QStringList{"memsize"}).out, QStringLiteral("2 (128 K)\n"));
}

void TestCli::watchPrintsEveryChannel() {
    MeterSim sim({"--types", "K,J,T,E", "--no-probe", "2"});
    const Run r = cli({"--port", sim.device(), "watch", "--count", "12"});
    QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 12);
    static const QRegularExpression reading(
        QStringLiteral("^T([134])  ([KJTE])  -?\\d+\\.\\d °F  -?\\d*\\.\\d °C$"));
    QSet<QString> channels;
    for (const QString& line : lines) {
        if (line.startsWith("T2")) {
            QCOMPARE(line, QStringLiteral("T2  J  - - -"));
        } else {
            const auto m = reading.match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line));
            QCOMPARE(m.captured(2), QStringList({"K", "J", "T", "E"})[m.captured(1).toInt() - 1]);
        }
        channels.insert(line.left(2));
    }
    QCOMPARE(channels.size(), 4);
}

void TestCli::silentMeterEndsWithStatusTwoWithinTheTimeout() {
    MeterSim sim({"--silent"});
    for (const QStringList& command :
         {QStringList{"status"}, QStringList{"watch", "--count", "1"}}) {
        const Run r = cli(QStringList{"--port", sim.device(), "--timeout", "1"} + command);
        QVERIFY2(r.exitCode == 2, qPrintable(describe(r)));
        QVERIFY(r.err.contains("did not answer within 1 s"));
        QVERIFY2(r.ms < 4000, qPrintable(QString::number(r.ms)));
    }
}

void TestCli::missingDeviceEndsWithStatusTwo() {
    const Run r = cli({"--port", "/dev/quadtherm-no-such-device", "status"});
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.err.contains("cannot open /dev/quadtherm-no-such-device"));
    QCOMPARE(cli({"status"}).exitCode, 1); // neither --port nor --simulate
}

void TestCli::helpListsEveryCommand() {
    const Run r = cli({"--help"});
    QCOMPARE(r.exitCode, 0);
    for (const char* word : {"status", "clock --set", "interval", "poweroff", "memsize", "key NAME",
                             "erase", "watch", "--timeout", "--simulate"})
        QVERIFY2(r.out.contains(QLatin1String(word)), word);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
