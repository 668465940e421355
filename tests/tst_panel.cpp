// The main window against the in-process simulated meter at the real line
// rate: start-up and the first re-synchronisation, the change detection of the
// live tick, the once-a-second display, the alarm setpoint widgets and range
// panel, and the pop-ups of the toolbar. One window lives through the suite,
// so the slow start-up (the meter clock read waits two seconds) runs once.

#include "main_window/ui/alarm_range.h"
#include "main_window/ui/help_window.h"
#include "main_window/ui/panel.h"
#include "main_window/ui/power_off_list.h"
#include "main_window/ui/unit_panel.h"
#include "meter_link/meter_protocol.h"
#include "recording/ui/list_window.h"
#include "shared/clock.h"
#include "sim/simulated_serial_port.h"
#include "support/scripted_dialogs.h"
#include "support/session_rig.h"
#include "support/test_suite.h"
#include "widgets/key_toolbar.h"
#include "widgets/knob_gauge.h"
#include "widgets/numeric_edit.h"
#include "widgets/strip_chart.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QTest>

#include <qcustomplot.h>

namespace tst_panel {

using namespace quadtherm;

namespace {

double lastPoint(widgets::StripChart* chart) {
    const auto data = chart->plot()->graph(0)->data();
    return (data->constEnd() - 1)->value;
}

} // namespace

class TestPanel : public QObject {
    Q_OBJECT
private:
    test::SimSessionRig m_rig;
    shared::RunState& m_state = m_rig.state;
    shared::ViewState& m_view = m_rig.view;
    test::ScriptedDialogs& m_dialogs = m_rig.dialogs;
    session::MeterSession& m_session = m_rig.session;
    std::unique_ptr<main_window::Panel> m_panel;

    sim::SimulatedMeter& meter() { return m_rig.port.meter(); }
    main_window::Panel& panel() { return *m_panel; }

    // Live ticks by hand, each reading one frame, until `done` holds.
    bool tickUntil(const std::function<bool()>& done, int maxTicks = 200) {
        for (int i = 0; i < maxTicks; ++i) {
            m_session.Timer1_Timer();
            m_rig.settle();
            if (done())
                return true;
        }
        return false;
    }
    // Enough ticks for every channel's frame to be read a few times.
    void tickAllChannels() {
        for (int i = 0; i < 24; ++i)
            m_session.Timer1_Timer();
        m_rig.settle();
    }
    void displayCycle() {
        m_state.recording.PcSamplingTick = m_state.recording.PcSamplingSeconds;
        m_session.Timer2_Timer();
        m_rig.settle();
    }

private slots:
    void initTestCase() {
        meter().channel(2).probePresent = false;
        QVERIFY(m_rig.port.setSettings(QStringLiteral("19200,n,8,1")));
        QVERIFY(m_rig.port.open());
        m_panel = std::make_unique<main_window::Panel>(m_rig.client, m_view, m_dialogs,
                                                       QStringLiteral("SIM"), 3);
    }

    void startUpShowsThePortThenNoComThenFourLiveChannels() {
        // The port label as it changes on the way.
        QStringList portTexts;
        const auto watch = [&] {
            if (portTexts.isEmpty() || portTexts.last() != panel().LblCOM->text())
                portTexts << panel().LblCOM->text();
        };
        // Heard after the main window has shown each change.
        connect(&m_rig.client, &session::SessionClient::linkShown, this, watch);
        panel().Form_Load();
        panel().show();
        watch();
        QCOMPARE(panel().windowTitle(), QStringLiteral("Panel  V7.4"));
        QCOMPARE(panel().ComboP->count(), 3);
        QCOMPARE(panel().ComboP->itemText(0), QStringLiteral(" 5 Minutes"));
        QVERIFY(m_rig.clock.runUntil([&] { return portTexts.size() == 3; }, 15000));
        QCOMPARE(portTexts, (QStringList{"COM3", "No COM", "COM3"}));
        // The first tick after the link came up sets the displays up.
        QVERIFY(m_rig.clock.runUntil([&] { return panel().displaySetUps() > 0; }, 5000));

        QVERIFY(!panel().PicC->isHidden());
        QVERIFY(panel().PicF->isHidden());
        const QStringList letters{"K", "K", "J", "T"};
        for (int k = 0; k < 4; ++k)
            QCOMPARE(panel().PicC->LblType[k]->text(), letters[k]);
        // Values and charts move once a second.
        auto* value = panel().PicC->LblValue[0];
        QVERIFY(m_rig.clock.runUntil([&] { return !value->text().isEmpty(); }, 5000));
        const QString first = value->text();
        QVERIFY(m_rig.clock.runUntil([&] { return value->text() != first; }, 10000));
        QVERIFY(panel().PicC->CWG[0]->pointCount() >= 2);
        QCOMPARE(panel().PicC->LblValue[2]->text(), QStringLiteral("- - -"));
        QCOMPARE(panel().PicC->CWG[2]->pointCount(), 0);

        m_session.Timer1.stop();
        m_session.Timer2.stop();
    }

