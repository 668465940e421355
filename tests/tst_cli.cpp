// quadtherm-cli against quadtherm-meter-sim through a real pseudo-terminal,
// as a user's serial adapter would be: the commands, and the data files a
// recording leaves.

#include "logger_memory/memory_download.h"
#include "sim/simulated_meter.h"
#include "support/meter_sim_process.h"

#include <QDateTime>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using quadtherm::test::MeterSimProcess;
namespace logger_memory = quadtherm::logger_memory;
namespace sim = quadtherm::sim;

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
    // `stdoutFd`: the child's standard output instead of a pipe the test reads.
    Recording(const MeterSimProcess& sim, const QStringList& args, int stdoutFd = -1) {
        if (stdoutFd >= 0)
            m_process.setChildProcessModifier([stdoutFd] { ::dup2(stdoutFd, STDOUT_FILENO); });
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
    void interrupt() { ::kill(pid_t(m_process.processId()), SIGINT); }
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

// A pipe that nobody reads, its 4096-byte buffer full: a terminal held with
// Ctrl-S, or a pager left on a page.
class BlockedPipe {
public:
    BlockedPipe() {
        if (::pipe2(m_fds, O_CLOEXEC) != 0)
            return;
        ::fcntl(m_fds[1], F_SETPIPE_SZ, 4096);
        ::fcntl(m_fds[1], F_SETFL, O_NONBLOCK);
        const char byte = 'x';
        while (::write(m_fds[1], &byte, 1) == 1) {
        }
        // The child inherits the open file: it must block, as a terminal's does.
        ::fcntl(m_fds[1], F_SETFL, 0);
    }
    ~BlockedPipe() {
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }
    int writeEnd() const { return m_fds[1]; }

private:
    int m_fds[2] = {-1, -1};
};

// A meter played by the test on a pseudo-terminal: it answers every status
// exchange, and each power-off request with the next scripted reply (the
// last one again once they run out).
class PtyMeter {
public:
    explicit PtyMeter(QList<QByteArray> powerOffReplies) : m_replies(std::move(powerOffReplies)) {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_device = QString::fromLocal8Bit(::ptsname(m_master));
        // Held open, raw, so that the master never reads end-of-file between
        // the test and the tool.
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw{};
        ::tcgetattr(m_slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_slave, TCSANOW, &raw);
        m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { answer(); });
    }
    ~PtyMeter() {
        m_notifier.reset();
        ::close(m_slave);
        ::close(m_master);
    }
    QString device() const { return m_device; }

private:
    void answer() {
        char bytes[256];
        const ssize_t n = ::read(m_master, bytes, sizeof bytes);
        if (n > 0)
            m_pending.append(bytes, n);
        while (!m_pending.isEmpty()) {
            QByteArray reply;
            if (m_pending.startsWith('A')) {
                reply = QByteArray("\x02\x00\x20\x00\x00\xFF\x03", 7);
                m_pending.remove(0, 1);
            } else if (m_pending.startsWith('V')) {
                if (m_pending.size() < 4)
                    return;
                reply = m_replies[std::min(m_answered++, m_replies.size() - 1)];
                m_pending.remove(0, 4);
            } else {
                m_pending.remove(0, 1);
            }
            [[maybe_unused]] const ssize_t written = ::write(m_master, reply.data(), reply.size());
        }
    }

    QList<QByteArray> m_replies;
    qsizetype m_answered = 0;
    int m_master = -1;
    int m_slave = -1;
    QString m_device;
    QByteArray m_pending;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

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
        row("interval 255", 0, ".*255 s\n", "55 01 FF 00");
        row("interval 1", 0, ".*1 s\n", "55 01 01 00");
        row("poweroff", 0, "(5|15|30)\n", "56 00 00 00");
        row("poweroff 30", 0, ".*30 minutes\n", "56 01 02 00");
        row("poweroff 5", 0, ".*5 minutes\n", "56 01 00 00");
        row("memsize", 0, "8 \\(512 K\\)\n", "59 00");
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
        // Refused before a byte is written (issue 9: the first three were
        // clamped and sent).
        row("interval 300", 1, "", "");
        row("interval 0", 1, "", "");
        row("memsize 3", 1, "", "");
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
        for (const char* word :
             {"status", "clock --set", "interval", "poweroff", "memsize", "key NAME", "erase",
              "watch", "record", "download auto --out DIR [--set N]", "download manual --out FILE",
              "--timeout", "--simulate", "5 the\nmeter's memory data is damaged"})
            QVERIFY2(r.out.contains(QLatin1String(word)), word);
    }

    // Issue 9: numbers were wrapped (the timeout) or clamped and sent, and
    // arguments were checked only once the port was open.
    void badArgumentsAreRefusedBeforeThePortIsOpened_data() {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* args, const char* message) {
            QTest::newRow(args) << QString(args) << QString(message);
        };
        row("--timeout 2147484 status",
            "the timeout must be a whole number from 1 to 86400, not '2147484'");
        row("--timeout 4294968 status", "from 1 to 86400, not '4294968'");
        row("--timeout 0 status", "from 1 to 86400, not '0'");
        row("interval 0", "the interval must be a whole number from 1 to 255, not '0'");
        row("interval 256", "from 1 to 255, not '256'");
        row("interval 2.5", "from 1 to 255, not '2.5'");
        row("memsize 3", "the memory size is 1, 2, 4 or 8, not '3'");
        row("poweroff 7", "the power-off time is 5, 15 or 30 minutes, not '7'");
        row("watch --count 0", "the count must be a whole number from 1 to 2147483647, not '0'");
        row("record --out x.4ch --interval inf",
            "the interval must be a whole number from 1 to 86400, not 'inf'");
        row("record --out x.4ch --records 99999999999", "not '99999999999'");
        row("bogus", "unknown command 'bogus'");
        row("download", "download takes auto or manual");
        row("download auto", "download auto needs --out DIR");
        row("download manual --out x.4ch --set 1", "download: unknown option '--set'");
        row("download auto --out x.4ch --set 0",
            "the set number must be a whole number from 1 to 2147483647, not '0'");
    }
    void badArgumentsAreRefusedBeforeThePortIsOpened() {
        QFETCH(QString, args);
        QFETCH(QString, message);
        const Run r = cli(QStringList{"--port", "/dev/quadtherm-no-such-device"} + args.split(' '));
        QVERIFY2(r.exitCode == 1 && r.err.contains(message), qPrintable(describe(r)));
        QVERIFY(!QFile::exists("x.4ch"));
    }

    // Issue 11: every set of the meter's memory in a file of its own, as the
    // downloaded-data list saves it in the set's unit.
    void downloadAutoWritesEverySetAsTheDataListSavesIt() {
        const QStringList options{"--sets",          "3",       "--set-masks",   "F,2,5",
                                  "--set-units",     "C,F",     "--set-records", "4,0,3",
                                  "--set-intervals", "1,60,255"};
        MeterSimProcess sim(options + QStringList{"--dump-speed", "20", "--verbose"});
        QTemporaryDir dir;
        const QString out = dir.filePath("sets"); // made by the tool
        const Run r = cli({"--port", sim.device(), "download", "auto", "--out", out});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        const QStringList written = requests(sim);
        QVERIFY2(written.contains("59 00") && written.last() == "52",
                 qPrintable(written.join('|')));
        for (qsizetype i = 0; i < written.size(); ++i)
            if (written[i] != "41")
                QVERIFY2(i > 0 && written[i - 1] == "41", qPrintable(written.join('|')));

        static const QRegularExpression listRow(
            QStringLiteral("^([123])\t2026/01/14 \\d\\d:\\d\\d:\\d\\d\t(\\d+)\t(\\d+)$"));
        const QStringList rows = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 3);
        const QStringList intervals{"1", "60", "255"}, counts{"4", "0", "3"};
        for (int s = 0; s < 3; ++s) {
            const auto m = listRow.match(rows[s]);
            QVERIFY2(m.hasMatch(), qPrintable(rows[s]));
            QCOMPARE(m.captured(1), QString::number(s + 1));
            QCOMPARE(m.captured(2), intervals[s]);
            QCOMPARE(m.captured(3), counts[s]);
        }
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 (QStringList{"set-001.4ch", "set-002.4ch", "set-003.4ch"}));

        // What the file holds, checked by hand: headings in the set's unit,
        // records an interval apart, empty cells outside the mask.
        const QByteArray first = contents(QDir(out).filePath("set-001.4ch"));
        QVERIFY(first.startsWith(kHeadingKKJT));
        QCOMPARE(first.count('\n'), 5);
        QVERIFY(first.contains("\r\n2\t2026/01/14 08:05:01\t"));
        QCOMPARE(contents(QDir(out).filePath("set-002.4ch")),
                 QByteArray("\xB0"
                            "F\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n"));
        const QList<QByteArray> third = contents(QDir(out).filePath("set-003.4ch")).split('\n');
        static const QRegularExpression t1t3(QStringLiteral(
            "^\\d\t2026/01/14 \\d\\d:\\d\\d:\\d\\d\t-?\\d*\\.\\d\t\t-?\\d*\\.\\d\t\t\r$"));
        QCOMPARE(third.size(), 5);
        for (int k = 1; k <= 3; ++k)
            QVERIFY2(t1t3.match(QString::fromLatin1(third[k])).hasMatch(), third[k].constData());

        // Byte for byte: the simulator's own memory, with the same options,
        // as the downloaded-data list would save it.
        sim::SimulatedMeter meter;
        sim::SimulatedMeter::DemoSets demo;
        demo.count = 3;
        demo.masks = {0xF, 0x2, 0x5};
        demo.fahrenheit = {false, true};
        demo.records = {4, 0, 3};
        demo.intervals = {1, 60, 255};
        QVERIFY(meter.fillDemoData(demo, 0));
        const auto walk = logger_memory::walkSets(meter.memory().dataArea());
        QCOMPARE(walk.sets.size(), 3);
        for (const auto& set : walk.sets) {
            const QString expected = dir.filePath(QStringLiteral("expected.4ch"));
            QVERIFY(logger_memory::writeSetFile(set, expected));
            QCOMPARE(contents(QDir(out).filePath(logger_memory::setFileName(set.number))),
                     contents(expected));
        }
    }

    void downloadAutoWithASetNumberWritesOnlyThatSet() {
        MeterSimProcess sim({"--sets", "3", "--dump-speed", "20"});
        QTemporaryDir dir;
        const Run r =
            cli({"--port", sim.device(), "download", "auto", "--out", dir.path(), "--set", "2"});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QVERIFY(r.out.startsWith("2\t"));
        QCOMPARE(r.out.count('\n'), 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"set-002.4ch"});
        QCOMPARE(contents(dir.filePath("set-002.4ch")).count('\n'), 21);
    }

    void downloadManualWritesTheManualListRows() {
        MeterSimProcess sim({"--manual", "4", "--types", "K,J,T,E", "--no-probe", "3"});
        QTemporaryDir dir;
        const QString file = dir.filePath("manual.txt");
        const Run r = cli({"--port", sim.device(), "download", "manual", "--out", file});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        const QList<QByteArray> lines = contents(file).split('\n');
        QCOMPARE(lines.size(), 6); // heading, four readings, the empty rest
        QCOMPARE(lines[0], QByteArray("\t    Date Time\tT1\tT2\tT3\tT4\t\r"));
        static const QRegularExpression reading(
            QStringLiteral("^\xB0[CF]\t20\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\tK: "
                           "-?\\d*\\.\\d\tJ: -?\\d*\\.\\d\t"
                           "T: - - -\tE: -?\\d*\\.\\d\t\r$"));
        const QStringList printed = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(printed.size(), 4);
        for (int k = 1; k <= 4; ++k) {
            const QString line = QString::fromLatin1(lines[k]);
            QVERIFY2(reading.match(line).hasMatch(), lines[k].constData());
            QCOMPARE(printed[k - 1], line.chopped(2));
        }
    }

    void emptyMemoryWritesNoFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("record sets") << "auto"
                                     << "No Data in Memory\n";
        QTest::newRow("manual readings") << "manual"
                                         << "No Manually Recroded Data in Memoy!\n";
    }
    void emptyMemoryWritesNoFile() {
        QFETCH(QString, kind);
        MeterSimProcess sim;
        QTemporaryDir dir;
        const QString out = dir.filePath("out");
        const Run r = cli({"--port", sim.device(), "download", kind, "--out", out});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QTEST(r.out, "message");
        QVERIFY(!QFileInfo::exists(out));
    }

    // Issue 11: a meter that stops in the middle of a dump, damaged memory
    // data and a file that cannot be written each end with their status.
    void downloadFailuresEndWithTheirStatus_data() {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("the meter stops sending record sets")
            << QStringList{"--sets", "2", "--stall-dump-after", "100"}
            << QStringList{"auto", "--out", "sets"} << 2
            << "The meter stopped sending after 100 of 491 bytes (20.4%): the download is "
               "incomplete. Nothing was written."
            << QStringList{};
        QTest::newRow("the meter stops sending manual readings")
            << QStringList{"--manual", "3", "--stall-dump-after", "40"}
            << QStringList{"manual", "--out", "manual.txt"} << 2
            << "The meter stopped sending after 40 of 90 bytes" << QStringList{};
        QTest::newRow("damaged set 2 of 3")
            << QStringList{"--sets", "3", "--damaged-set", "2"}
            << QStringList{"auto", "--out", "sets"} << 5
            << "The memory data is damaged after record set 1 (from byte 303 of the record area "
               "on): no record set starts there. The record sets before it are listed."
            << QStringList{"sets/set-001.4ch"};
        QTest::newRow("a file where the folder should be")
            << QStringList{"--sets", "1"} << QStringList{"auto", "--out", "file/sets"} << 3
            << "Cannot write \"file/sets\": cannot make the folder" << QStringList{};
        QTest::newRow("manual readings to a folder")
            << QStringList{"--manual", "1"} << QStringList{"manual", "--out", "sets"} << 3
            << "Cannot write \"sets\":" << QStringList{};
        QTest::newRow("a set the memory does not hold")
            << QStringList{"--sets", "2"} << QStringList{"auto", "--out", "sets", "--set", "3"} << 1
            << "there is no record set 3: the memory holds 2" << QStringList{};
    }
    void downloadFailuresEndWithTheirStatus() {
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, command);
        QFETCH(QString, message);
        QFETCH(QStringList, written);
        MeterSimProcess sim(simOptions + QStringList{"--dump-speed", "20"});
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        QVERIFY(QDir().mkdir("sets"));
        QVERIFY(QFile("file").open(QIODevice::WriteOnly));
        const Run r = cli(QStringList{"--port", sim.device(), "download"} + command);
        QVERIFY2(r.exitCode >= 0, qPrintable(describe(r)));
        QTEST(r.exitCode, "exitCode");
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QStringList files;
        for (QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files.append(QDir(dir.path()).relativeFilePath(it.next()));
        files.removeAll(QStringLiteral("file"));
        QCOMPARE(files, written);
    }

    // Issue 9: a stray or garbled reply printed a wrong time, or "unknown
    // power-off code 59" with status 0.
    void powerOffTakesOnlyAFramedCode_data() {
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("a code out of range, then 15")
            << QList<QByteArray>{"\x02\x3B\x03", "\x02\x01\x03"} << 0 << "15\n";
        QTest::newRow("a stray byte before the reply")
            << QList<QByteArray>{QByteArray("\x7F\x02\x01\x03")} << 0 << "15\n";
        QTest::newRow("wrong markers, then 15")
            << QList<QByteArray>{QByteArray("\x05\x00\x07", 3), "\x02\x01\x03"} << 0 << "15\n";
        QTest::newRow("never a valid code") << QList<QByteArray>{"\x02\x09\x03"} << 2 << "";
    }
    void powerOffTakesOnlyAFramedCode() {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        PtyMeter meter(replies);
        QVERIFY(!meter.device().isEmpty());
        QProcess p;
        p.start(QStringLiteral(QUADTHERM_CLI_PATH),
                {"--port", meter.device(), "--timeout", "2", "poweroff"});
        // The meter answers from this event loop.
        QVERIFY(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(p.exitCode() == exitCode, qPrintable(out + err));
        QCOMPARE(out, output);
    }

    // Issue 9: a wait heard SIGINT and SIGTERM only when --timeout ran out.
    void signalsEndEveryWaitPromptly_data() {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("status, silent meter, SIGINT")
            << QStringList{"--silent"} << QStringList{"status"} << SIGINT << 130;
        QTest::newRow("clock, silent meter, SIGTERM")
            << QStringList{"--silent"} << QStringList{"clock"} << SIGTERM << 143;
        QTest::newRow("watch, re-synchronising on garbage, SIGINT")
            << QStringList{"--garbage"} << QStringList{"watch"} << SIGINT << 130;
        QTest::newRow("record not started yet, SIGTERM")
            << QStringList{"--silent"} << QStringList{"record", "--out", "x.4ch"} << SIGTERM << 143;
        // A dump of 140 KB at the line's pace takes 73 s.
        QTest::newRow("download in the middle of the dump, SIGINT")
            << QStringList{"--sets", "1", "--records", "10000"}
            << QStringList{"download", "auto", "--out", "x.4ch"} << SIGINT << 130;
    }
    void signalsEndEveryWaitPromptly() {
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, command);
        QFETCH(int, signal);
        MeterSimProcess sim(simOptions);
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        QProcess p;
        p.start(QStringLiteral(QUADTHERM_CLI_PATH),
                QStringList{"--port", sim.device(), "--timeout", "1000"} + command);
        QVERIFY(p.waitForStarted(5000));
        QTest::qWait(1500); // well inside the first wait
        QVERIFY(p.state() == QProcess::Running);
        QElapsedTimer t;
        t.start();
        ::kill(pid_t(p.processId()), signal);
        QVERIFY(p.waitForFinished(10000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(p.exitStatus() == QProcess::NormalExit, qPrintable(err));
        QTEST(p.exitCode(), "exitCode");
        QVERIFY2(
            err.contains(signal == SIGINT ? "interrupted by SIGINT" : "interrupted by SIGTERM"),
            qPrintable(err));
        QVERIFY(!QFile::exists("x.4ch"));
    }

    // Issue 9: Ctrl-S for 20 s left a 19 s gap in the file, and a full pipe
    // ended the recording with status 2 and a false "did not answer".
    void recordingKeepsTimeWhileStandardOutputIsNotRead() {
        MeterSimProcess sim;
        QTemporaryDir dir;
        const QString path = dir.filePath("run.4ch");
        BlockedPipe stdoutPipe;
        Recording recording(sim, {"--out", path}, stdoutPipe.writeEnd());
        // 31 records a second apart (checkRecords), all with stdout blocked.
        QStringList written;
        [[maybe_unused]] const bool enough = QTest::qWaitFor(
            [&] { return (written = checkRecords(contents(path))).size() >= 31; }, 60000);
        QVERIFY2(written.size() >= 31 && written.first().startsWith("1\t"),
                 qPrintable(QStringLiteral("%1 records, the last: %2")
                                .arg(written.size())
                                .arg(written.value(written.size() - 1))));
        // It still ends at once, every line on disk, with stdout still blocked.
        QElapsedTimer t;
        t.start();
        recording.interrupt();
        QCOMPARE(recording.finish(), 0);
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(checkRecords(contents(path)).size() >= written.size());
    }

    // Issue 9: the record before a continuation that could not be created
    // was on disk but not printed.
    void everyRecordOnDiskIsPrinted() {
        MeterSimProcess sim;
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("run-1.4ch")); // in the continuation's way
        Recording recording(
            sim, {"--out", dir.filePath("run.4ch"), "--records", "5", "--split-records", "2"});
        QCOMPARE(recording.finish(), 3);
        QVERIFY2(recording.err().contains("run-1.4ch\": Is a directory"),
                 qPrintable(recording.err()));
        const QStringList records = checkRecords(contents(dir.filePath("run.4ch")), kHeadingKKJT);
        QCOMPARE(records.size(), 2);
        QCOMPARE(recording.lines(), records);
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
        QTest::newRow("interval not a number")
            << QStringList{"--out", "x.4ch", "--interval", "nan"} << 1
            << "the interval must be a whole number from 1 to 86400, not 'nan'";
        // Issue 9: a FIFO held open() forever, deaf to signals and --timeout.
        QTest::newRow("FIFO") << QStringList{"--out", "fifo"} << 3
                              << "Cannot write \"fifo\": Not a regular file";
        QTest::newRow("device") << QStringList{"--out", "/dev/full"} << 3
                                << "Cannot write \"/dev/full\": Not a regular file";
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
        QCOMPARE(::mkfifo("fifo", 0600), 0);
        Recording recording(sim, args);
        QTEST(recording.finish(), "exitCode");
        QVERIFY2(recording.err().contains(message), qPrintable(recording.err()));
        QVERIFY(!QFile::exists(dir.filePath("x.4ch")));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
