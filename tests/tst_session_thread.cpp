// The meter session on a thread of its own, as the desktop program runs it:
// the simulated meter at the line's real pace, the real clock, and windows on
// the test's thread that block it and close themselves in the middle of a
// download. Nothing the windows do may cost a record, hold a wait up, or free
// something a wait below it still uses.

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
#include "support/threaded_program.h"
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
using test::Program;
using test::recordLines;
using test::RecordTimes;
using test::startRecording;

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
