// quadtherm-cli against quadtherm-meter-sim through a real pseudo-terminal,
// as a user's serial adapter would be: the commands, and the data files a
// recording leaves.

#include "support/meter_sim_process.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>

using quadtherm::test::MeterSimProcess;

namespace {

const QByteArray kHeadingKKJT("\xB0"
                              "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n");

struct Run {
    int exitCode = -1;
    QString out, err;
    qint64 ms = 0;
};

Run cli(const QStringList& args) {
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(QUADTHERM_CLI_PATH), args);
    Run r;
    if (!p.waitForFinished(30000)) {
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

// Every request a --verbose simulator received, one hex line each ("57 00 01 00").
QStringList requests(MeterSimProcess& sim) {
    QTest::qWait(150); // the log line follows the last byte
    static const QRegularExpression line(
        QStringLiteral("s\\s+([0-9A-Fa-f]{2}(?: [0-9A-Fa-f]{2})*)"));
    QStringList lines;
    for (auto it = line.globalMatch(sim.readLog()); it.hasNext();)
        lines.append(it.next().captured(1).toUpper());
    return lines;
}

// A recording in progress; its standard output is one line per record.
class Recording {
public:
    Recording(const MeterSimProcess& sim, const QStringList& args) {
        m_process.start(QStringLiteral(QUADTHERM_CLI_PATH),
                        QStringList{"--port", sim.device(), "--timeout", "5", "record"} + args);
        m_process.waitForStarted(5000);
    }
    ~Recording() {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool waitForRecords(int n) {
        while (m_process.state() == QProcess::Running && m_out.count('\n') < n)
            if (m_process.waitForReadyRead(10000))
                m_out += m_process.readAllStandardOutput();
            else
                return false;
        return m_out.count('\n') >= n;
    }
    int finish() {
        if (!m_process.waitForFinished(30000))
            return -1;
        m_out += m_process.readAllStandardOutput();
        m_err = m_process.readAllStandardError();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    void terminate() { m_process.terminate(); }
    QStringList lines() const { return QString::fromLatin1(m_out).split('\n', Qt::SkipEmptyParts); }
    QString err() const { return QString::fromUtf8(m_err); }

private:
    QProcess m_process;
    QByteArray m_out, m_err;
};

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every line of a data file after its heading (by default its first line):
// complete, numbered from `first`, six cells each followed by a TAB, stamped a
// second apart. A single line saying what is wrong otherwise.
QStringList checkRecords(const QByteArray& file, QByteArray heading = {}, int first = 1) {
    if (heading.isEmpty())
        heading = file.left(file.indexOf('\n') + 1);
    if (!file.startsWith(heading) || !file.endsWith("\t\r\n"))
        return {QStringLiteral("bad heading or unfinished line: ") + QString::fromLatin1(file)};
    static const QRegularExpression record(QStringLiteral(
        R"(^(\d+)\t(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)(\t(- - -|Over|Under|-?\d*\.\d)){4}\t$)"));
    QStringList records;
    QDateTime previous;
    for (const QByteArray& line : file.mid(heading.size()).split('\n')) {
        if (line.isEmpty())
            continue;
        const QString text = QString::fromLatin1(line);
        const auto m = record.match(text.chopped(1));
        if (!line.endsWith('\r') || !m.hasMatch() ||
            m.captured(1).toInt() != first + records.size())
            return {QStringLiteral("bad record line: ") + text};
        const QDateTime at = QDateTime::fromString(m.captured(2), "yyyy/MM/dd HH:mm:ss");
        if (previous.isValid() && qAbs(previous.secsTo(at) - 1) > 1)
            return {QStringLiteral("records not a second apart: ") + text};
        previous = at;
        records.append(text.chopped(2));
    }
    return records;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandsPrintAndWriteWhatTheyShould_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");  // a pattern for the whole standard output
        QTest::addColumn<QString>("request"); // the last request written; "" for none at all
        auto row = [](const char* args, int exitCode, const QString& output, const char* request) {
            QTest::newRow(args) << QString(args).split(' ') << exitCode << output
                                << QString(request);
        };
        const QString date = QStringLiteral("20\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d");
        row("status", 0, "memory_pointer: (\\d+)\nmanual_count: 3\n", "41");
        row("clock", 0, date + "\n", "58");
        row("clock --set", 0, "meter clock set to " + date + "\n", "54 .. .. ..");
        row("interval", 0, "\\d+\n", "55 00 00 00");
        row("interval 300", 0, ".*255 s\n", "55 01 FF 00");
        row("interval 0", 0, ".*1 s\n", "55 01 01 00");
        row("poweroff", 0, "(5|15|30)\n", "56 00 00 00");
        row("poweroff 30", 0, ".*30 minutes\n", "56 01 02 00");
        row("poweroff 5", 0, ".*5 minutes\n", "56 01 00 00");
        row("memsize", 0, "8 \\(512 K\\)\n", "59 00");
        row("memsize 3", 0, ".*1 \\(64 K\\)\n", "59 01 01");
        row("memsize 4", 0, ".*4 \\(256 K\\)\n", "59 01 04");
        row("key HOLD", 0, "pressed HOLD\n", "57 00 01 00");
        row("key type", 0, "pressed TYPE\n", "57 80 00 00");
        row("key DOWN", 0, ".*\n", "57 00 20 00");
        row("key MAXMIN", 0, ".*\n", "57 20 00 00");
        row("key MAXMIN --long", 0, ".*\n", "57 00 00 04");
        row("key MEM", 0, ".*\n", "57 40 00 00");
        row("key MEM --long", 0, ".*\n", "57 00 80 00");
        row("erase auto --yes", 0, "record sets erased\n", "57 00 00 02");
        row("erase manual --yes", 0, "manual readings erased\n", "57 00 00 01");
        // Refused before a byte is written.
        row("poweroff 7", 1, "", "");
        row("key FOO", 1, "", "");
        row("key HOLD --long", 1, "", "");
        row("erase auto", 1, "", "");
        row("frobnicate", 1, "", "");
    }
    void commandsPrintAndWriteWhatTheyShould() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, request);
        MeterSimProcess sim({"--verbose", "--manual", "3", "--sets", "1", "--records", "5"});
        QVERIFY(!sim.device().isEmpty());
        const Run r = cli(QStringList{"--port", sim.device(), "--timeout", "5"} + args);
        QVERIFY2(r.exitCode == exitCode, qPrintable(describe(r)));
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(output),
                                         QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(pattern.match(r.out).hasMatch(), qPrintable(describe(r)));
        if (exitCode != 0)
            QVERIFY(r.err.contains("quadtherm-cli: "));
        const QStringList written = requests(sim);
        const QString log = written.join(" | ");
        QVERIFY2(written.isEmpty() == request.isEmpty(), qPrintable(log));
        if (request.isEmpty())
            return;
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(request))
                     .match(written.last())
                     .hasMatch(),
                 qPrintable(log));
        // Every request follows a status exchange.
        for (qsizetype i = 0; i < written.size(); ++i)
            if (written[i] != "41")
                QVERIFY2(i > 0 && written[i - 1] == "41", qPrintable(log));
    }

    void settingsReadBackFromTheSameMeter() {
        MeterSimProcess sim;
        const QStringList port{"--port", sim.device()};
        QCOMPARE(cli(port + QStringList{"interval", "30"}).exitCode, 0);
        QCOMPARE(cli(port + QStringList{"interval"}).out, QStringLiteral("30\n"));
        QCOMPARE(cli(port + QStringList{"poweroff", "15"}).exitCode, 0);
        QCOMPARE(cli(port + QStringList{"poweroff"}).out, QStringLiteral("15\n"));
        QCOMPARE(cli(port + QStringList{"memsize", "2"}).exitCode, 0);
        QCOMPARE(cli(port + QStringList{"memsize"}).out, QStringLiteral("2 (128 K)\n"));
    }

    void watchPrintsEveryChannel() {
        MeterSimProcess sim({"--types", "K,J,T,E", "--no-probe", "2"});
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
                QCOMPARE(m.captured(2),
                         QStringList({"K", "J", "T", "E"})[m.captured(1).toInt() - 1]);
            }
            channels.insert(line.left(2));
        }
        QCOMPARE(channels.size(), 4);
    }

    void silentMeterEndsWithStatusTwoWithinTheTimeout() {
        MeterSimProcess sim({"--silent"});
        QTemporaryDir dir;
        const QString file = dir.filePath("x.4ch");
        for (const QStringList& command :
             {QStringList{"status"}, {"watch", "--count", "1"}, {"record", "--out", file}}) {
            const Run r = cli(QStringList{"--port", sim.device(), "--timeout", "1"} + command);
            QVERIFY2(r.exitCode == 2, qPrintable(describe(r)));
            QVERIFY(r.err.contains("did not answer within 1 s"));
            QVERIFY2(r.ms < 4000, qPrintable(QString::number(r.ms)));
        }
        QVERIFY(!QFile::exists(file));
    }

    void missingDeviceEndsWithStatusTwo() {
        const Run r = cli({"--port", "/dev/quadtherm-no-such-device", "status"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("cannot open /dev/quadtherm-no-such-device"));
        QCOMPARE(cli({"status"}).exitCode, 1); // neither --port nor --simulate
    }

    void helpListsEveryCommand() {
        const Run r = cli({"--help"});
        QCOMPARE(r.exitCode, 0);
        for (const char* word : {"status", "clock --set", "interval", "poweroff", "memsize",
                                 "key NAME", "erase", "watch", "record", "--timeout", "--simulate"})
            QVERIFY2(r.out.contains(QLatin1String(word)), word);
    }

    void recordingWritesTheSameLinesItPrints_data() {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QByteArray>("heading");
        QTest::addColumn<int>("records");
        QTest::addColumn<double>("t1Low"); // T1 reads about 72.5 °F
        QTest::addColumn<double>("t1High");
        QTest::newRow("°C, T3 without a probe")
            << QStringList{"--types", "K,J,E,T", "--no-probe", "3"}
            << QByteArray("\xB0"
                          "C\tDate Time\tT1 - K\tT2 - J\tT3 - E\tT4 - T\t\r\n")
            << 3 << 15.0 << 30.0;
        QTest::newRow("°F, a type without a letter")
            << QStringList{"--fahrenheit", "--types", "B,C,12,N"}
            << QByteArray("\xB0"
                          "F\tDate Time\tT1 - B\tT2 - C\tT3 - \tT4 - N\t\r\n")
            << 2 << 60.0 << 85.0;
    }
    void recordingWritesTheSameLinesItPrints() {
        QFETCH(QStringList, simOptions);
        QFETCH(QByteArray, heading);
        QFETCH(int, records);
        QFETCH(double, t1Low);
        QFETCH(double, t1High);
        MeterSimProcess sim(simOptions);
        QTemporaryDir dir;
        Recording recording(
            sim, {"--out", dir.filePath("run.4ch"), "--records", QString::number(records)});
        QCOMPARE(recording.finish(), 0);
        const QStringList lines = checkRecords(contents(dir.filePath("run.4ch")), heading);
        QCOMPARE(lines.size(), records);
        QCOMPARE(recording.lines(), lines);
        const QStringList cells = lines[0].split('\t');
        QVERIFY2(cells[2].toDouble() >= t1Low && cells[2].toDouble() <= t1High,
                 qPrintable(lines[0]));
        QCOMPARE(cells[4] == "- - -", simOptions.contains("--no-probe"));
    }

    void everySplitGoesOnInTheNextFile() {
        MeterSimProcess sim;
        QTemporaryDir dir;
        Recording recording(
            sim, {"--out", dir.filePath("run.4ch"), "--records", "5", "--split-records", "2"});
        QCOMPARE(recording.finish(), 0);
        QCOMPARE(checkRecords(contents(dir.filePath("run.4ch")), kHeadingKKJT, 1).size(), 2);
        QCOMPARE(checkRecords(contents(dir.filePath("run-1.4ch")), kHeadingKKJT, 3).size(), 2);
        QCOMPARE(checkRecords(contents(dir.filePath("run-2.4ch")), kHeadingKKJT, 5).size(), 1);
    }

    void terminationLeavesOnlyCompleteLines() {
        MeterSimProcess sim;
        QTemporaryDir dir;
        Recording recording(sim, {"--out", dir.filePath("run.4ch")});
        QVERIFY(recording.waitForRecords(2));
        recording.terminate();
        QCOMPARE(recording.finish(), 0);
        const QByteArray file = contents(dir.filePath("run.4ch"));
        const QStringList records = checkRecords(file);
        QVERIFY2(records.size() >= 2, file);
        QCOMPARE(recording.lines(), records);
    }

    void unitChangeEndsTheRecordingWithStatusFour() {
        MeterSimProcess sim;
        QTemporaryDir dir;
        Recording recording(sim, {"--out", dir.filePath("run.4ch")});
        QVERIFY(recording.waitForRecords(1));
        sim.pressCF();
        QCOMPARE(recording.finish(), 4);
        QVERIFY2(recording.err().contains("the unit changed: recording stopped"),
                 qPrintable(recording.err()));
        const QByteArray file = contents(dir.filePath("run.4ch"));
        const QStringList records = checkRecords(file);
        QVERIFY2(file.startsWith("\xB0"
                                 "C\t") &&
                     !records.isEmpty() && records[0].front().isDigit(),
                 file);
    }

    void recordingFailuresEndWithTheirStatus_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no file") << QStringList{"--records", "1"} << 1 << "record needs --out FILE";
        QTest::newRow("interval not a number") << QStringList{"--out", "x.4ch", "--interval", "nan"}
                                               << 1 << "the interval must be a number";
        QTest::newRow("full disk") << QStringList{"--out", "/dev/full"} << 3
                                   << "Cannot write \"/dev/full\": No space left on device";
        QTest::newRow("missing folder")
            << QStringList{"--out", "/quadtherm-no-such/run.4ch"} << 3
            << "Cannot write \"/quadtherm-no-such/run.4ch\": No such file or directory";
    }
    void recordingFailuresEndWithTheirStatus() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        MeterSimProcess sim;
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        Recording recording(sim, args);
        QTEST(recording.finish(), "exitCode");
        QVERIFY2(recording.err().contains(message), qPrintable(recording.err()));
        QVERIFY(!QFile::exists(dir.filePath("x.4ch")));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
