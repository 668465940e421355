// The clock window "Setup" on a scripted meter and the fake clock, opened
// from the main window's "RTC" key while the live link runs: what is written
// with the labels on and off, the meter's and the computer's clock texts,
// setting the meter's clock, a slow and a silent meter, and every way the
// window closes giving the live poll back.

#include "clock_keypad/ui/setup_window.h"
#include "main_window/ui/panel.h"
#include "support/fake_clock.h"
#include "support/meter_bytes.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_serial_port.h"
#include "support/session_rig.h"
#include "support/test_suite.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace tst_clock_window {

using namespace quadtherm;
using clock_keypad::Setup;

namespace {

using test::bytes;

// Four reading frames, K probes at 72.5 °F; `logging` sets the meter's logging bit.
QByteArray fourFrames(bool logging = false) {
    QByteArray out;
    for (int k = 0; k < 4; ++k)
        out += bytes({0x02, k | (logging ? 0x40 : 0), 0, 0x08, 0, 72, 5, 0, 0, 0, 0, 0x03});
    return out;
}

QByteArray clockReply(int yy, int mm, int dd, int hh, int mi, int ss) {
    return bytes({0x02, yy, mm, dd, hh, mi, ss, 0x03});
}

const QByteArray kStatusReply = bytes({0x02, 0x00, 0x20, 0x00, 0x00, 0xFF, 0x03});
const QByteArray kClockRead("X");

// The fake clock reads 2026-03-04 09:05:07.
struct Rig : test::SessionRig {
    main_window::Panel panel{client, view, dialogs, QStringLiteral("/dev/pts/7")};
    Setup* window = nullptr;

    Rig() {
        port.open();
        port.pauseStreamOnWrite(100);
        port.answer("A", kStatusReply);
        port.answer(kClockRead, clockReply(26, 3, 4, 9, 5, 7));
        port.stream(fourFrames());
    }
    ~Rig() {
        panel.close();
        session.stop();
    }

    // The main window's load and the link up with the live poll on.
    [[nodiscard]] bool linkUp() {
        panel.Form_Load();
        if (!clock.runUntil([&] { return !state.link.NeedResync; }, 10000))
            return false;
        clock.run(500);
        return session.Timer1.isActive();
    }
    // The link up, then "RTC".
    [[nodiscard]] bool open() {
        if (!linkUp())
            return false;
        panel.Toolbar1_ButtonClick(QStringLiteral("RTC"));
        window = panel.findChild<Setup*>();
        return window && window->isVisible();
    }
    void click(QLabel* label) { QTest::mouseClick(label, Qt::LeftButton); }
    QList<QByteArray> writesSince(qsizetype first) const { return port.writes().mid(first); }
};

} // namespace

class TestClockWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rtcOpensTheClockWindowModallyBesideTheMainWindow() {
        Rig rig;
        QVERIFY(rig.open());
        Setup& w = *rig.window;
        // With both clocks off nothing is written, not even by the live poll.
        const qsizetype before = rig.port.writes().size();
        rig.clock.run(3000);
        QCOMPARE(rig.writesSince(before), QList<QByteArray>());
        QVERIFY(!rig.session.Timer1.isActive());
        QCOMPARE(w.windowTitle(), QStringLiteral("Setup"));
        QVERIFY(w.isModal());
        QCOMPARE(w.FrameTime->title(), QStringLiteral("Time"));
        QCOMPARE(w.LblMeterTime->text(), QStringLiteral("Meter Time"));
        QCOMPARE(w.LblPCTime->text(), QStringLiteral("PC System Time"));
        QCOMPARE(w.CmdSetTime->text(), QStringLiteral("Set Meter Time To System Time"));
        QCOMPARE(w.CmdExit->text(), QStringLiteral("Exit"));

