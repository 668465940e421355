// quadtherm-cli record against quadtherm-meter-sim through a real
// pseudo-terminal: the data files a recording leaves.

#include "support/cli_process.h"
#include "support/test_suite.h"

#include <QTemporaryDir>

namespace tst_cli_record {

using namespace quadtherm::test;

class TestCliRecord : public QObject {
    Q_OBJECT
private Q_SLOTS:
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
};

QUADTHERM_TEST_SUITE(TestCliRecord, Core)

} // namespace tst_cli_record

#include "tst_cli_record.moc"
