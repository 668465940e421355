// The recorder: what reaches the files, when a continuation starts, and a
// recording that cannot be written stops and says why.

#include "recording/recorder.h"
#include "support/test_suite.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>

namespace tst_recorder {

using namespace quadtherm;
using recording::Recorder;

namespace {

using Texts = shared::PerChannel<QString>;

const QByteArray kHeadingC("\xB0"
                           "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n");
const Texts kTypes{"K", "K", "J", "T"};
const Texts kTextsC{"23.4", "Over", "- - -", "-5.2"};
const Texts kTextsF{"74.1", "Over", "- - -", "22.6"};

QByteArray line(int number) {
    return QByteArray::number(number) + "\t2010/11/26 14:05:09\t23.4\tOver\t- - -\t-5.2\t\r\n";
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Real files in a folder on a disk that fills up after `space` bytes: a
// write takes what still fits, the next one fails, as on a real disk.
struct SmallDisk {
    QTemporaryDir dir;
    qint64 space = 0;

    class File : public QFile {
    public:
        File(SmallDisk& disk, const QString& path) : QFile(path), m_disk(disk) {}

    protected:
        qint64 writeData(const char* data, qint64 size) override {
            if (m_disk.space == 0) {
                setErrorString(QStringLiteral("No space left on device"));
                return -1;
            }
            const qint64 n = QFile::writeData(data, std::min(size, m_disk.space));
            m_disk.space -= std::max<qint64>(n, 0);
            return n;
        }

    private:
        SmallDisk& m_disk;
    };

    Recorder::DeviceFactory factory() {
        return [this](const QString& path) {
            auto file = std::make_unique<File>(*this, path);
            file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
            return file;
        };
    }
    QByteArray file(const QString& name) const { return contents(dir.filePath(name)); }
};

} // namespace

class TestRecorder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void recordLineFollowsTheHeading_data() {
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<Texts>("textsC");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("°C") << false << kTextsC << kHeadingC + line(1);
        QTest::newRow("°F records the °F texts")
            << true << kTextsC
            << QByteArray("\xB0"
                          "F\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n"
                          "1\t2010/11/26 14:05:09\t74.1\tOver\t- - -\t22.6\t\r\n");
    }
    void recordLineFollowsTheHeading() {
        QFETCH(bool, fahrenheit);
        QFETCH(Texts, textsC);
        QTemporaryDir dir;
        const QString path = dir.filePath("run.4ch");
        shared::RecordingState state;
        state.SaveFileChosen = true;
        Recorder recorder(state);
        QVERIFY(recorder.start(path, fahrenheit, kTypes));
        QVERIFY(state.RecordingActive && state.SaveFileChosen);
        QCOMPARE(state.RecordingUnit, fahrenheit ? QStringLiteral("°F") : QStringLiteral("°C"));
        QCOMPARE(state.SaveFilePath, path);
        QVERIFY(recorder.record("2010/11/26 14:05:09", textsC, kTextsF));
        QCOMPARE(state.RecordedCount, qint64(1));
        // Each line is on disk as soon as it is written.
        QTEST(contents(path), "bytes");
        recorder.stop();
        recorder.stop();
        QVERIFY(!state.RecordingActive && !state.SaveFileChosen);
        QCOMPARE(state.RecordedCount, qint64(0));
    }

    void continuationsStartAfterEveryFullFile() {
        QTemporaryDir dir;
        shared::RecordingState state;
        Recorder recorder(state);
        recorder.setRecordsPerFile(3);
        QVERIFY(recorder.start(dir.filePath("run.4ch"), false, kTypes));
        for (int n = 1; n <= 5; ++n)
            QVERIFY(recorder.record("2010/11/26 14:05:09", kTextsC, kTextsF));
        QCOMPARE(contents(dir.filePath("run.4ch")), kHeadingC + line(1) + line(2) + line(3));
        QCOMPARE(contents(dir.filePath("run-1.4ch")), kHeadingC + line(4) + line(5));
        QCOMPARE(recorder.currentPath(), dir.filePath("run-1.4ch"));
        QCOMPARE(state.SaveFilePath, dir.filePath("run.4ch"));
        // A second recording numbers from 1; the run's sequence goes on.
        QVERIFY(recorder.start(dir.filePath("next"), false, kTypes));
        for (int n = 1; n <= 3; ++n)
            QVERIFY(recorder.record("2010/11/26 14:05:09", kTextsC, kTextsF));
        recorder.stop();
        QCOMPARE(state.SplitFileSequence, 2);
        QCOMPARE(contents(dir.filePath("next")), kHeadingC + line(1) + line(2) + line(3));
        QCOMPARE(contents(dir.filePath("next-2")), kHeadingC);
    }

