// The main window's live side on a scripted meter and the fake clock: the
// alarm setpoints the re-synchronisation gives every thermocouple type, the
// periodic status exchange, commands clicked while the live tick waits for
// the meter, and the layout staying put when the unit panels swap.

#include "main_window/ui/alarm_control.h"
#include "main_window/ui/alarm_sound.h"
#include "main_window/ui/panel.h"
#include "main_window/ui/unit_panel.h"
#include "meter_link/meter_protocol.h"
#include "shared/settings.h"
#include "sim/simulated_serial_port.h"
#include "support/fake_clock.h"
#include "support/meter_bytes.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_serial_port.h"
#include "support/session_rig.h"
#include "support/test_suite.h"
#include "widgets/knob_gauge.h"
#include "widgets/numeric_edit.h"
#include "widgets/strip_chart.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace tst_panel_live {

using namespace quadtherm;
using Kind = test::ScriptedDialogs::Kind;

namespace {

using test::bytes;

// One reading frame: a probe on the channel reading `tenthsF` tenths of a °F.
QByteArray fourFrames(const QList<int>& types, int tenthsF = 725, bool fahrenheit = false) {
    QByteArray out;
    for (int k = 0; k < 4; ++k)
        out += test::readingFrame(k, types[k], tenthsF, fahrenheit);
    return out;
}

struct Range {
    double minC, maxC, minF, maxF;
};

// The thermocouple table, restated.
const QMap<int, Range> kRanges{
    {0, {-200, 1370, -328, 2498}}, {1, {-200, 1000, -328, 1832}}, {2, {-200, 760, -328, 1400}},
    {3, {-200, 400, -328, 752}},   {4, {0, 1600, 32, 2912}},      {5, {0, 1600, 32, 2912}},
    {6, {-200, 1300, -328, 2372}}, {7, {-200, 900, -328, 1652}},  {8, {-200, 600, -328, 1112}},
    {9, {600, 1820, 1112, 3308}},  {10, {0, 2310, 32, 4190}},
};

const QByteArray kStatusReply = bytes({0x02, 0x00, 0x20, 0x00, 0x00, 0xFF, 0x03});
const QByteArray kClockReply = bytes({0x02, 26, 3, 4, 9, 5, 7, 0x03});

struct Rig : test::SessionRig {
    meter_link::MeterProtocol& protocol = session.protocol();
    main_window::Panel panel{client, view, dialogs, QStringLiteral("/dev/pts/7")};

    explicit Rig(const QList<int>& types) {
        port.open();
        port.pauseStreamOnWrite(100);
        port.answer("A", kStatusReply);
        port.answer("X", kClockReply);
        port.stream(fourFrames(types));
    }
    ~Rig() { stopTimers(); }
    // The real timers stay off: the test runs every tick itself.
    void stopTimers() {
        session.Timer1.stop();
        session.Timer2.stop();
    }
    // One tick of the live poll as the event loop runs it: anything queued
    // for after the tick runs before the next one.
    void tick() {
        session.Timer1_Timer();
        stopTimers();
        QCoreApplication::processEvents();
    }
    void startUp() {
        tick(); // the first tick re-synchronises
        QVERIFY(!state.link.NeedResync);
        for (int i = 0; i < 8; ++i)
            tick();
    }
};

void verifySetpointsAtTheTop(Rig& rig, const QList<int>& types) {
    for (int k = 0; k < 4; ++k) {
        const Range r = kRanges[types[k]];
        const QString where = QStringLiteral("T%1 type code %2").arg(k + 1).arg(types[k]);
        QVERIFY2(rig.state.alarms.AlarmSetpointC[k] == r.maxC, qPrintable(where));
        QVERIFY2(rig.state.alarms.AlarmSetpointF[k] == r.maxF, qPrintable(where));
        for (auto [panel, max, min] : {std::tuple{rig.panel.PicC, r.maxC, r.minC},
                                       std::tuple{rig.panel.PicF, r.maxF, r.minF}}) {
            QVERIFY2(panel->CWK[k]->value() == max, qPrintable(where));
            QVERIFY2(panel->CWE[k]->value() == max, qPrintable(where));
            QVERIFY2(panel->CWK[k]->axisMinimum() == min, qPrintable(where));
            QVERIFY2(panel->CWE[k]->maximum() == max, qPrintable(where));
        }
    }
}

} // namespace

