// The meter session on a thread of its own, as the desktop program runs it:
// the simulated meter at the line's real pace, the real clock, and windows on
// the test's thread that block it, paint huge cells and close themselves in
// the middle of a download. Nothing the windows do may cost a record, hold
// a wait up, or free something a wait below it still uses.

#include "logger_memory/ui/logger_commands.h"
#include "logger_memory/ui/memory_window.h"
#include "main_window/ui/panel.h"
#include "recording/data_file.h"
#include "recording/ui/file_list_window.h"
#include "session/meter_session.h"
#include "session/session_client.h"
#include "session/session_thread.h"
#include "shared/clock.h"
#include "shared/view_state.h"
#include "sim/simulated_serial_port.h"
#include "support/scripted_dialogs.h"
#include "support/test_suite.h"
#include "widgets/grid.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMutex>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

namespace tst_session_thread {

using namespace quadtherm;
using Kind = test::ScriptedDialogs::Kind;

namespace {

// The desktop program's parts: the session on its thread with the simulated
// meter, and the windows' client of it here.
struct Program {
    shared::SystemClock clock;
    shared::RunState state;
    shared::ViewState view;
    test::ScriptedDialogs dialogs;
    sim::SimulatedSerialPort* port = nullptr; // lives on the session's thread
    std::unique_ptr<session::SessionThread> thread;
    std::unique_ptr<session::SessionClient> client;

    // `setUp` prepares the simulated meter on the session's thread.
    explicit Program(std::function<void(sim::SimulatedMeter&)> setUp = {}) {
        thread = std::make_unique<session::SessionThread>(
            clock, state, [this, setUp]() -> std::unique_ptr<meter_link::SerialPort> {
                auto made = std::make_unique<sim::SimulatedSerialPort>(clock);
                if (setUp)
                    setUp(made->meter());
                port = made.get();
                return made;
            });
        client = std::make_unique<session::SessionClient>(thread->session(), clock);
    }
    ~Program() {
        thread.reset();
        client.reset();
    }
    bool open() { return thread->openPort(); }
    // Up, with the displays set up for the channels.
    bool comeUp(int timeoutMs = 15000) {
        bool up = false;
        const auto heard = QObject::connect(client.get(), &session::SessionClient::channelsChanged,
                                            client.get(), [&] { up = true; });
        client->start();
        const bool cameUp = QTest::qWaitFor([&] { return up; }, timeoutMs);
        QObject::disconnect(heard);
        return cameUp;
    }
};

// When each record reached the disk, on the session's own thread.
class RecordTimes {
public:
    explicit RecordTimes(Program& program) : m_clock(program.clock) {
        QObject::connect(
            &program.thread->session(), &session::MeterSession::recordWritten,
            &program.thread->session(),
            [this](qint64 number, const QString&, const shared::PerChannel<QString>& texts) {
                const QMutexLocker lock(&m_mutex);
                m_numbers << number;
                m_atMs << m_clock.elapsedMs();
                m_t1 << texts[0];
            },
            Qt::DirectConnection);
    }
    QList<qint64> numbers() const {
        const QMutexLocker lock(&m_mutex);
        return m_numbers;
    }
    QList<qint64> atMs() const {
        const QMutexLocker lock(&m_mutex);
        return m_atMs;
    }
    QStringList t1() const {
        const QMutexLocker lock(&m_mutex);
        return m_t1;
    }
    // Every record n within `slackMs` of the first one's time plus n - 1 seconds.
    QString lateness(qint64 slackMs) const {
        const auto at = atMs();
        for (qsizetype i = 1; i < at.size(); ++i) {
            const qint64 off = at[i] - at[0] - i * 1000;
            if (off > slackMs || off < -slackMs)
                return QStringLiteral("record %1 is %2 ms off its second").arg(i + 1).arg(off);
        }
        return {};
    }

private:
    shared::Clock& m_clock;
    mutable QMutex m_mutex;
    QList<qint64> m_numbers;
    QList<qint64> m_atMs;
    QStringList m_t1;
};

bool startRecording(Program& program, const QString& path) {
    bool started = false;
    QObject context;
    program.client->startRecording(path, &context, [&](bool ok, const QString&) { started = ok; });
    return QTest::qWaitFor([&] { return started; }, 5000);
}

QList<QByteArray> recordLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeFirst(); // the heading
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestSessionThread : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    // #19: a window that held the windows' thread cost the recording its
    // records; now the session records on its own thread whatever they do.
    void recordsKeepTheirSecondWhileTheWindowsThreadIsBlocked() {
        Program program;
        QVERIFY(program.open());
        QVERIFY(program.comeUp());
        RecordTimes records(program);
        const QString path = m_dir.filePath(QStringLiteral("blocked.4ch"));
        QVERIFY(startRecording(program, path));
        QTest::qWait(1500);
        // A slot that takes five seconds: a slow paint, a long print.
        const qint64 blockedFrom = program.clock.elapsedMs();
        QMetaObject::invokeMethod(
            program.client.get(), [] { QThread::msleep(5000); }, Qt::QueuedConnection);
        QTest::qWait(10);
        const qint64 blockedFor = program.clock.elapsedMs() - blockedFrom;
        QVERIFY2(blockedFor >= 5000, qPrintable(QString::number(blockedFor)));
        QTest::qWait(2500);
        program.client->stopRecording();
        QVERIFY(QTest::qWaitFor([&] { return !program.client->mirror().recording; }, 5000));

        const auto numbers = records.numbers();
        QVERIFY2(numbers.size() >= 7, qPrintable(QString::number(numbers.size())));
        for (qsizetype i = 0; i < numbers.size(); ++i)
            QCOMPARE(numbers[i], qint64(i + 1));
        const QString late = records.lateness(100);
        QVERIFY2(late.isEmpty(), qPrintable(late));
        // Four or five of them while the windows' thread slept.
        const auto at = records.atMs();
        const auto inBlock = std::count_if(at.begin(), at.end(), [&](qint64 t) {
            return t > blockedFrom && t < blockedFrom + 5000;
        });
        QVERIFY2(inBlock >= 4, qPrintable(QString::number(inBlock)));
        // Every record is in the file, and the readings moved on meanwhile.
        QCOMPARE(recordLines(path).size(), numbers.size());
        const QStringList t1 = records.t1();
        QVERIFY2(QSet<QString>(t1.begin(), t1.end()).size() > 2, qPrintable(t1.join(u' ')));
    }