    void recordNumbersKeepCountingPastWhatAFloatHolds() {
        QTemporaryDir dir;
        shared::RecordingState state;
        Recorder recorder(state);
        QVERIFY(recorder.start(dir.filePath("long.4ch"), false, kTypes));
        state.RecordedCount = 16777216; // 2^24: a float's count would stick here
        QVERIFY(recorder.record("2010/11/26 14:05:09", kTextsC, kTextsF));
        QVERIFY(recorder.record("2010/11/26 14:05:09", kTextsC, kTextsF));
        QVERIFY(contents(dir.filePath("long.4ch")).endsWith(line(16777217) + line(16777218)));
    }

    // Issue 9: a line the disk could not take whole was left torn, and a
    // continuation without its heading was left behind, empty.
    void failedWriteStopsTheRecording_data() {
        QTest::addColumn<qint64>("space");
        QTest::addColumn<int>("succeeded"); // records accepted; -1: start fails
        QTest::addColumn<int>("kept");      // record lines in the first file
        QTest::addColumn<QString>("failedFile");
        const qint64 heading = kHeadingC.size();
        const qint64 record = line(1).size();
        QTest::newRow("heading") << heading - 1 << -1 << 0 << "run.4ch";
        QTest::newRow("second record") << heading + record + 10 << 1 << 1 << "run.4ch";
        QTest::newRow("continuation heading")
            << 2 * heading + 2 * record - 1 << 1 << 2 << "run-1.4ch";
    }
    void failedWriteStopsTheRecording() {
        QFETCH(qint64, space);
        QFETCH(int, succeeded);
        QFETCH(int, kept);
        QFETCH(QString, failedFile);
        SmallDisk disk;
        disk.space = space;
        shared::RecordingState state;
        Recorder recorder(state, disk.factory());
        recorder.setRecordsPerFile(2);
        QString error;
        bool ok = recorder.start(disk.dir.filePath("run.4ch"), false, kTypes, &error);
        for (int n = 1; ok && n <= 3; ++n) {
            ok = recorder.record("2010/11/26 14:05:09", kTextsC, kTextsF, &error);
            QCOMPARE(ok, n <= succeeded);
        }
        QVERIFY(!ok && !recorder.active() && !state.RecordingActive);
        QCOMPARE(error, QStringLiteral("Cannot write \"%1\": No space left on device")
                            .arg(disk.dir.filePath(failedFile)));
        QVERIFY(!recorder.record("2010/11/26 14:05:09", kTextsC, kTextsF));
        // What is on disk is whole lines; a file without a heading is gone.
        QByteArray expected = kHeadingC;
        for (int n = 1; n <= kept; ++n)
            expected += line(n);
        QCOMPARE(disk.file("run.4ch"), succeeded < 0 ? QByteArray("(missing)") : expected);
        QVERIFY(!QFile::exists(disk.dir.filePath("run-1.4ch")));
        QCOMPARE(recorder.lastRecordWritten(), qint64(kept));
    }

    // A real file size limit that the fourth record fits only in part. Issue
    // 9: the file ended with that torn part.
    void fullDiskLeavesOnlyWholeLines() {
        QTemporaryDir dir;
        shared::RecordingState state;
        Recorder recorder(state);
        QString error;
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, oldHandler);
        });
        rlimit limited = saved;
        limited.rlim_cur = kHeadingC.size() + 3 * line(1).size() + 20;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        QVERIFY(recorder.start(dir.filePath("run.4ch"), false, kTypes));
        int written = 0;
        while (written < 10 && recorder.record("2010/11/26 14:05:09", kTextsC, kTextsF, &error))
            ++written;
        QCOMPARE(written, 3);
        QVERIFY(!state.RecordingActive);
        QVERIFY2(error.endsWith("run.4ch\": File too large"), qPrintable(error));
        QCOMPARE(contents(dir.filePath("run.4ch")), kHeadingC + line(1) + line(2) + line(3));
    }

    // Issue 9: a FIFO held open() forever, deaf to every signal.
    void onlyRegularFilesAreWritten_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::newRow("FIFO") << "fifo"
                              << "Not a regular file";
        QTest::newRow("device") << "/dev/null"
                                << "Not a regular file";
        QTest::newRow("folder") << "."
                                << "Is a directory";
        QTest::newRow("missing folder") << "none/run.4ch"
                                        << "No such file or directory";
    }
    void onlyRegularFilesAreWritten() {
        QFETCH(QString, path);
        QTemporaryDir dir;
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
        const QString target = path.startsWith('/') ? path : dir.filePath(path);
        shared::RecordingState state;
        Recorder recorder(state);
        QString error;
        QVERIFY(!recorder.start(target, false, kTypes, &error));
        QTEST(error.section(QStringLiteral(": "), -1), "reason");
        QVERIFY(!state.RecordingActive);
        // An existing file is replaced.
        QFile old(dir.filePath("old.4ch"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(500, 'x')) == 500);
        old.close();
        QVERIFY(recorder.start(old.fileName(), false, kTypes));
        QVERIFY(recorder.record("2010/11/26 14:05:09", kTextsC, kTextsF));
        QCOMPARE(contents(old.fileName()), kHeadingC + line(1));
    }
};

QUADTHERM_TEST_SUITE(TestRecorder, Core)

} // namespace tst_recorder

#include "tst_recorder.moc"
