// quadtherm-cli record against quadtherm-meter-sim through a pseudo-terminal:
// the data files it leaves, and how it ends.

#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

class MeterSim {
public:
    explicit MeterSim(const QStringList& options = {}) {
        m_process.start(QStringLiteral(QUADTHERM_SIM_PATH), options);
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
            m_device = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~MeterSim() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    QString device() const { return m_device; }
    void pressCF() { ::kill(pid_t(m_process.processId()), SIGUSR2); }

private:
    QProcess m_process;
    QString m_device;
};

// A recording in progress; its standard output is one line per record.
class Recording {
public:
    Recording(const MeterSim& sim, const QStringList& args, int timeout = 5) {
        m_process.start(
            QStringLiteral(QUADTHERM_CLI_PATH),
            QStringList{"--port", sim.device(), "--timeout", QString::number(timeout), "record"} +
                args);
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
    QByteArray out() const { return m_out; }
    QString err() const { return QString::fromUtf8(m_err); }

private:
    QProcess m_process;
    QByteArray m_out, m_err;
};

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Checks every line of a data file after its heading: complete, numbered from
// `first`, six cells each followed by a TAB, stamped a second apart.
QStringList checkRecords(const QByteArray& file, const QByteArray& heading, int first) {
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

class TestCliRecord : public QObject {
    Q_OBJECT
private Q_SLOTS:
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
        MeterSim sim(simOptions);
        QTemporaryDir dir;
        Recording recording(
            sim, {"--out", dir.filePath("run.4ch"), "--records", QString::number(records)});
        QCOMPARE(recording.finish(), 0);
        const QStringList lines = checkRecords(contents(dir.filePath("run.4ch")), heading, 1);
        QCOMPARE(lines.size(), records);
        QCOMPARE(QString::fromLatin1(recording.out()).split('\n', Qt::SkipEmptyParts), lines);
        const QStringList cells = lines[0].split('\t');
        QVERIFY2(cells[2].toDouble() >= t1Low && cells[2].toDouble() <= t1High,
                 qPrintable(lines[0]));
        QCOMPARE(cells[4] == "- - -", simOptions.contains("--no-probe"));
    }

    void everySplitGoesOnInTheNextFile() {
        MeterSim sim;
        QTemporaryDir dir;
        Recording recording(
            sim, {"--out", dir.filePath("run.4ch"), "--records", "5", "--split-records", "2"});
        QCOMPARE(recording.finish(), 0);
        const QByteArray heading("\xB0"
                                 "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n");
        QCOMPARE(checkRecords(contents(dir.filePath("run.4ch")), heading, 1).size(), 2);
        QCOMPARE(checkRecords(contents(dir.filePath("run-1.4ch")), heading, 3).size(), 2);
        QCOMPARE(checkRecords(contents(dir.filePath("run-2.4ch")), heading, 5).size(), 1);
    }

    void terminationLeavesOnlyCompleteLines() {
        MeterSim sim;
        QTemporaryDir dir;
        Recording recording(sim, {"--out", dir.filePath("run.4ch")});
        QVERIFY(recording.waitForRecords(2));
        recording.terminate();
        QCOMPARE(recording.finish(), 0);
        const QByteArray file = contents(dir.filePath("run.4ch"));
        const QStringList records = checkRecords(file, file.left(file.indexOf('\n') + 1), 1);
        QVERIFY2(records.size() >= 2, file);
        QCOMPARE(QString::fromLatin1(recording.out()).split('\n', Qt::SkipEmptyParts), records);
    }

    void unitChangeEndsTheRecordingWithStatusFour() {
        MeterSim sim;
        QTemporaryDir dir;
        Recording recording(sim, {"--out", dir.filePath("run.4ch")});
        QVERIFY(recording.waitForRecords(1));
        sim.pressCF();
        QCOMPARE(recording.finish(), 4);
        QVERIFY2(recording.err().contains("the unit changed: recording stopped"),
                 qPrintable(recording.err()));
        const QByteArray file = contents(dir.filePath("run.4ch"));
        QVERIFY2(file.startsWith("\xB0"
                                 "C\t") &&
                     !checkRecords(file, file.left(file.indexOf('\n') + 1), 1).isEmpty(),
                 file);
    }

    void failuresEndWithTheirStatus_data() {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no file") << false << QStringList{"--records", "1"} << 1
                                 << "record needs --out FILE";
        QTest::newRow("interval not a number")
            << false << QStringList{"--out", "x.4ch", "--interval", "nan"} << 1
            << "the interval must be a number";
        QTest::newRow("full disk") << false << QStringList{"--out", "/dev/full"} << 3
                                   << "Cannot write \"/dev/full\": No space left on device";
        QTest::newRow("missing folder")
            << false << QStringList{"--out", "/quadtherm-no-such/run.4ch"} << 3
            << "Cannot write \"/quadtherm-no-such/run.4ch\": No such file or directory";
        QTest::newRow("silent meter")
            << true << QStringList{"--out", "x.4ch"} << 2 << "did not answer within 1 s";
    }
    void failuresEndWithTheirStatus() {
        QFETCH(bool, silent);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        MeterSim sim(silent ? QStringList{"--silent"} : QStringList{});
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        // Re-synchronising takes over two seconds: only a silent meter gets 1 s.
        Recording recording(sim, args, silent ? 1 : 5);
        QCOMPARE(recording.finish(), exitCode);
        QVERIFY2(recording.err().contains(message), qPrintable(recording.err()));
        QVERIFY(!QFile::exists(dir.filePath("x.4ch")));
    }
};

QTEST_GUILESS_MAIN(TestCliRecord)
#include "tst_cli_record.moc"