        // Open again after Exit: the same window, both clocks off again.
        rig.click(w.LblPCTime);
        rig.clock.run(400);
        QTest::mouseClick(w.CmdExit, Qt::LeftButton);
        QVERIFY(!w.isVisible());
        rig.panel.move(200, 150);
        rig.panel.Toolbar1_ButtonClick(QStringLiteral("RTC"));
        QCOMPARE(rig.panel.findChildren<Setup*>().size(), 1);
        QVERIFY(w.isVisible());
        // 1500 × 1000 twips from the main window's corner.
        QCOMPARE(w.pos(), QPoint(300, 217));
        QCOMPARE(w.LblPCTime->text(), QStringLiteral("PC System Time"));
        QVERIFY(!w.clock().ShowPcTime);
    }

    void eachClickTurnsAClockOnOrOff() {
        Rig rig;
        QVERIFY(rig.open());
        Setup& w = *rig.window;
        rig.click(w.LblPCTime);
        rig.clock.run(1000);
        QCOMPARE(w.LblPCTime->text(), rig.clock.now().toString(u"yyyy/MM/dd HH:mm:ss"));
        QCOMPARE(w.LblMeterTime->text(), QStringLiteral("Meter Time"));

        rig.click(w.LblMeterTime);
        rig.clock.run(1000);
        QCOMPARE(w.LblMeterTime->text(), QStringLiteral("2026/03/04 09:05:07"));
        QVERIFY(rig.port.countWrites(kClockRead) > 0);

        rig.click(w.LblMeterTime);
        QCOMPARE(w.LblMeterTime->text(), QStringLiteral("Meter Time"));
        rig.clock.run(1000); // the read that was under way ends
        const int reads = rig.port.countWrites(kClockRead);
        rig.click(w.LblPCTime);
        QCOMPARE(w.LblPCTime->text(), QStringLiteral("PC System Time"));
        rig.clock.run(2000);
        QCOMPARE(rig.port.countWrites(kClockRead), reads);
        QCOMPARE(w.LblMeterTime->text(), QStringLiteral("Meter Time"));
        QCOMPARE(w.LblPCTime->text(), QStringLiteral("PC System Time"));
    }

    void theMeterClockIsShownWithItsCentury_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown");
        QTest::newRow("2007") << clockReply(0x07, 0x05, 0x0E, 0x03, 0x09, 0x2A)
                              << QStringLiteral("2007/05/14 03:09:42");
        QTest::newRow("2026") << clockReply(0x1A, 3, 4, 9, 5, 7)
                              << QStringLiteral("2026/03/04 09:05:07");
        QTest::newRow("2000") << clockReply(0, 1, 1, 0, 0, 0)
                              << QStringLiteral("2000/01/01 00:00:00");
        QTest::newRow("2099") << clockReply(99, 12, 31, 23, 59, 59)
                              << QStringLiteral("2099/12/31 23:59:59");
    }
    void theMeterClockIsShownWithItsCentury() {
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        Rig rig;
        QVERIFY(rig.open());
        rig.port.answer(kClockRead, reply);
        rig.click(rig.window->LblMeterTime);
        rig.clock.run(1000);
        QCOMPARE(rig.window->LblMeterTime->text(), shown);
    }

    void settingWritesTheDateThenTheTimeFromOneReadingOfTheClock_data() {
        QTest::addColumn<QDateTime>("pcTime");
        QTest::addColumn<QByteArray>("date");
        QTest::addColumn<QByteArray>("time");
        QTest::newRow("09:05:07 on 2026-03-04")
            << QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)) << bytes({0x53, 0x1A, 0x03, 0x04})
            << bytes({0x54, 0x09, 0x05, 0x07});
        // The two status exchanges and the wait before "T" take 40 ms: one
        // reading per field would send the next second.
        QTest::newRow("20 ms before a second")
            << QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7, 980)) << bytes({0x53, 0x1A, 0x03, 0x04})
            << bytes({0x54, 0x09, 0x05, 0x07});
        QTest::newRow("the last day of 2099")
            << QDateTime(QDate(2099, 12, 31), QTime(23, 59, 58, 970)) << bytes({0x53, 99, 12, 31})
            << bytes({0x54, 23, 59, 58});
    }
    void settingWritesTheDateThenTheTimeFromOneReadingOfTheClock() {
        QFETCH(QDateTime, pcTime);
        QFETCH(QByteArray, date);
        QFETCH(QByteArray, time);
        Rig rig;
        QVERIFY(rig.open());
        rig.clock.setNow(pcTime);
        const qsizetype before = rig.port.writes().size();
        QTest::mouseClick(rig.window->CmdSetTime, Qt::LeftButton);
        rig.clock.run(1000);
        QCOMPARE(rig.writesSince(before), (QList<QByteArray>{"A", date, "A", time}));
        QVERIFY(rig.window->clock().Timer1.isActive());
        QVERIFY(!rig.session.Timer1.isActive());
    }

    // A user who sets the clock sees it took: no read asked for before the
    // click shows the old time after it.
    void afterSetTheNextRefreshShowsTheNewTime() {
        Rig rig;
        QVERIFY(rig.open());
        Setup& w = *rig.window;
        QStringList shown;
        bool armed = false;
        // The meter answers with its old time until its time is set.
        rig.port.onWrite(kClockRead, [&] {
            bool set = false;
            for (const QByteArray& written : rig.port.writes())
                set = set || written.startsWith('T');
            rig.port.arrive(set ? clockReply(26, 3, 4, 9, 5, 7) : clockReply(25, 1, 1, 0, 0, 0), 5);
            if (!armed)
                return;
            // "Set" is clicked while this read waits for its reply.
            armed = false;
            rig.clock.at(rig.clock.elapsedMs() + 100, [&] {
                QVERIFY(w.clock().exchangePending());
                connect(&w.clock(), &clock_keypad::ClockSetup::meterTimeShown, this,
                        [&](const QString& text) { shown << text; });
                QTest::mouseClick(w.CmdSetTime, Qt::LeftButton);
            });
        });
        rig.click(w.LblMeterTime);
        QVERIFY(rig.clock.runUntil(
            [&] { return w.LblMeterTime->text().startsWith(QStringLiteral("2025")); }, 2000));
        armed = true;
        rig.clock.run(3000);
        QVERIFY2(shown.size() >= 2, qPrintable(shown.join(u',')));
        for (const QString& text : shown)
            QCOMPARE(text, QStringLiteral("2026/03/04 09:05:07"));
    }

    // The reply wait lets further ticks run: they keep the computer's clock
    // going but start no second read of the meter's.
    void aSlowMeterIsNeverAskedTwiceAtOnce() {
        Rig rig;
        QVERIFY(rig.open());
        // A meter this slow to answer stays quiet until it has.
        rig.port.pauseStreamOnWrite(2000);
        QList<qint64> asked;
        rig.port.onWrite(kClockRead, [&] {
            asked << rig.clock.elapsedMs();
            rig.port.arrive(clockReply(26, 3, 4, 9, 5, 7), 1500);
        });
        QList<qint64> pcShown;
        connect(&rig.window->clock(), &clock_keypad::ClockSetup::pcTimeShown, this,
                [&] { pcShown << rig.clock.elapsedMs(); });
        rig.click(rig.window->LblPCTime);
        rig.click(rig.window->LblMeterTime);
        rig.clock.run(6000);
        QCOMPARE(rig.window->LblMeterTime->text(), QStringLiteral("2026/03/04 09:05:07"));
        QVERIFY(asked.size() >= 4);
        for (qsizetype i = 1; i < asked.size(); ++i)
            QVERIFY2(asked[i] - asked[i - 1] >= 500, qPrintable(QString::number(asked[i])));
        for (qsizetype i = 1; i < pcShown.size(); ++i)
            QVERIFY2(pcShown[i] - pcShown[i - 1] <= 350, qPrintable(QString::number(pcShown[i])));

        // Nor do ticks pile reads up behind the one under way: "Set", clicked
        // during a read, waits for that one read at most.
        qint64 clickedAt = -1;
        rig.clock.at(rig.clock.elapsedMs() + 3000, [&] {
            QVERIFY(rig.window->clock().exchangePending());
            clickedAt = rig.clock.elapsedMs();
            QTest::mouseClick(rig.window->CmdSetTime, Qt::LeftButton);
        });
        const qsizetype before = rig.port.writes().size();
        QVERIFY(rig.clock.runUntil(
            [&] {
                const auto since = rig.port.writes().mid(before);
                return std::any_of(since.begin(), since.end(),
                                   [](const QByteArray& w) { return w.startsWith('S'); });
            },
            30000));
        QVERIFY2(rig.clock.elapsedMs() - clickedAt < 2000,
                 qPrintable(QString::number(rig.clock.elapsedMs() - clickedAt)));

        rig.click(rig.window->LblMeterTime);
        rig.clock.run(2000);
        const qsizetype total = asked.size();
        rig.clock.run(3000);
        QCOMPARE(asked.size(), total);
    }

    void aMeterThatFramesNoClockReplyTurnsTheMeterClockOff_data() {
        QTest::addColumn<bool>("statusAnswered");
        QTest::newRow("clock read unanswered") << true;
        QTest::newRow("meter silent") << false;
    }
    void aMeterThatFramesNoClockReplyTurnsTheMeterClockOff() {
        QFETCH(bool, statusAnswered);
        Rig rig;
        QVERIFY(rig.open());
        rig.port.answer(kClockRead, {});
        if (!statusAnswered) {
            rig.port.answer("A", {});
            rig.port.stream({});
        }
        rig.click(rig.window->LblMeterTime);
        const qint64 start = rig.clock.elapsedMs();
        QVERIFY(rig.clock.runUntil([&] { return !rig.window->clock().ShowMeterTime; }, 6000));
        const qint64 took = rig.clock.elapsedMs() - start;
        QVERIFY2(took >= 3000 && took < 4000, qPrintable(QString::number(took)));
        QCOMPARE(rig.window->LblMeterTime->text(), QStringLiteral("Meter Time"));
        // Nothing more is asked; the window stays open, the live poll off.
        rig.clock.run(100);
        const qsizetype writes = rig.port.writes().size();
        rig.clock.run(3000);
        QCOMPARE(rig.port.writes().size(), writes);
        QVERIFY(rig.window->isVisible());
        QVERIFY(!rig.session.Timer1.isActive());
    }

    // Exit, the close box, Escape, or by itself when the meter starts logging.
    void everyWayOfClosingTurnsTheLivePollBackOn_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("duringARead");
        for (const char* how : {"Exit", "close box", "Escape", "meter logs"}) {
            QTest::addRow("%s", how) << QString::fromLatin1(how) << false;
            QTest::addRow("%s during a read", how) << QString::fromLatin1(how) << true;
        }
    }
    void everyWayOfClosingTurnsTheLivePollBackOn() {
        QFETCH(QString, how);
        QFETCH(bool, duringARead);
        const bool logs = how == QLatin1String("meter logs");
        Rig rig;
        QVERIFY(rig.open());
        QVERIFY(!rig.state.live.MeterRecording);
        Setup& w = *rig.window;
        const auto close = [&] {
            if (how == QLatin1String("Exit"))
                QTest::mouseClick(w.CmdExit, Qt::LeftButton);
            else if (how == QLatin1String("close box"))
                w.close();
            else if (how == QLatin1String("Escape"))
                QTest::keyClick(&w, Qt::Key_Escape);
            else
                rig.port.stream(fourFrames(true));
        };
        if (duringARead) {
            rig.port.answer(kClockRead, clockReply(26, 3, 4, 9, 5, 7), 1200);
            bool wasReading = false;
            rig.clock.at(rig.clock.elapsedMs() + 300, [&] {
                wasReading = w.clock().exchangePending();
                close();
            });
            rig.click(w.LblMeterTime);
            rig.clock.run(100);
            QVERIFY(wasReading);
        } else {
            rig.clock.run(2000);
            close();
        }
        // Closed at once, or by the next look at the meter when it logs.
        QVERIFY(rig.clock.runUntil([&] { return !w.isVisible(); }, logs ? 2000 : 0));
        rig.settle();
        QVERIFY(!w.clock().Timer1.isActive());
        QVERIFY(rig.session.Timer1.isActive());
        // The live poll goes on; the clock window asks the meter nothing more.
        const int reads = rig.port.countWrites(kClockRead);
        const int frames = rig.state.link.PollCount;
        rig.clock.run(3000);
        QCOMPARE(rig.port.countWrites(kClockRead), reads);
        QVERIFY(rig.session.Timer1.isActive());
        QVERIFY(rig.state.link.PollCount != frames);
        QCOMPARE(rig.state.live.MeterRecording, logs);
    }

    void rtcWhileTheMeterLogsOpensNoWindow() {
        Rig rig;
        QVERIFY(rig.linkUp());
        rig.port.stream(fourFrames(true));
        QVERIFY(rig.clock.runUntil([&] { return rig.client.mirror().meterLogging; }, 2000));
        rig.dialogs.answerMessage(QMessageBox::Ok);
        rig.panel.Toolbar1_ButtonClick(QStringLiteral("RTC"));
        const auto shown = rig.dialogs.callsOf(test::ScriptedDialogs::Kind::Message);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Recording mode, stop record then try again !"));
        QVERIFY(rig.panel.findChildren<Setup*>().isEmpty());
        QVERIFY(rig.session.Timer1.isActive());
    }
};

QUADTHERM_TEST_SUITE(TestClockWindow, Gui)

} // namespace tst_clock_window

#include "tst_clock_window.moc"
