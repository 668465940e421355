// quadtherm-cli record against quadtherm-meter-sim through a real
// pseudo-terminal: how a recording ends, on purpose or not.

#include "support/cli_process.h"
#include "support/test_suite.h"

#include <QTemporaryDir>

#include <sys/stat.h>

namespace tst_cli_record_ends {

using namespace quadtherm::test;

class TestCliRecordEnds : public QObject {
    Q_OBJECT
private Q_SLOTS:
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

QUADTHERM_TEST_SUITE(TestCliRecordEnds, Core)

} // namespace tst_cli_record_ends

#include "tst_cli_record_ends.moc"
