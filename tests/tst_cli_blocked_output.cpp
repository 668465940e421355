// quadtherm-cli record with a standard output nobody reads: the recording
// keeps its time (a suite of its own: it runs for over half a minute).

#include "logger_memory/memory_download.h"
#include "sim/simulated_meter.h"
#include "support/cli_process.h"
#include "support/test_suite.h"

#include <QDirIterator>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace tst_cli_blocked_output {

using namespace quadtherm::test;
namespace logger_memory = quadtherm::logger_memory;
namespace sim = quadtherm::sim;

class TestCliBlockedOutput : public QObject {
    Q_OBJECT
private Q_SLOTS:
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
};

QUADTHERM_TEST_SUITE(TestCliBlockedOutput, Core)

} // namespace tst_cli_blocked_output

#include "tst_cli_blocked_output.moc"
