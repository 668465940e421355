// quadtherm-cli export: data files from a recording, a download and by hand
// converted and read back by pandas with no options, the exit statuses of
// files it cannot convert or write, and Ctrl-C with a reader that stopped.

#include "support/cli_process.h"
#include "support/test_suite.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace tst_cli_export {

using namespace quadtherm::test;

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A python3 that imports pandas: Debian's, where scripts/setup installs
// python3-pandas, or the first on PATH (which may be a pyenv shim without it).
QString pythonWithPandas() {
    for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess probe;
        probe.start(python, {"-c", "import pandas"});
        if (probe.waitForFinished(60000) && probe.exitStatus() == QProcess::NormalExit &&
            probe.exitCode() == 0)
            return python;
    }
    return {};
}

// pandas.read_csv(path) and what it read: the column names and every row,
// NaN as null, numpy's numbers as plain ones.
QJsonObject readByPandas(const QString& python, const QString& path, const QString& options) {
    QProcess p;
    p.start(python, {"-c",
                     "import json, math, sys, pandas\n"
                     "df = pandas.read_csv(sys.argv[1]" +
                         options +
                         ")\n"
                         "def plain(v):\n"
                         "    v = v.item() if hasattr(v, 'item') else v\n"
                         "    return None if isinstance(v, float) and math.isnan(v) else v\n"
                         "rows = [[plain(v) for v in row] for row in df.itertuples(index=False)]\n"
                         "print(json.dumps({'columns': list(df.columns), 'rows': rows}))\n",
                     path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {{"error", QString::fromUtf8(p.readAllStandardError())}};
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// The records of a data file, each its cells; the heading first.
QList<QStringList> linesOf(const QByteArray& file) {
    QList<QStringList> lines;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    for (const QString& line : QString::fromLatin1(file).split(lineEnd, Qt::SkipEmptyParts))
        lines.append(line.split('\t'));
    return lines;
}

QString stateOf(const QString& cell) {
    if (cell.isEmpty())
        return QStringLiteral("empty");
    if (cell == "Over")
        return QStringLiteral("over");
    if (cell == "Under")
        return QStringLiteral("under");
    if (cell == "- - -")
        return QStringLiteral("no_probe");
    return QStringLiteral("ok");
}

// Offsets in the files below do not depend on the machine's time zone or
// season: a zone without daylight saving.
constexpr const char* kZone = "Asia/Kolkata";

} // namespace

class TestCliExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        m_zone = qgetenv("TZ");
        qputenv("TZ", kZone);
    }
    void cleanupTestCase() {
        if (m_zone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_zone);
    }

    // The numbers and states pandas reads, against the cells of the file.
    void pandasReadsTheCsvAsTheFileSaysWithNoOptions_data() {
        QTest::addColumn<QString>("source"); // "record", "download" or a file's bytes
        QTest::addColumn<QStringList>("dialect");
        QTest::addColumn<QString>("pandasOptions");
        QTest::addColumn<QStringList>("columns"); // the value columns' names
        QTest::newRow("a recording")
            << "record" << QStringList{} << ""
            << QStringList{"T1 K (°C)", "T2 K (°C)", "T3 J (°C)", "T4 T (°C)"};
        QTest::newRow("a downloaded °F set with channels it did not record")
            << "download" << QStringList{} << ""
            << QStringList{"T1 K (°F)", "T2 K (°F)", "T3 J (°F)", "T4 T (°F)"};
        const QByteArray byHand("\xB0"
                                "C\tDate Time\tT1 - K\tT2 - R\tT3 - J\tT4 - \t\r"
                                "1\t2026/03/01 23:59:58\tOver\t-.5\t- - -\t1370.0\t\r"
                                "2\t2026/03/01 23:59:59\tUnder\t0.0\t- - -\t\t\r"
                                "3\t2026/03/02 00:00:00\t-200.0\t.7\t21.8\tOver\t\r");
        QTest::newRow("Over, Under and no probe")
            << QString::fromLatin1(byHand) << QStringList{} << ""
            << QStringList{"T1 K (°C)", "T2 R (°C)", "T3 J (°C)", "T4 (°C)"};
        QTest::newRow("excel-eu with its separator and decimal comma")
            << QString::fromLatin1(byHand) << QStringList{"--csv-dialect", "excel-eu"}
            << ", sep=';', decimal=','"
            << QStringList{"T1 K (°C)", "T2 R (°C)", "T3 J (°C)", "T4 (°C)"};
    }
    void pandasReadsTheCsvAsTheFileSaysWithNoOptions() {
        QFETCH(QString, source);
        QFETCH(QStringList, dialect);
        QFETCH(QString, pandasOptions);
        QFETCH(QStringList, columns);
        const QString python = pythonWithPandas();
        if (python.isEmpty())
            QSKIP("python3 cannot import pandas: scripts/setup installs python3-pandas");
        QTemporaryDir dir;
        QString data = dir.filePath("source.4ch");
        if (source == "record") {
            MeterSimProcess sim({"--no-probe", "2"});
            const Run r = cli({"--port", sim.device(), "--timeout", "5", "record", "--out", data,
                               "--records", "3"});
            QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        } else if (source == "download") {
            MeterSimProcess sim({"--sets", "1", "--set-units", "F", "--set-masks", "5",
                                 "--set-records", "12", "--dump-speed", "20"});
            const Run r = cli({"--port", sim.device(), "--timeout", "5", "download", "auto",
                               "--out", dir.path()});
            QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
            data = dir.filePath("set-001.4ch");
        } else {
            QVERIFY(writeFile(data, source.toLatin1()));
        }
        const QString csv = dir.filePath("out.csv");
        const Run r = cli(QStringList{"export", data, "--out", csv} + dialect);
        QVERIFY2(r.exitCode == 0 && r.out.isEmpty() && r.err.isEmpty(), qPrintable(describe(r)));

        const QJsonObject read = readByPandas(python, csv, pandasOptions);
        QVERIFY2(!read.contains("error"), qPrintable(read["error"].toString()));
        QStringList names{"record", "time", "elapsed_s"};
        for (int k = 0; k < 4; ++k)
            names << columns[k] << QStringLiteral("T%1 state").arg(k + 1);
        QCOMPARE(read["columns"].toVariant().toStringList(), names);

        const QList<QStringList> lines = linesOf(contents(data));
        const QJsonArray rows = read["rows"].toArray();
        QCOMPARE(rows.size(), lines.size() - 1);
        const QDateTime first = QDateTime::fromString(lines[1][1], "yyyy/MM/dd HH:mm:ss");
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QStringList& cells = lines[i + 1];
            const QJsonArray row = rows[i].toArray();
            const QString at = QStringLiteral("record %1").arg(cells[0]);
            QCOMPARE(row[0].toInteger(), cells[0].toLongLong());
            const QDateTime stamp = QDateTime::fromString(cells[1], "yyyy/MM/dd HH:mm:ss");
            QCOMPARE(row[1].toString(), stamp.toString("yyyy-MM-ddTHH:mm:ss") + "+05:30");
            QCOMPARE(row[2].toInteger(), first.secsTo(stamp));
            for (int k = 0; k < 4; ++k) {
                const QString cell = cells[2 + k];
                const QJsonValue value = row[3 + 2 * k], state = row[4 + 2 * k];
                QVERIFY2(state.toString() == stateOf(cell), qPrintable(at + ": " + cell));
                if (stateOf(cell) == "ok")
                    QVERIFY2(value.isDouble() && value.toDouble() == cell.toDouble(),
                             qPrintable(at + ": " + cell));
                else
                    QVERIFY2(value.isNull(), qPrintable(at + ": " + cell));
            }
        }
    }

    void theCsvIsRfc4180InUtf8() {
        QTemporaryDir dir;
        const QString data = dir.filePath("run.4ch");
        QVERIFY(writeFile(data, QByteArray("\xB0"
                                           "F\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\n"
                                           "1\t2026/12/07 15:44:22\t74.1\tOver\t\t- - -\t\n")));
        const Run r = cli({"export", data});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QCOMPARE(r.out, QStringLiteral("record,time,elapsed_s,T1 K (°F),T1 state,T2 K (°F),T2 "
                                       "state,T3 J (°F),T3 state,T4 T (°F),T4 state\r\n"
                                       "1,2026-12-07T15:44:22+05:30,0,74.1,ok,,over,,empty,,"
                                       "no_probe\r\n"));
    }

    void exportEndsWithTheStatusItDocuments_data() {
        QTest::addColumn<QByteArray>("input"); // the bytes of in.4ch
        QTest::addColumn<QStringList>("args"); // @IN@ and @OUT@ stand for the files
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("rows"); // CSV rows in OUT after; -1: OUT as it was
        const QByteArray good = kHeadingKKJT + "1\t2026/12/07 15:44:22\t1\t2\t3\t4\t\r\n"
                                               "2\t2026/12/07 15:44:23\t1\t2\t3\t4\t\r\n";
        const QStringList toOut{"export", "@IN@", "--out", "@OUT@"};
        QTest::newRow("done") << good << toOut << 0 << "" << 3;
        QTest::newRow("missing") << good << QStringList{"export", "@NONE@", "--out", "@OUT@"} << 1
                                 << "Cannot read \"@NONE@\": No such file or directory" << -1;
        QTest::newRow("a folder") << good << QStringList{"export", "@DIR@", "--out", "@OUT@"} << 1
                                  << "it is a folder, not a data file" << -1;
        QTest::newRow("a bad line: the records before it")
            << good + "3\t2026/12/07 15:44:24\t1\tOops\t3\t4\t\r\n" + good.mid(kHeadingKKJT.size())
            << toOut << 5
            << "\"@IN@\" line 4 cannot be converted: T2 holds 'Oops', which is no reading (a "
               "number, Over, Under, - - - or nothing); the 2 records before it were converted"
            << 3;
        QTest::newRow("no heading: nothing to write")
            << good.mid(kHeadingKKJT.size()) << toOut << 5
            << "\"@IN@\" line 1 cannot be converted: it is not the heading of a data file" << -1;
        QTest::newRow("manual readings")
            << QByteArray("\t    Date Time\tT1\tT2\tT3\tT4\t\r\n"
                          "\xB0"
                          "C\t2026/01/14 10:40:54\tK: 21.6\tK: 24.7\tJ: 19.4\tT: 27.0\t\r\n")
            << toOut << 5 << "it holds manual readings" << -1;
        QTest::newRow("into a missing folder")
            << good << QStringList{"export", "@IN@", "--out", "@DIR@/missing/out.csv"} << 3
            << "Cannot write \"@DIR@/missing/out.csv\": " << -1;
        QTest::newRow("over the input") << good << QStringList{"export", "@IN@", "--out", "@IN@"}
                                        << 1 << "\"@IN@\" is the data file being exported" << -1;
        QTest::newRow("--to xml") << good << QStringList{"export", "@IN@", "--to", "xml"} << 1
                                  << "export --to takes csv or jsonl, not 'xml'" << -1;
        QTest::newRow("a dialect for JSON")
            << good << QStringList{"export", "@IN@", "--to", "jsonl", "--csv-dialect", "excel-eu"}
            << 1 << "--csv-dialect is for --to csv only" << -1;
        QTest::newRow("no file") << good << QStringList{"export", "--to", "csv"} << 1
                                 << "export needs the data file to convert" << -1;
        for (const QStringList& meter :
             {QStringList{"--json"}, QStringList{"--simulate"}, QStringList{"--port", "/dev/null"}})
            QTest::newRow(qPrintable(meter[0])) << good << meter + QStringList{"export", "@IN@"}
                                                << 1 << "export reads a file, not the meter" << -1;
        QTest::newRow("two files") << good << QStringList{"export", "@IN@", "@IN@"} << 1
                                   << "export: unexpected argument" << -1;
    }
    void exportEndsWithTheStatusItDocuments() {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(int, rows);
        QTemporaryDir dir;
        const QString in = dir.filePath("in.4ch"), out = dir.filePath("out.csv");
        QVERIFY(writeFile(in, input));
        QVERIFY(writeFile(out, "old"));
        const auto paths = [&](QString text) {
            return text.replace("@NONE@", dir.filePath("none.4ch"))
                .replace("@IN@", in)
                .replace("@OUT@", out)
                .replace("@DIR@", dir.path());
        };
        for (QString& arg : args)
            arg = paths(arg);
        const Run r = cli(args);
        QVERIFY2(r.exitCode == exitCode, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(paths(message)), qPrintable(describe(r)));
        QCOMPARE(contents(in), input);
        if (rows < 0)
            QCOMPARE(contents(out), QByteArray("old"));
        else
            QCOMPARE(contents(out).count("\r\n"), rows);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"in.4ch", "out.csv"}));
    }

    // A disk that fills up half way: the old file stays, no part of the new.
    void aFailedWriteLeavesTheOldFile() {
        QTemporaryDir dir;
        const QString in = dir.filePath("in.4ch"), out = dir.filePath("out.csv");
        QByteArray file = kHeadingKKJT;
        for (int n = 1; n <= 20000; ++n)
            file += QByteArray::number(n) + "\t2026/12/07 15:44:22\t1.5\tOver\t- - -\t-.5\t\r\n";
        QVERIFY(writeFile(in, file));
        QVERIFY(writeFile(out, "old"));
        const Run r = cli({"export", in, "--out", out}, [] {
            const rlimit limit{256 * 1024, 256 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, SIG_IGN);
        });
        QVERIFY2(r.exitCode == 3, qPrintable(describe(r)));
        QVERIFY2(r.err.contains("Cannot write \"" + out + "\": "), qPrintable(r.err));
        QCOMPARE(contents(out), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"in.4ch", "out.csv"}));
    }

    // Ctrl-C is heard while nobody reads standard output (a pager left on a
    // page), as in every other command.
    void ctrlCEndsAnExportNobodyReads() {
        QTemporaryDir dir;
        const QString in = dir.filePath("in.4ch");
        QByteArray file = kHeadingKKJT;
        for (int n = 1; n <= 100000; ++n)
            file += QByteArray::number(n) + "\t2026/12/07 15:44:22\t1.5\tOver\t- - -\t-.5\t\r\n";
        QVERIFY(writeFile(in, file));
        BlockedPipe pipe;
        QProcess p;
        const int fd = pipe.writeEnd();
        p.setChildProcessModifier([fd] { ::dup2(fd, STDOUT_FILENO); });
        p.start(QStringLiteral(QUADTHERM_CLI_PATH), {"export", in, "--to", "jsonl"});
        QVERIFY(p.waitForStarted(5000));
        QVERIFY(!p.waitForFinished(500)); // held up by the pipe
        QElapsedTimer t;
        t.start();
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(5000));
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(p.exitCode(), 130);
        QVERIFY(p.readAllStandardError().contains("interrupted by SIGINT"));
    }

private:
    QByteArray m_zone;
};

QUADTHERM_TEST_SUITE(TestCliExport, Core)

} // namespace tst_cli_export

#include "tst_cli_export.moc"
