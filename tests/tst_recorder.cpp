// The recorder: what reaches the files, when a continuation starts, and a
// recording that cannot be written stops and says why.

#include "recording/recorder.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <map>
#include <sys/resource.h>

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

// A disk that fills up after `space` bytes: the write that does not fit fails whole.
struct SmallDisk {
    std::map<QString, QByteArray> files;
    qint64 space = 0;

    class File : public QIODevice {
    public:
        File(SmallDisk& disk, QByteArray& bytes) : m_disk(disk), m_bytes(bytes) { open(WriteOnly); }

    protected:
        qint64 readData(char*, qint64) override { return -1; }
        qint64 writeData(const char* data, qint64 size) override {
            if (size > m_disk.space) {
                setErrorString(QStringLiteral("No space left on device"));
                return -1;
            }
            m_disk.space -= size;
            m_bytes.append(data, size);
            return size;
        }

    private:
        SmallDisk& m_disk;
        QByteArray& m_bytes;
    };

    Recorder::DeviceFactory factory() {
        return [this](const QString& path) {
            return std::make_unique<File>(*this, files[path] = QByteArray());
        };
    }
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
        SmallDisk disk{{}, space};
        shared::RecordingState state;
        Recorder recorder(state, disk.factory());
        recorder.setRecordsPerFile(2);
        QString error;
        bool ok = recorder.start("run.4ch", false, kTypes, &error);
        for (int n = 1; ok && n <= 3; ++n) {
            ok = recorder.record("2010/11/26 14:05:09", kTextsC, kTextsF, &error);
            QCOMPARE(ok, n <= succeeded);
        }
        QVERIFY(!ok && !recorder.active() && !state.RecordingActive);
        QCOMPARE(error,
                 QStringLiteral("Cannot write \"%1\": No space left on device").arg(failedFile));
        QVERIFY(!recorder.record("2010/11/26 14:05:09", kTextsC, kTextsF));
        QByteArray expected = succeeded < 0 ? QByteArray() : kHeadingC;
        for (int n = 1; n <= kept; ++n)
            expected += line(n);
        QCOMPARE(disk.files["run.4ch"], expected);
    }

    // A real disk filling up: a file size limit the fourth record does not fit.
    void fullDiskStopsTheRecording() {
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
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "tst_recorder.moc"