    // #19: with a file of 20 MB cells in the file list, resized and scrolled
    // for 20 seconds, the recording keeps every second.
    void aFileOfHugeCellsInTheListCostsTheRecordingNothing() {
        const QString big = m_dir.filePath(QStringLiteral("cells.4ch"));
        {
            const QByteArray huge(20 << 20, '7');
            QFile file(big);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("\xB0"
                       "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n");
            for (int line = 0; line < 5; ++line) {
                QList<QByteArray> cells{
                    QByteArray::number(line + 1), "2026/12/06 14:10:19", "23.4", "1", "2", "3"};
                cells[line + 1] = huge;
                file.write(cells.join('\t') + "\t\r\n");
            }
        }
        Program program;
        QVERIFY(program.open());
        QVERIFY(program.comeUp());
        RecordTimes records(program);
        const QString path = m_dir.filePath(QStringLiteral("busy-list.4ch"));
        QVERIFY(startRecording(program, path));
        QTest::qWait(1200);

        // Opened while the recording runs, then resized and scrolled.
        recording::FileListWindow files(program.view.windows, {}, program.dialogs, {});
        files.show();
        recording::DataFileReader reader(big);
        QVERIFY(reader.isOpen());
        files.loadFile(reader, QStringLiteral("cells.4ch"));
        QElapsedTimer busy;
        busy.start();
        for (int step = 0; busy.elapsed() < 20000; ++step) {
            files.resize(400 + (step % 7) * 90, 300 + (step % 5) * 60);
            files.GridN->setTopRow(step % 5 + 1);
            files.GridN->horizontalScrollBar()->setValue(step % 3 * 200);
            files.repaint();
            QTest::qWait(20);
        }
        program.client->stopRecording();
        QVERIFY(QTest::qWaitFor([&] { return !program.client->mirror().recording; }, 5000));

        const auto numbers = records.numbers();
        QVERIFY2(numbers.size() >= 20, qPrintable(QString::number(numbers.size())));
        const QString late = records.lateness(100);
        QVERIFY2(late.isEmpty(), qPrintable(late));
        QCOMPARE(recordLines(path).size(), numbers.size());
    }

    // Closing the program while the session waits (here for a meter that
    // is off) ends the wait at once: no window waits for the meter.
    void closingWhileTheSessionWaitsEndsItAtOnce() {
        auto program = std::make_unique<Program>([](sim::SimulatedMeter& meter) {
            meter.setSilent(true); // switched off: the link is never rebuilt
        });
        QVERIFY(program->open());
        program->client->start();
        QVERIFY(QTest::qWaitFor(
            [&] {
                return program->client->mirror().availability == session::Availability::LinkDown;
            },
            5000));
        QElapsedTimer took;
        took.start();
        program.reset();
        QVERIFY2(took.elapsed() < 500, qPrintable(QString::number(took.elapsed())));
    }

