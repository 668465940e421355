// quadtherm-cli download against quadtherm-meter-sim through a real
// pseudo-terminal: the files it writes from the meter's memory.

#include "logger_memory/memory_download.h"
#include "sim/simulated_meter.h"
#include "support/cli_process.h"
#include "support/test_suite.h"

#include <QDirIterator>
#include <QTemporaryDir>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

namespace tst_cli_download {

using namespace quadtherm::test;
namespace logger_memory = quadtherm::logger_memory;
namespace sim = quadtherm::sim;

class TestCliDownload : public QObject {
    Q_OBJECT
private Q_SLOTS:
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

    // Found in testing: a meter holding one set, downloaded into a folder
    // that held three, left a new set-001.4ch beside the old set-002.4ch and
    // set-003.4ch with status 0, a mix that looked like one download. Such a
    // folder is refused before the meter is asked for anything, unless
    // --replace is given; then the old set files go once the new ones are
    // whole, and stay when they cannot be written or the memory is damaged.
    void aFolderHoldingSetFilesIsRefusedOrReplacedWhole_data() {
        QTest::addColumn<QStringList>("before"); // files in the folder, each holding "old"
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<qint64>("fileSizeLimit"); // 0: none
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("after"); // NAME=old or NAME=new
        const QStringList three{"set-001.4ch", "set-002.4ch", "set-003.4ch"};
        QTest::newRow("one set beside three old ones")
            << three << QStringList{"--sets", "1"} << QStringList{} << qint64(0) << 1
            << "already holds set files of an earlier download (set-001.4ch, set-002.4ch, "
               "set-003.4ch): give --replace"
            << QStringList{"set-001.4ch=old", "set-002.4ch=old", "set-003.4ch=old"};
        QTest::newRow("one set asked for beside another")
            << QStringList{"set-1000.4ch"} << QStringList{"--sets", "3"}
            << QStringList{"--set", "2"} << qint64(0) << 1 << "(set-1000.4ch)"
            << QStringList{"set-1000.4ch=old"};
        QTest::newRow("other files are no set files")
            << QStringList{"notes.txt", "set-1.4ch", "set-001.txt", "set-001.4ch.part"}
            << QStringList{"--sets", "1"} << QStringList{} << qint64(0) << 0 << ""
            << QStringList{"notes.txt=old", "set-001.4ch=new", "set-001.txt=old",
                           "set-1.4ch=old"}; // the leftover of an older save goes
        QTest::newRow("one set replaces three")
            << three << QStringList{"--sets", "1"} << QStringList{"--replace"} << qint64(0) << 0
            << "" << QStringList{"set-001.4ch=new"};
        QTest::newRow("set 2 alone replaces them")
            << QStringList{"set-001.4ch", "set-003.4ch", "set-004.4ch"}
            << QStringList{"--sets", "3"} << QStringList{"--replace", "--set", "2"} << qint64(0)
            << 0 << "" << QStringList{"set-002.4ch=new"};
        // Set 1 fits, set 2 does not: nothing of the new download shows.
        QTest::newRow("a file that cannot be written")
            << three << QStringList{"--sets", "3", "--set-records", "2,60"}
            << QStringList{"--replace"} << qint64(1000) << 3 << "set-002.4ch\": File too large"
            << QStringList{"set-001.4ch=old", "set-002.4ch=old", "set-003.4ch=old"};
        QTest::newRow("damaged memory keeps what it gave no set for")
            << three << QStringList{"--sets", "3", "--damaged-set", "2"} << QStringList{"--replace"}
            << qint64(0) << 5
            << "Kept the set files of an earlier download that no set read now replaced: "
               "set-002.4ch, set-003.4ch"
            << QStringList{"set-001.4ch=new", "set-002.4ch=old", "set-003.4ch=old"};
    }
    void aFolderHoldingSetFilesIsRefusedOrReplacedWhole() {
        QFETCH(QStringList, before);
        QFETCH(QStringList, simOptions);
        QFETCH(QStringList, options);
        QFETCH(qint64, fileSizeLimit);
        QFETCH(QString, message);
        MeterSimProcess sim(simOptions + QStringList{"--dump-speed", "20", "--verbose"});
        QTemporaryDir dir;
        for (const QString& name : before) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
        }
        const Run r = cli(
            QStringList{"--port", sim.device(), "download", "auto", "--out", dir.path()} + options,
            [fileSizeLimit] {
                if (fileSizeLimit == 0)
                    return;
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        QVERIFY2(r.exitCode >= 0, qPrintable(describe(r)));
        QTEST(r.exitCode, "exitCode");
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        // A refused folder costs the meter not one request.
        QCOMPARE(requests(sim).isEmpty(), r.exitCode == 1);
        QStringList after;
        const QStringList entries =
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                           QDir::Name);
        for (const QString& name : entries) {
            const QByteArray bytes = contents(dir.filePath(name));
            after.append(name + (bytes == "old"             ? "=old"
                                 : bytes.startsWith("\xB0") ? "=new" // a heading
                                                            : "=other"));
        }
        QTEST(after, "after");
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
        // Found by use: the set asked for lies beyond the damage, and an
        // empty folder was left for it.
        QTest::newRow("a set beyond damaged data")
            << QStringList{"--sets", "3", "--damaged-set", "2"}
            << QStringList{"auto", "--out", "beyond", "--set", "3"} << 5
            << "The memory data is damaged after record set 1" << QStringList{};
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
        QVERIFY(!QFileInfo::exists(QStringLiteral("beyond")));
    }
};

QUADTHERM_TEST_SUITE(TestCliDownload, Core)

} // namespace tst_cli_download

#include "tst_cli_download.moc"