    void switchingTheMeterToFahrenheitSwapsPanelsAndResumesOneTickLater() {
        displayCycle();
        QVERIFY(panel().PicC->CWG[0]->pointCount() > 0);
        m_state.recording.RecordingActive = true;
        panel().LblRec->show();
        const int setUps = panel().displaySetUps();
        m_dialogs.answerMessage(QMessageBox::Ok); // the recording ended: told

        meter().setFahrenheit(true);
        QVERIFY(tickUntil([&] { return panel().displaySetUps() > setUps; }));
        QVERIFY(panel().PicC->isHidden());
        QVERIFY(!panel().PicF->isHidden());
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(panel().PicC->CWG[k]->pointCount(), 0);
            QCOMPARE(panel().PicF->CWG[k]->pointCount(), 0);
        }
        QVERIFY(!m_session.Timer2.isActive());
        QVERIFY(!m_state.recording.RecordingActive);
        QVERIFY(panel().LblRec->isHidden());
        QCOMPARE(m_state.recording.HistoryCount, 0);
        QCOMPARE(m_dialogs.pendingAnswers(), 0);

        m_session.Timer1_Timer();
        m_rig.settle();
        QVERIFY(m_session.Timer2.isActive());
        QCOMPARE(panel().displaySetUps(), setUps + 1);
        m_session.Timer2.stop();

        meter().setFahrenheit(false);
        QVERIFY(tickUntil([&] { return panel().PicF->isHidden(); }));
    }

    void pluggingAProbeCausesExactlyOneDisplaySetUp() {
        tickAllChannels();
        const int setUps = panel().displaySetUps();
        meter().channel(2).probePresent = true;
        tickAllChannels();
        QCOMPARE(panel().displaySetUps(), setUps + 1);
        QVERIFY(m_state.live.ProbePresent[2]);
        displayCycle();
        QVERIFY(panel().PicC->LblValue[2]->text() != QStringLiteral("- - -"));
    }

    void aTypeCodeWithoutLetterChangesNothingShownButCountsAsAChange() {
        tickAllChannels();
        const int setUps = panel().displaySetUps();
        meter().channel(1).typeCode = 12;
        tickAllChannels();
        QCOMPARE(panel().displaySetUps(), setUps + 1);
        QCOMPARE(m_state.live.TypeCode[1], 12);
        QCOMPARE(panel().PicC->LblType[1]->text(), QStringLiteral("K"));
        QCOMPARE(panel().PicC->CWK[1]->axisMaximum(), 1370.0);
        QCOMPARE(panel().PicF->CWE[1]->minimum(), -328.0);

        meter().channel(1).typeCode = 0;
        tickAllChannels();
        QCOMPARE(panel().displaySetUps(), setUps + 2);
    }

    void clickingThePortLabelTogglesTheCaption() {
        QTest::mouseClick(panel().LblCOM, Qt::LeftButton);
        QCOMPARE(panel().windowTitle(), QStringLiteral("Panel  V7.4   101126"));
        QTest::mouseClick(panel().LblCOM, Qt::LeftButton);
        QCOMPARE(panel().windowTitle(), QStringLiteral("Panel  V7.4"));
    }