    // #18: Cancel, OK on its message, then "Data Logger" closed: the program
    // died with free(): invalid pointer when a wait below the message box
    // deleted the window that owned it. The windows closed during the steps
    // of a download, with the session on its own thread (tst_logger_windows
    // goes through every way at every step on the fake clock).
    void closingTheDataLoggerAtAnyStepOfADownloadKeepsTheProgramWhole_data() {
        QTest::addColumn<QString>("when");
        QTest::addColumn<QString>("how");
        QTest::newRow("during the dump") << "dump"
                                         << "close";
        QTest::newRow("the main window during the dump") << "dump"
                                                         << "main window";
        QTest::newRow("during the drain") << "drain"
                                          << "close";
        QTest::newRow("under the message") << "message"
                                           << "close";
    }
    void closingTheDataLoggerAtAnyStepOfADownloadKeepsTheProgramWhole() {
        QFETCH(QString, when);
        QFETCH(QString, how);
        Program program([](sim::SimulatedMeter& meter) {
            sim::RecordSet set;
            set.channelMask = 0x0F;
            set.start = {26, 1, 1, 0, 0, 0};
            set.records =
                QList<sim::StoredRecord>(300, sim::StoredRecord{{{true, false, false, 725},
                                                                 {true, false, false, 726},
                                                                 {true, false, false, 727},
                                                                 {true, false, false, 728}}});
            for (int i = 0; i < 2; ++i)
                meter.memory().addRecordSet(set); // 2 × 4223 bytes: 4.4 s on the line
            meter.setDumpSpeed(3);
        });
        QVERIFY(program.open());
        auto panel = std::make_unique<main_window::Panel>(*program.client, program.view,
                                                          program.dialogs, QStringLiteral("SIM"));
        panel->show();
        QVERIFY(program.comeUp());
        QVERIFY(QTest::qWaitFor([&] { return program.client->mirror().linkUp; }, 5000));

        auto& logger = panel->logger();
        const auto act = [&] {
            auto* memory = logger.memoryWindow();
            if (how == "Cancel" && memory)
                memory->CmdCancel->click();
            else if (how == "Escape" && memory)
                QTest::keyClick(memory, Qt::Key_Escape);
            else if (how == "close" && memory)
                memory->close();
            else if (how == "main window")
                panel->close();
        };
        const auto progressed = [&] {
            auto* memory = logger.memoryWindow();
            return memory && memory->LblMessage->text().endsWith(QStringLiteral("% Completed")) &&
                   !memory->LblMessage->text().startsWith(QStringLiteral("0.0"));
        };
        bool acted = false;
        if (when == "message") {
            // The Cancel's message is open: the window goes from under it.
            program.dialogs.whileOpen = [&](Kind kind) {
                if (kind != Kind::Message || acted)
                    return;
                acted = true;
                act();
                QTest::qWait(300); // the box's own event loop goes on a while
            };
        }
        program.dialogs.answerMessage(QMessageBox::Ok);
        panel->Toolbar1_ButtonClick(QStringLiteral("Memory"));
        logger.OptAuto->setChecked(true);
        logger.CmdLoggerOK->click();
        QVERIFY(QTest::qWaitFor(progressed, 10000));
        if (when == "dump") {
            act();
            acted = true;
        } else {
            logger.memoryWindow()->CmdCancel->click();
            if (when == "drain") {
                QVERIFY(QTest::qWaitFor(
                    [&] { return !logger.memoryWindow() || !logger.memoryWindow()->downloading(); },
                    5000));
                act();
                acted = true;
            }
        }
        QVERIFY(QTest::qWaitFor([&] { return acted; }, 5000));
        if (how == "main window") {
            // The program closes: the session stops, nothing is left waiting.
            panel.reset();
            return;
        }
        // The download ends, the meter streams its readings again and the
        // session takes commands: the program goes on.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return program.client->mirror().availability == session::Availability::Ready &&
                       program.client->mirror().linkUp;
            },
            30000));
        QTest::qWait(500);
        QVERIFY(panel->isVisible());
        if (how == "close" || when != "dump")
            QVERIFY(QTest::qWaitFor(
                [&] {
                    return !logger.memoryWindow() || !logger.memoryWindow()->isVisible() ||
                           !logger.memoryWindow()->downloading();
                },
                5000));
        panel.reset();
    }
};

QUADTHERM_TEST_SUITE(TestSessionThread, Gui)

} // namespace tst_session_thread

#include "tst_session_thread.moc"