class TestPanelLive : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Issue 8: a new range pulled the widgets' old value in, and their report
    // overwrote the setpoint just set (°F 32 for R, S and C; 600 for B).
    void resyncPutsEverySetpointAtTheTopOfItsTypesRange_data() {
        QTest::addColumn<QList<int>>("types");
        QTest::addColumn<QList<int>>("typesAfter");
        QTest::newRow("K J E T, then R S N L") << QList{0, 1, 2, 3} << QList{4, 5, 6, 7};
        QTest::newRow("R S N L, then U B C K") << QList{4, 5, 6, 7} << QList{8, 9, 10, 0};
        QTest::newRow("U B C K, then K J E T") << QList{8, 9, 10, 0} << QList{0, 1, 2, 3};
        QTest::newRow("B C R S, then T U B C") << QList{9, 10, 4, 5} << QList{3, 8, 9, 10};
    }
    void resyncPutsEverySetpointAtTheTopOfItsTypesRange() {
        QFETCH(QList<int>, types);
        QFETCH(QList<int>, typesAfter);
        Rig rig(types);
        rig.startUp();
        verifySetpointsAtTheTop(rig, types);

        // The user turns every knob to its bottom; the probes are swapped
        // while the meter is off, and the link is rebuilt when it is back.
        for (int k = 0; k < 4; ++k) {
            rig.panel.PicC->CWK[k]->setValue(rig.panel.PicC->CWK[k]->axisMinimum());
            rig.panel.PicF->CWK[k]->setValue(rig.panel.PicF->CWK[k]->axisMinimum());
        }
        rig.port.stream({});
        rig.clock.at(rig.clock.elapsedMs() + 5000,
                     [&] { rig.port.stream(fourFrames(typesAfter)); });
        rig.tick(); // the frame read gives up: the link is rebuilt
        QVERIFY(!rig.state.link.NeedResync);
        verifySetpointsAtTheTop(rig, typesAfter);
    }

    void aTypeChangeKeepsTheSetpointWhereTheWidgetsShowIt() {
        Rig rig({0, 0, 1, 3});
        rig.startUp();
        const int setUps = rig.panel.displaySetUps();
        rig.port.stream(fourFrames({3, 9, 1, 3})); // T1 K to T, T2 K to B
        for (int i = 0; i < 8; ++i)
            rig.tick();
        QVERIFY(rig.panel.displaySetUps() > setUps);
        // 1370 lies above T's range and inside B's: both widgets and the
        // setpoint agree on what the new range allows.
        QCOMPARE(rig.state.alarms.AlarmSetpointC[0], 400.0);
        QCOMPARE(rig.panel.PicC->CWE[0]->value(), 400.0);
        QCOMPARE(rig.state.alarms.AlarmSetpointF[0], 752.0);
        QCOMPARE(rig.state.alarms.AlarmSetpointC[1], 1370.0);
        QCOMPARE(rig.panel.PicF->CWK[1]->value(), 2498.0);
        QCOMPARE(rig.state.alarms.AlarmSetpointC[2], 1000.0);
    }

    void theStatusExchangeRunsEveryHundredTicks() {
        Rig rig({0, 0, 1, 3});
        rig.startUp();
        const int before = rig.port.countWrites("A");
        const int polls = rig.state.link.PollCount;
        QVERIFY(polls < 100);
        for (int i = polls; i < 99; ++i)
            rig.tick();
        QCOMPARE(rig.port.countWrites("A"), before);
        rig.tick();
        QCOMPARE(rig.port.countWrites("A"), before + 1);
        QCOMPARE(rig.state.link.PollCount, qint16(0));
        for (int i = 0; i < 100; ++i)
            rig.tick();
        QCOMPARE(rig.port.countWrites("A"), before + 2);
        QCOMPARE(rig.state.link.PollCount, qint16(0));
    }

    // #18: a recording ended by a rebuilt link (or by a change on the meter)
    // only put its "Rec" tag out: nothing told the user.
    void aRecordingTheMeterEndedIsToldInTheBottomBarAndInAMessage_data() {
        QTest::addColumn<bool>("rebuilt");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("message");
        QTest::newRow("link rebuilt")
            << true << "link to the meter rebuilt"
            << "Recording stopped: the meter stopped answering and the link to it was rebuilt";
        QTest::newRow("type changed") << false << "a probe, a type or the unit changed"
                                      << "Recording stopped: a probe was plugged or pulled";
    }
    void aRecordingTheMeterEndedIsToldInTheBottomBarAndInAMessage() {
        QFETCH(bool, rebuilt);
        QFETCH(QString, note);
        QFETCH(QString, message);
        QTemporaryDir dir;
        Rig rig({0, 0, 0, 0});
        rig.startUp();
        rig.dialogs.answerSave(dir.filePath(QStringLiteral("run.4ch")));
        rig.panel.Toolbar1_ButtonClick(QStringLiteral("Save"));
        rig.settle();
        for (int i = 0; i < 2; ++i) {
            rig.state.recording.PcSamplingTick = rig.state.recording.PcSamplingSeconds;
            rig.session.Timer2_Timer();
        }
        if (rebuilt) {
            rig.port.stream({});
            rig.clock.at(rig.clock.elapsedMs() + 5000, [&] {
                rig.port.stream(fourFrames({0, 0, 0, 0}));
            });
        } else {
            rig.port.stream(fourFrames({1, 0, 0, 0}));
        }
        rig.dialogs.answerMessage(QMessageBox::Ok);
        for (int i = 0; i < 8 && rig.state.recording.RecordingActive; ++i)
            rig.tick();
        QVERIFY(!rig.state.recording.RecordingActive);
        QVERIFY(rig.panel.LblRec->isHidden());
        const QString shown = rig.panel.findChild<QLabel*>(QStringLiteral("LblNote"))->text();
        QVERIFY2(QRegularExpression(QStringLiteral("^Recording ended \\d\\d:\\d\\d:\\d\\d "
                                                   "after 2 records: ") +
                                    QRegularExpression::escape(note) + u'$')
                     .match(shown)
                     .hasMatch(),
                 qPrintable(shown));
        const auto told = rig.dialogs.callsOf(Kind::Message);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].text.startsWith(message), qPrintable(told[0].text));
        QVERIFY2(told[0].text.endsWith(QStringLiteral("2 records are in \"run.4ch\".")),
                 qPrintable(told[0].text));
        // The note stays until the next recording starts.
        rig.dialogs.answerSave(dir.filePath(QStringLiteral("next.4ch")));
        rig.panel.Toolbar1_ButtonClick(QStringLiteral("Save"));
        rig.settle();
        QVERIFY(rig.panel.findChild<QLabel*>(QStringLiteral("LblNote"))->text().isEmpty());
    }

    // #20: the bottom bar says the interval in use, how long the recording
    // has run and where it goes; with no meter it says what to check.
    void theBottomBarSaysWhatIsHappening() {
        QTemporaryDir dir;
        Rig rig({0, 0, 0, 0});
        rig.panel.Form_Load();
        rig.stopTimers();
        rig.startUp();
        const auto label = [&](const char* name) {
            return rig.panel.findChild<QLabel*>(QLatin1String(name));
        };
        QCOMPARE(label("LblInterval")->text(), QStringLiteral("PC 1 s"));
        const QString path = dir.filePath(QStringLiteral("run.4ch"));
        rig.dialogs.answerSave(path);
        rig.panel.Toolbar1_ButtonClick(QStringLiteral("Save"));
        rig.settle();
        for (int i = 0; i < 3; ++i) {
            rig.clock.advance(1000);
            rig.state.recording.PcSamplingTick = rig.state.recording.PcSamplingSeconds;
            rig.session.Timer2_Timer();
            rig.settle();
        }
        QCOMPARE(label("LblElapsed")->text(), QStringLiteral("0:00:03"));
        QCOMPARE(label("LblCount")->text(), QStringLiteral("3"));
        QCOMPARE(label("LblFileName")->text(), QStringLiteral("run.4ch"));
        QCOMPARE(label("LblFileName")->toolTip(), QFileInfo(path).absoluteFilePath());
        rig.panel.Toolbar1_ButtonClick(QStringLiteral("Save"));
        rig.settle();
        QVERIFY(label("LblElapsed")->text().isEmpty());
        QVERIFY(label("LblNote")->text().startsWith(QStringLiteral("Recording ended ")));

        // The meter falls silent: after ten seconds the bar says what to check.
        rig.port.stream({});
        QString hint;
        rig.clock.at(rig.clock.elapsedMs() + 15000, [&] {
            rig.settle();
            hint = label("LblNote")->text();
            rig.port.stream(fourFrames({0, 0, 0, 0}));
        });
        rig.tick(); // the frame read gives up, the link is rebuilt in it
        QCOMPARE(hint, QStringLiteral("No answer on /dev/pts/7: check the cable and that the "
                                      "meter is switched on"));
        // Back: the recording's note again.
        QVERIFY(label("LblNote")->text().startsWith(QStringLiteral("Recording ended ")));
    }

    // #20: the audible alarm, through its control on the bottom bar: off
    // until turned on (and then remembered), sounding when a reading reaches
    // its setpoint, hushed by Escape, sounding for a probe pulled during a
    // recording, and told by the desktop when the window is minimised.
    void theAudibleAlarmSoundsIsHushedAndIsRemembered() {
        struct Output final : main_window::AlarmOutput {
            QStringList heard;
            void startSound() override { heard << QStringLiteral("start"); }
            void stopSound() override { heard << QStringLiteral("stop"); }
            void notify(const QString&, const QString& text) override {
                heard << QStringLiteral("notify ") + text;
            }
        } output;
        QTemporaryDir dir;
        shared::Settings settings(dir.filePath(QStringLiteral("alarm.ini")));
        test::SessionRig rig;
        rig.port.open();
        rig.port.pauseStreamOnWrite(100);
        rig.port.answer("A", kStatusReply);
        rig.port.answer("X", kClockReply);
        rig.port.stream(fourFrames({0, 0, 0, 0}));
        main_window::Panel panel(rig.client, rig.view, rig.dialogs, QStringLiteral("/dev/pts/7"), 0,
                                 &settings, &output);
        const auto tick = [&] {
            rig.session.Timer1_Timer();
            rig.session.Timer1.stop();
            rig.session.Timer2.stop();
            rig.settle();
        };
        const auto cycle = [&] {
            rig.state.recording.PcSamplingTick = rig.state.recording.PcSamplingSeconds;
            rig.session.Timer2_Timer();
            rig.settle();
        };
        panel.show();
        panel.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&panel));
        for (int i = 0; i < 9; ++i)
            tick();
        auto* control = panel.findChild<main_window::AlarmControl*>(QStringLiteral("BtnAlarm"));
        QVERIFY(control && !control->ActSound->isChecked());
        // T1 at 72.5 °F is 22.5 °C: a setpoint of 10 °C puts it in alarm.
        panel.PicC->CWK[0]->setValue(10);
        rig.settle();
        cycle();
        QVERIFY(output.heard.isEmpty()); // off by default: the tag blinks, nothing sounds
        control->ActSound->trigger();
        QVERIFY(settings.alarmSound().enabled);
        cycle();
        QCOMPARE(output.heard, QStringList{"start"});
        QCOMPARE(control->text(), QStringLiteral("Acknowledge (Esc)"));
        QTest::keyClick(&panel, Qt::Key_Escape);
        QCOMPARE(output.heard, (QStringList{"start", "stop"}));
        QVERIFY(control->text().isEmpty());

        // A probe pulled during a recording, the window minimised.
        panel.PicC->CWK[0]->setValue(panel.PicC->CWK[0]->axisMaximum());
        rig.settle();
        QTemporaryDir files;
        rig.dialogs.answerSave(files.filePath(QStringLiteral("run.4ch")));
        rig.dialogs.answerMessage(QMessageBox::Ok); // the recording ended: told
        panel.Toolbar1_ButtonClick(QStringLiteral("Save"));
        rig.settle();
        cycle();
        panel.showMinimized();
        QByteArray noT2 = fourFrames({0, 0, 0, 0});
        noT2[12 + 3] = 0x00; // T2's frame: no probe
        rig.port.stream(noT2);
        output.heard.clear();
        for (int i = 0; i < 8; ++i)
            tick();
        QVERIFY(!rig.state.recording.RecordingActive);
        QCOMPARE(output.heard.value(0), QStringLiteral("start"));
        QCOMPARE(output.heard.value(1), QStringLiteral("notify T2 lost its probe"));
        // Back in: quiet again.
        rig.port.stream(fourFrames({0, 0, 0, 0}));
        for (int i = 0; i < 8; ++i)
            tick();
        QCOMPARE(output.heard.last(), QStringLiteral("stop"));
        panel.close();
    }

    // Issue 8: the window grew from 959 × 488 to 959 × 663 on the first swap,
    // and a wide window stretched the alarm boxes.
    void swappingTheUnitPanelsKeepsTheWindowSize() {
        Rig rig({0, 1, 4, 9});
        rig.panel.show();
        rig.startUp();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.panel));
        const QSize before = rig.panel.size();
        QCOMPARE(before, QSize(959, 488));
        for (int i = 0; i < 4; ++i) {
            rig.panel.Toolbar1_ButtonClick(QStringLiteral("CF"));
            QCoreApplication::processEvents();
            QCOMPARE(rig.panel.size(), before);
        }
        QVERIFY(rig.panel.PicF->isHidden());
        // The meter itself switching to °F swaps them as well.
        rig.port.stream(fourFrames({0, 1, 4, 9}, 725, true));
        for (int i = 0; i < 8; ++i)
            rig.tick();
        QVERIFY(rig.panel.PicC->isHidden());
        QCOMPARE(rig.panel.size(), before);
        const auto shown = [&] {
            return rig.panel.PicC->isVisible() ? rig.panel.PicC : rig.panel.PicF;
        };
        const int editWidth = shown()->CWE[0]->width();
        const int chartWidth = shown()->CWG[0]->width();
        rig.panel.resize(1600, 700);
        rig.panel.Toolbar1_ButtonClick(QStringLiteral("CF"));
        QCoreApplication::processEvents();
        QCOMPARE(rig.panel.size(), QSize(1600, 700));
        // The room a wide window gives goes to the charts, not the alarm boxes.
        QCOMPARE(shown()->CWE[0]->width(), editWidth);
        QVERIFY(shown()->CWG[0]->width() > chartWidth + 100);
    }

    // Issue 8: the dial shrank to make room for wide scale labels.
    void theKnobsOfAPanelShareOneDialSizeWhateverTheirTypes() {
        Rig rig({0, 1, 3, 9});
        rig.panel.show();
        rig.startUp();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.panel));
        for (auto* panel : {rig.panel.PicC, rig.panel.PicF}) {
            const double radius = panel->CWK[0]->dialRadius();
            QVERIFY(radius > 20);
            for (int k = 1; k < 4; ++k)
                QCOMPARE(panel->CWK[k]->dialRadius(), radius);
        }
        const double before = rig.panel.PicC->CWK[0]->dialRadius();
        rig.port.stream(fourFrames({10, 1, 3, 9}));
        for (int i = 0; i < 8; ++i)
            rig.tick();
        QCOMPARE(rig.panel.PicC->CWK[0]->dialRadius(), before);
    }
};

QUADTHERM_TEST_SUITE(TestPanelLive, Gui)

} // namespace tst_panel_live

#include "tst_panel_live.moc"