    void knobAndEditBoxStayInStepBothWays() {
        auto* c = panel().PicC;
        auto* f = panel().PicF;
        c->CWK[0]->setValue(500);
        m_rig.settle(); // the session's copy, for its cycle's alarms
        QCOMPARE(c->CWE[0]->value(), 500.0);
        QCOMPARE(m_state.alarms.AlarmSetpointC[0], 500.0);

        // A user typing into the °C edit box.
        auto* spin = c->CWE[1]->spinBox();
        spin->selectAll();
        QTest::keyClicks(spin, QStringLiteral("250.5"));
        QTest::keyClick(spin, Qt::Key_Return);
        m_rig.settle();
        QCOMPARE(c->CWK[1]->value(), 250.5);
        QCOMPARE(m_state.alarms.AlarmSetpointC[1], 250.5);

        // The °F widgets keep only the °F setpoint; the type's °C limit stays.
        f->CWK[3]->setValue(700);
        m_rig.settle();
        QCOMPARE(f->CWE[3]->value(), 700.0);
        QCOMPARE(m_state.alarms.AlarmSetpointF[3], 700.0);
        QCOMPARE(m_state.live.RangeMaxC[0], 1370);
        QCOMPARE(m_state.live.RangeMaxC[3], 400);
    }

    void alarmRangeBoxesFilterKeysAndApplyOneBoundOnEnter() {
        panel().Toolbar1_ButtonClick(QStringLiteral("Alarm"));
        auto* range = panel().PicAlmRange;
        QVERIFY(range->isVisible());
        QCOMPARE(range->MaxText[0]->text(), QStringLiteral("1370"));
        QCOMPARE(range->MinText[3]->text(), QStringLiteral("-200"));

        range->MinText[1]->clear();
        QTest::keyClicks(range->MinText[1], QStringLiteral("a-1x2.5 "));
        QCOMPARE(range->MinText[1]->text(), QStringLiteral("-12.5"));

        range->MaxText[2]->setText(QStringLiteral("300"));
        QTest::keyClick(range->MaxText[2], Qt::Key_Return);
        m_rig.settle();
        auto* c = panel().PicC;
        QCOMPARE(c->CWE[2]->maximum(), 300.0);
        QCOMPARE(c->CWK[2]->axisMaximum(), 300.0);
        QCOMPARE(c->CWE[2]->value(), 300.0); // the setpoint was pulled into range
        QCOMPARE(m_state.alarms.AlarmSetpointC[2], 300.0);
        QCOMPARE(c->CWE[1]->maximum(), 1370.0);
        QCOMPARE(c->CWE[1]->minimum(), -200.0); // typed, not applied yet
        QCOMPARE(c->CWE[3]->maximum(), 400.0);

        // Cancel keeps what Enter applied.
        QTest::mouseClick(range->CmdAlmCancel, Qt::LeftButton);
        QVERIFY(range->isHidden());
        QCOMPARE(c->CWE[2]->maximum(), 300.0);

        // OK applies every box; an empty box is 0.
        panel().Toolbar1_ButtonClick(QStringLiteral("Alarm"));
        QCOMPARE(range->MaxText[2]->text(), QStringLiteral("300"));
        range->MinText[3]->clear();
        range->MaxText[0]->setText(QStringLiteral("1000"));
        QTest::mouseClick(range->CmdAlmOK, Qt::LeftButton);
        QVERIFY(range->isHidden());
        QCOMPARE(c->CWE[3]->minimum(), 0.0);
        QCOMPARE(c->CWK[3]->axisMinimum(), 0.0);
        QCOMPARE(c->CWE[0]->maximum(), 1000.0);
        QCOMPARE(c->CWK[0]->axisMaximum(), 1000.0);
        // The box typed before Cancel was refilled from the widgets.
        QCOMPARE(c->CWE[1]->minimum(), -200.0);
    }

    // Found by use: a limit of many digits came back from the refill as
    // "1e+17", which OK then read as 1; and its edit box widened the window.
    void aLongLimitReadsBackThroughTheRefillAndKeepsTheLayout() {
        auto* range = panel().PicAlmRange;
        auto* c = panel().PicC;
        const QSize window = panel().size();
        const int box = c->CWE[3]->width();
        panel().Toolbar1_ButtonClick(QStringLiteral("Alarm"));
        for (const auto& [k, text] : {std::pair{3, "99999999999999752"}, {1, "12345678901234.5"}}) {
            range->MaxText[k]->setText(QString::fromLatin1(text));
            QTest::keyClick(range->MaxText[k], Qt::Key_Return);
        }
        const double max3 = c->CWE[3]->maximum(), max1 = c->CWE[1]->maximum();
        QCOMPARE(max3, 99999999999999752.0);
        QCOMPARE(max1, 12345678901234.5);
        panel().Toolbar1_ButtonClick(QStringLiteral("Alarm")); // hidden
        panel().Toolbar1_ButtonClick(QStringLiteral("Alarm")); // refilled
        QTest::mouseClick(range->CmdAlmOK, Qt::LeftButton);
        QCOMPARE(c->CWE[3]->maximum(), max3);
        QCOMPARE(c->CWE[1]->maximum(), max1);
        QTest::qWait(50); // the layouts settle
        QCOMPARE(panel().size(), window);
        QCOMPARE(c->CWE[3]->width(), box);

        panel().Toolbar1_ButtonClick(QStringLiteral("Alarm"));
        range->MaxText[3]->setText(QStringLiteral("400"));
        range->MaxText[1]->setText(QStringLiteral("1370"));
        QTest::mouseClick(range->CmdAlmOK, Qt::LeftButton);
    }

    void overRangeIsChartedAtTheTypeLimit() {
        panel().PicC->CWK[0]->setValue(100);
        meter().channel(0).over = true;
        QVERIFY(tickUntil([&] { return m_state.live.OverRange[0]; }));
        displayCycle();
        QCOMPARE(panel().PicC->LblValue[0]->text(), QStringLiteral("Over"));
        QCOMPARE(lastPoint(panel().PicC->CWG[0]), 1370.0);
        QCOMPARE(lastPoint(panel().PicF->CWG[0]), 2498.0);
        QVERIFY(panel().PicC->LblAlarm[0]->isHidden());
        meter().channel(0).over = false;
        QVERIFY(tickUntil([&] { return !m_state.live.OverRange[0]; }));
    }

    void theAlarmIndicatorBlinksAtOrAboveTheSetpoint() {
        auto* c = panel().PicC;
        c->CWK[3]->setValue(c->CWK[3]->axisMinimum());
        m_rig.settle();
        QList<bool> shown;
        for (int i = 0; i < 4; ++i) {
            displayCycle();
            shown << !c->LblAlarm[3]->isHidden();
        }
        QCOMPARE(shown, (QList<bool>{true, false, true, false}));
        c->CWK[3]->setValue(c->CWK[3]->axisMaximum());
        m_rig.settle();
        displayCycle();
        displayCycle();
        QVERIFY(c->LblAlarm[3]->isHidden());
    }

    void celsiusFahrenheitKeySwapsTheVisiblePanel() {
        panel().Toolbar1_ButtonClick(QStringLiteral("CF"));
        QVERIFY(panel().PicC->isHidden());
        QVERIFY(!panel().PicF->isHidden());
        QVERIFY(m_view.windows.CelsiusView);
        QCOMPARE(m_view.windows.ViewUnit, QStringLiteral("°C"));
        panel().Toolbar1_ButtonClick(QStringLiteral("CF"));
        QVERIFY(!panel().PicC->isHidden());
        QCOMPARE(m_view.windows.ViewUnit, QStringLiteral("°F"));
    }

    void powerOffKeyReadsTheMeterAndTheListSetsIt() {
        meter().setPowerOffIndex(1);
        panel().Toolbar1_ButtonClick(QStringLiteral("Poweroff"));
        m_rig.settle();
        QVERIFY(panel().ComboP->isVisible());
        QCOMPARE(panel().ComboP->currentIndex(), 1);
        QVERIFY(m_session.Timer1.isActive());
        m_session.Timer1.stop();

        panel().ComboP->ComboP_Click(2);
        m_rig.settle();
        QCOMPARE(meter().powerOffIndex(), 2);
        QVERIFY(panel().ComboP->isHidden());
        QVERIFY(meter().violations().isEmpty());
        m_session.Timer1.stop();
        m_session.Timer2.stop();
    }

    void everyToolbarClickHidesTheOtherPopups() {
        panel().Toolbar1_ButtonClick(QStringLiteral("Alarm"));
        QVERIFY(panel().PicAlmRange->isVisible());
        panel().Toolbar1_ButtonClick(QStringLiteral("List"));
        QVERIFY(panel().PicAlmRange->isHidden());
        QStringList keys;
        for (QAction* action : panel().Toolbar1->actions())
            if (!action->isSeparator())
                keys << action->data().toString() + QLatin1Char('=') + action->toolTip();
        // Every key in its place with its tool tip (issue 8: three were checked).
        QCOMPARE(keys, QStringList({"Save=Save As", "Open=Open File", "Sampling=Sampling Rate",
                                    "List=List Display", "Graph=Graphic Display",
                                    "RTC=Set Meter Time to System (PC) Time", "Memory=Data Logger",
                                    "Buttons=Meter Control Panel", "Erase=Erase Data Logger",
                                    "Poweroff=Power Off Time", "CF=Celsius/Fahrenheit",
                                    "Alarm=Alarm Range"}));
        QVERIFY(m_dialogs.unexpectedCalls().isEmpty());
    }

    // Issue 20: the keys a user repeats, from whichever window is in front,
    // with the tool tips as they were.
    void theKeyboardReachesEveryWindowAndF1ListsEveryKey() {
        const auto shortcutOf = [](const QToolBar* toolbar, const char* key) {
            QAction* action = widgets::findKeyAction(toolbar, QString::fromLatin1(key));
            return action ? action->shortcut().toString() : QStringLiteral("no key");
        };
        QCOMPARE(shortcutOf(panel().Toolbar1, "Save"), QStringLiteral("Ctrl+S"));
        QCOMPARE(shortcutOf(panel().Toolbar1, "Open"), QStringLiteral("Ctrl+O"));
        QCOMPARE(widgets::findKeyAction(panel().Toolbar1, QStringLiteral("Save"))->toolTip(),
                 QStringLiteral("Save As"));

        panel().show();
        panel().activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &panel());
        QTest::keyClick(&panel(), Qt::Key_F1);
        auto* help = panel().findChild<main_window::HelpWindow*>(QStringLiteral("Help"));
        QVERIFY(help && help->isVisible());
        QStringList shown;
        for (const QLabel* label : help->findChildren<QLabel*>())
            shown << label->text();
        for (QAction* action : panel().Toolbar1->actions())
            if (!action->isSeparator())
                QVERIFY2(shown.contains(action->toolTip()), qPrintable(action->toolTip()));
        QVERIFY(shown.contains(QStringLiteral("Ctrl+W")));

        // The List window prints with Ctrl+P and closes with Ctrl+W; the main
        // window stays.
        if (!m_view.windows.ListOpen)
            panel().Toolbar1_ButtonClick(QStringLiteral("List"));
        auto* list = panel().findChild<recording::ListWindow*>();
        QVERIFY(list && list->isVisible());
        QCOMPARE(shortcutOf(list->Toolbar1, "Print"), QStringLiteral("Ctrl+P"));
        for (QWidget* front : {static_cast<QWidget*>(help), static_cast<QWidget*>(list)}) {
            front->activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), front);
            QTest::keyClick(front, Qt::Key_W, Qt::ControlModifier);
            QTRY_VERIFY2(!front->isVisible(), qPrintable(front->objectName()));
        }
        QVERIFY(panel().isVisible());
        panel().activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &panel());
        QTest::keyClick(&panel(), Qt::Key_W, Qt::ControlModifier);
        QVERIFY(panel().isVisible());

        // Ctrl+Q ends the program as closing the main window does.
        QTest::keyClick(&panel(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!panel().isVisible());
        QVERIFY(m_dialogs.unexpectedCalls().isEmpty());
    }

    void cleanupTestCase() { panel().close(); }
};

QUADTHERM_TEST_SUITE(TestPanel, Gui)

} // namespace tst_panel

#include "tst_panel.moc"
