// The main window's toolbar commands: recording start and stop with the
// record lines the cycle writes, "Open" into the file list, the PC and meter
// sampling intervals, the memory size service and the live list. The meter is
// the in-process simulated one; the live timers stay off, so every cycle is
// run by hand.

#include "main_window/ui/panel.h"
#include "main_window/ui/unit_panel.h"
#include "meter_link/meter_protocol.h"
#include "recording/ui/file_list_window.h"
#include "recording/ui/list_window.h"
#include "shared/clock.h"
#include "sim/simulated_serial_port.h"
#include "support/scripted_dialogs.h"
#include "support/session_rig.h"
#include "support/test_suite.h"
#include "widgets/grid.h"
#include "widgets/knob_gauge.h"
#include "widgets/numeric_edit.h"
#include "widgets/strip_chart.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <qcustomplot.h>

namespace tst_panel_commands {

using namespace quadtherm;
using Kind = test::ScriptedDialogs::Kind;

class TestPanelCommands : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::SimSessionRig> m_rig;
    std::unique_ptr<main_window::Panel> m_panel;
    QTemporaryDir m_dir;

    main_window::Panel& panel() { return *m_panel; }
    shared::RunState& state() { return m_rig->state; }
    shared::ViewState& view() { return m_rig->view; }
    session::MeterSession& session() { return m_rig->session; }
    sim::SimulatedMeter& meter() { return m_rig->port.meter(); }
    test::ScriptedDialogs& dialogs() { return m_rig->dialogs; }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Channels K, K, J, T: 23.4, Over, no probe, -5.2 °C.
    void setLiveChannels(bool fahrenheit) {
        auto& live = state().live;
        live.MeterFahrenheit = fahrenheit;
        live.UnitText = fahrenheit ? QStringLiteral("°F") : QStringLiteral("°C");
        live.TypeLetter = {"K", "K", "J", "T"};
        live.ProbePresent = {true, true, false, true};
        live.OverRange = {false, true, false, false};
        live.LiveTextC = {"23.4", "", "", "-5.2"};
        live.LiveTextF = {"74.1", "", "", "22.6"};
        // What the windows know of the channels, as the session tells them.
        Q_EMIT session().channelsChanged(session::channelsSetupOf(state()));
        m_rig->settle();
    }
    void cycle() {
        state().recording.PcSamplingTick = state().recording.PcSamplingSeconds;
        session().Timer2_Timer();
        m_rig->settle();
    }
    // Lets the meter's time pass until no command holds the meter, and what
    // the session sent back has arrived.
    void finish() {
        QVERIFY(m_rig->clock.runUntil([&] { return !session().leaseHeld(); }, 60000));
        m_rig->settle();
    }
    void click(const char* key) {
        panel().Toolbar1_ButtonClick(QLatin1String(key));
        finish();
    }
    static QByteArray fileBytes(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The labels of a chart's X axis, as drawn now.
    static QList<QString> xLabels(widgets::StripChart* chart) {
        chart->plot()->replot(QCustomPlot::rpImmediateRefresh);
        return chart->plot()->xAxis->tickVectorLabels();
    }
    static bool allMatch(const QList<QString>& labels, const QString& pattern) {
        const QRegularExpression re(pattern);
        return !labels.isEmpty() &&
               std::all_of(labels.begin(), labels.end(),
                           [&](const QString& label) { return re.match(label).hasMatch(); });
    }
    static QAction* menuEntry(widgets::StripChart* chart, const QString& text) {
        for (QAction* action : chart->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }
    QList<widgets::StripChart*> allCharts() {
        QList<widgets::StripChart*> charts;
        for (main_window::UnitPanel* unit : {panel().PicC, panel().PicF})
            for (widgets::StripChart* chart : unit->CWG)
                charts.append(chart);
        return charts;
    }
    QByteArrayList requestsTo(char letter) const {
        QByteArrayList found;
        for (const auto& request : m_rig->port.meter().requestLog())
            if (request.bytes.startsWith(letter))
                found << request.bytes;
        return found;
    }

private slots:
    void init() {
        m_panel.reset(); // a failed test's window goes before its session
        m_rig = std::make_unique<test::SimSessionRig>();
        QVERIFY(m_rig->port.setSettings(QStringLiteral("19200,n,8,1")));
        QVERIFY(m_rig->port.open());
        state().link.NeedResync = false;
        m_panel = std::make_unique<main_window::Panel>(m_rig->client, view(), dialogs(),
                                                       QStringLiteral("SIM"));
        setLiveChannels(false);
    }
    void cleanup() {
        QVERIFY2(dialogs().pendingAnswers() == 0, "a scripted answer was not asked for");
        m_panel.reset();
        m_rig.reset();
    }

    void saveRecordsEveryCycleFromTheValueLabels() {
        dialogs().answerSave(path("run.4ch"));
        click("Save");
        QVERIFY(state().recording.RecordingActive);
        QCOMPARE(panel().LblFileName->text(), QStringLiteral("run.4ch"));
        QCOMPARE(panel().toolbarAction(QStringLiteral("Save"))->toolTip(),
                 QStringLiteral("Stop Recording"));
        QVERIFY(!panel().LblRec->isHidden());
        for (int i = 0; i < 3; ++i)
            cycle();
        QCOMPARE(panel().LblCount->text(), QStringLiteral("3"));
        click("Save");
        QVERIFY(!state().recording.RecordingActive);
        QCOMPARE(panel().toolbarAction(QStringLiteral("Save"))->toolTip(),
                 QStringLiteral("Save As"));
        QVERIFY(panel().LblRec->isHidden());
        QVERIFY(panel().LblFileName->text().isEmpty());
        // A cancelled save dialog starts nothing: the next cycle writes no line.
        dialogs().answerSave({});
        click("Save");
        QVERIFY(!state().recording.RecordingActive);
        QVERIFY(!state().recording.SaveFileChosen);
        cycle();

        const QList<QByteArray> lines = fileBytes(path("run.4ch")).split('\n');
        QCOMPARE(lines.size(), 5); // four lines and the empty rest after the last LF
        QCOMPARE(lines[0], QByteArray("\xb0"
                                      "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r"));
        const QRegularExpression record(QStringLiteral(
            "^3\t\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\t23.4\tOver\t- - -\t-5.2\t\r$"));
        QVERIFY2(record.match(QString::fromLatin1(lines[3])).hasMatch(), lines[3].constData());
    }

    void aFahrenheitRecordingKeepsFahrenheitTextsWhileTheCelsiusPanelShows() {
        setLiveChannels(true);
        // The °F panel shows, as the live tick sets it for a meter in °F.
        panel().PicC->hide();
        panel().PicF->show();
        dialogs().answerSave(path("f.4ch"));
        click("Save");
        panel().Toolbar1_ButtonClick(QStringLiteral("CF"));
        QVERIFY(!panel().PicC->isHidden());
        QVERIFY(panel().PicF->isHidden());
        cycle();
        click("Save");
        const QList<QByteArray> lines = fileBytes(path("f.4ch")).split('\n');
        QVERIFY(lines[0].startsWith("\xb0"
                                    "F\t"));
        QVERIFY(lines[1].endsWith("\t74.1\tOver\t- - -\t22.6\t\r"));
    }

    void openIsRefusedWhileRecording() {
        dialogs().answerSave(path("busy.4ch"));
        click("Save");
        dialogs().answerMessage(QMessageBox::Ok);
        click("Open");
        const auto shown = dialogs().callsOf(Kind::Message);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Recording Mode!\n\rPlease stop recording!"));
        QVERIFY(shown[0].icon == widgets::UserDialogs::Icon::Critical);
        QVERIFY(dialogs().callsOf(Kind::Open).isEmpty());
        QVERIFY(state().recording.RecordingActive);
        QVERIFY(!panel().fileListWindow());
    }

    void openLoadsTheFileIntoTheFileListAndRestartsTheTimers_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("firstT1");
        QTest::addColumn<QString>("caption");
        const QByteArray heading("\xb0"
                                 "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n");
        QTest::newRow("whole file")
            << heading + "1\t2010/11/26 14:05:09\t23,4\t\"x\t- - -\t-5.2\t\r\n"
                         "2\t2010/11/26 14:05:19\t23.5\tOver\t- - -\t-5.1\t\r\n"
            << 3 << "23,4"
            << "data.4ch";
        // A line that cannot be split abandons the load; the rows before it
        // stay, and the caption says where it stopped (it kept "2 completed").
        QTest::newRow("malformed line") << heading + "1\t2010/11/26 14:05:09\t23.4\t\r\nbroken\r\n"
                                        << 2 << "23.4"
                                        << "data.4ch (line 3 is not a data line)";
        // Issue 9: lines ended by a CR alone came in as one heading and no row.
        QByteArray oldMac = heading + "1\t2010/11/26 14:05:09\t23.4\t\r\n2\tt\t1\t2\t3\t4\t\r\n";
        oldMac.replace("\r\n", "\r");
        QTest::newRow("CR alone") << oldMac << 3 << "23.4"
                                  << "data.4ch";
        // Issue 8: an empty file left the caption "Saved File".
        QTest::newRow("empty file") << QByteArray() << 1 << ""
                                    << "data.4ch";
    }
    void openLoadsTheFileIntoTheFileListAndRestartsTheTimers() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, rows);
        QFETCH(QString, caption);
        QFile file(path("data.4ch"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        dialogs().answerOpen(file.fileName());
        click("Open");
        auto* window = panel().fileListWindow();
        QVERIFY(window);
        QCOMPARE(window->GridN->Rows(), rows);
        QCOMPARE(window->windowTitle(), caption);
        // An empty file leaves the headings the window starts with.
        QCOMPARE(window->GridN->textAt(0, 0), bytes.isEmpty() ? QString() : QStringLiteral("°C"));
        QCOMPARE(window->GridN->textAt(0, 1), QStringLiteral("Date Time"));
        QTEST(window->GridN->textAt(1, 2), "firstT1");
        QVERIFY(session().Timer1.isActive());
        QVERIFY(session().Timer2.isActive());
    }

    // Issue 9: a pipe froze the program for good, /dev/zero grew until the
    // memory ran out; they and an over-large file are refused with a message,
    // and the file list already open stays as it was.
    void openRefusesAPipeADeviceOrAHugeFileWithAMessage_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("pipe") << "pipe";
        QTest::newRow("device") << "device";
        QTest::newRow("huge file") << "huge";
    }
    void openRefusesAPipeADeviceOrAHugeFileWithAMessage() {
        QFETCH(QString, kind);
        QFile good(path("good.4ch"));
        QVERIFY(good.open(QIODevice::WriteOnly) && good.write("\xb0"
                                                              "F\td\t1\t2\t3\t4\t\r\n") > 0);
        good.close();
        dialogs().answerOpen(good.fileName());
        click("Open");
        const auto* before = panel().fileListWindow();
        QVERIFY(before);

        QString refused = path(kind + ".4ch");
        if (kind == "pipe") {
            QCOMPARE(mkfifo(QFile::encodeName(refused).constData(), 0600), 0);
        } else if (kind == "device") {
            refused = QStringLiteral("/dev/zero");
        } else {
            QFile huge(refused); // sparse: no disk space taken
            QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64{1} << 30));
        }
        dialogs().answerOpen(refused);
        dialogs().answerMessage(QMessageBox::Ok);
        click("Open");
        const auto shown = dialogs().callsOf(Kind::Message);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(QStringLiteral("Cannot open \"%1\": ").arg(refused)),
                 qPrintable(shown[0].text));
        QCOMPARE(shown[0].icon, widgets::UserDialogs::Icon::Critical);
        QCOMPARE(panel().fileListWindow(), before);
        QCOMPARE(before->windowTitle(), QStringLiteral("good.4ch"));
        QCOMPARE(before->GridN->textAt(0, 0), QStringLiteral("°F"));
    }

    void pcIntervalIsRoundedHalfToEvenAndHeldInRange_data() {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<float>("seconds");
        QTest::newRow("2.5") << QStringList{"2.5"} << 2.0f;
        QTest::newRow("3.5") << QStringList{"3.5"} << 4.0f;
        QTest::newRow("0") << QStringList{"0"} << 1.0f;
        QTest::newRow("100000") << QStringList{"100000"} << 86400.0f;
        QTest::newRow("text asks again") << QStringList{"ten", "10"} << 10.0f;
    }
    void pcIntervalIsRoundedHalfToEvenAndHeldInRange() {
        QFETCH(QStringList, answers);
        QFETCH(float, seconds);
        dialogs().answerChoice(1); // "PC Sampling Rate"
        for (const auto& answer : answers)
            dialogs().answerInput(answer);
        state().recording.PcSamplingTick = 5;
        click("Sampling");
        QCOMPARE(state().recording.PcSamplingSeconds, seconds);
        QCOMPARE(state().recording.PcSamplingTick, 0.0f);
        const auto asked = dialogs().callsOf(Kind::Input);
        QCOMPARE(asked.size(), answers.size());
        QCOMPARE(asked[0].text,
                 QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) "));
        QCOMPARE(asked[0].title, QStringLiteral("Input Sampling Time"));
        QCOMPARE(asked[0].defaultAnswer, QStringLiteral("1"));
    }

    void meterIntervalIsReadThenWritten() {
        meter().setSamplingInterval(7);
        dialogs().answerChoice(0); // "Meter Sampling Rate"
        dialogs().answerInput(QStringLiteral("300"));
        click("Sampling");
        QCOMPARE(dialogs().callsOf(Kind::Input).value(0).defaultAnswer, QStringLiteral("7"));
        QCOMPARE(requestsTo('U').last(), QByteArray("\x55\x01\xff\x00", 4));
        QCOMPARE(meter().samplingInterval(), 255);
        QVERIFY(session().Timer1.isActive());
        QVERIFY(meter().violations().isEmpty());

        // Closing the choice without OK keeps the meter path; a cancel writes nothing.
        dialogs().answerChoice(std::nullopt);
        dialogs().answerInput({});
        const auto before = requestsTo('U').size();
        click("Sampling");
        QCOMPARE(requestsTo('U').size(), before + 1); // the read only
        QVERIFY(session().Timer1.isActive());
    }

    void memorySizeServiceOpensFromEitherIntervalBox_data() {
        QTest::addColumn<bool>("pcBox");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("PC box, 3 becomes 1") << true << "qmx7391"
                                             << "3" << QByteArray("Y\x01\x01", 3);
        QTest::newRow("PC box, cancel") << true << "qmx7391"
                                        << "" << QByteArray();
        // Issue 8: only the PC box was ever tried.
        QTest::newRow("meter box, 8") << false << "QMX7391"
                                      << "8" << QByteArray("Y\x01\x08", 3);
        QTest::newRow("meter box, cancel") << false << "qmx7391"
                                           << "" << QByteArray();
    }
    void memorySizeServiceOpensFromEitherIntervalBox() {
        QFETCH(bool, pcBox);
        QFETCH(QString, code);
        QFETCH(QString, answer);
        QFETCH(QByteArray, written);
        meter().memory(); // the simulator answers Y 00 with its size code
        dialogs().answerChoice(pcBox ? 1 : 0);
        dialogs().answerInput(code);
        dialogs().answerInput(answer);
        click("Sampling");
        const auto asked = dialogs().callsOf(Kind::Input);
        QCOMPARE(asked.size(), 2);
        QVERIFY(asked[0].text.endsWith(pcBox ? QStringLiteral("(1 <= t <= 86400 ) ")
                                             : QStringLiteral("(1 <= t <= 255 ) ")));
        QCOMPARE(requestsTo('U').isEmpty(), pcBox);
        QCOMPARE(asked[1].text, QStringLiteral("Update Rom No.s\r\n(Rom No.s = 1,2,4,8) "));
        QCOMPARE(asked[1].title, QStringLiteral("Input Rom No.s"));
        QByteArrayList sets;
        for (const auto& request : requestsTo('Y'))
            if (request.size() >= 2 && request[1] == '\x01')
                sets << request;
        QCOMPARE(sets, written.isEmpty() ? QByteArrayList{} : QByteArrayList{written});
        QVERIFY(session().Timer1.isActive());
        QVERIFY(session().Timer2.isActive());
    }

    void aRecordThatCannotBeWrittenStopsTheRecordingAndSaysWhy() {
        dialogs().answerSave(path("full.4ch"));
        click("Save");
        cycle();
        // The file system refuses to let the file grow: the next lines fail.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = static_cast<rlim_t>(QFileInfo(path("full.4ch")).size() + 10);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        dialogs().answerMessage(QMessageBox::Ok);
        state().recording.PcSamplingTick = state().recording.PcSamplingSeconds;
        session().Timer2_Timer();
        setrlimit(RLIMIT_FSIZE, &saved);

        QVERIFY(!state().recording.RecordingActive);
        // Told by the windows once the session has told them, never from
        // inside the session's cycle (issue 8).
        QVERIFY(dialogs().callsOf(Kind::Message).isEmpty());
        m_rig->settle();
        QVERIFY(panel().LblRec->isHidden());
        QCOMPARE(dialogs().callsOf(Kind::Message).size(), 1);
        const auto shown = dialogs().callsOf(Kind::Message);
        QVERIFY(shown[0].icon == widgets::UserDialogs::Icon::Critical);
        QVERIFY2(shown[0].text.contains(QStringLiteral("full.4ch")), qPrintable(shown[0].text));
        cycle(); // no further message, nothing more written
        QCOMPARE(dialogs().callsOf(Kind::Message).size(), 1);
    }

    // Found by use: the live list saved over the file being recorded rewrote
    // it under the recorder, which went on writing after a run of NUL bytes.
    void theLiveListCannotBeSavedOverTheRecording() {
        dialogs().answerSave(path("run.4ch"));
        click("Save");
        click("List");
        auto* list = panel().listWindow();
        QVERIFY(list);
        cycle();
        cycle();
        const qsizetype messages = dialogs().callsOf(Kind::Message).size();
        dialogs().answerSave(path("run.4ch"));
        dialogs().answerMessage(QMessageBox::Ok);
        list->Toolbar1_ButtonClick(QStringLiteral("Save"));
        const auto calls = dialogs().callsOf(Kind::Message);
        QCOMPARE(calls.size(), messages + 1);
        QVERIFY2(calls.last().text.endsWith(QStringLiteral("it is the file being recorded")),
                 qPrintable(calls.last().text));
        cycle();
        click("Save");
        const QByteArray bytes = fileBytes(path("run.4ch"));
        QVERIFY(!bytes.contains('\0'));
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), 5);
        for (int i = 1; i <= 3; ++i)
            QVERIFY(lines[i].startsWith(QByteArray::number(i) + '\t'));
        list->close();
    }

    // #20: the small charts count the PC interval's time on their X axis,
    // before now or on the clock as their context menu sets for all eight,
    // show the panel's unit on their Y axis and draw the alarm setpoint.
    void smallChartsReadTimeFromThePcIntervalAndTheUnit() {
        panel().show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel()));
        main_window::UnitPanel* c = panel().PicC;
        main_window::UnitPanel* f = panel().PicF;
        QCOMPARE(c->CWG[0]->plot()->yAxis->label(), QStringLiteral("°C"));
        QCOMPARE(f->CWG[3]->plot()->yAxis->label(), QStringLiteral("°F"));
        for (int i = 0; i < 300; ++i)
            cycle();
        QList<QString> labels = xLabels(c->CWG[0]);
        QVERIFY2(allMatch(labels, QStringLiteral("^(now|\u2212\\d+ min)$")) && labels.size() >= 2 &&
                     labels.last() == QStringLiteral("now"),
                 qPrintable(labels.join(u'|')));

        // A new interval: its points only, counted in hours now.
        dialogs().answerChoice(1); // "PC Sampling Rate"
        dialogs().answerInput(QStringLiteral("60"));
        click("Sampling");
        for (widgets::StripChart* chart : allCharts()) {
            QCOMPARE(chart->pointCount(), 0);
            QCOMPARE(chart->intervalSeconds(), 60);
        }
        for (int i = 0; i < 300; ++i)
            cycle();
        labels = xLabels(f->CWG[1]);
        QVERIFY2(allMatch(labels, QStringLiteral("^(now|\u2212\\d+ h)$")),
                 qPrintable(labels.join(u'|')));

        // One choice for all eight, kept in the windows' state.
        QVERIFY(!view().windows.ChartClockTime);
        QVERIFY(menuEntry(c->CWG[2], QStringLiteral("Time before now"))->isChecked());
        menuEntry(c->CWG[2], QStringLiteral("Clock time"))->trigger();
        QVERIFY(view().windows.ChartClockTime);
        for (widgets::StripChart* chart : allCharts())
            QCOMPARE(chart->timeAxisMode(), widgets::TimeAxisMode::ClockTime);
        QVERIFY(menuEntry(f->CWG[0], QStringLiteral("Clock time"))->isChecked());
        labels = xLabels(c->CWG[0]);
        QVERIFY2(allMatch(labels, QStringLiteral("^\\d\\d:\\d\\d$")),
                 qPrintable(labels.join(u'|')));
        // Times of day the cycles had reached: not after the clock's own.
        QVERIFY(QTime::fromString(labels.last(), QStringLiteral("hh:mm")) <=
                m_rig->clock.now().time());
        menuEntry(f->CWG[1], QStringLiteral("Time before now"))->trigger();
        QVERIFY(!view().windows.ChartClockTime);
        QCOMPARE(c->CWG[3]->timeAxisMode(), widgets::TimeAxisMode::BeforeNow);

        // The setpoint as a dashed line while it lies in the chart's range.
        state().live.ScaleMinC[0] = -200; // K
        state().live.ScaleMaxC[0] = 1370;
        state().live.LiveValueC[0] = 23.4;
        Q_EMIT session().channelsChanged(session::channelsSetupOf(state()));
        m_rig->settle();
        for (int i = 0; i < 3; ++i)
            cycle();
        widgets::StripChart* chart = c->CWG[0];
        QCOMPARE(chart->setpoint(), std::optional<double>(c->CWE[0]->value()));
        const double reading = 23.4;
        // The edit box and the knob keep tenths.
        const auto near = [](std::optional<double> value, double expected) {
            return value && std::abs(*value - expected) <= 0.05 + 1e-9;
        };
        c->CWE[0]->setValue(reading + 0.2);
        QVERIFY(near(chart->setpoint(), reading + 0.2));
        QVERIFY(chart->setpointShown());
        c->CWK[0]->setValue(reading + 200);
        QVERIFY(near(chart->setpoint(), reading + 200));
        QVERIFY(!chart->setpointShown());
    }

    void listKeyOpensTheLiveListOnceAndEveryCycleFeedsIt() {
        click("List");
        auto* list = panel().listWindow();
        QVERIFY(list);
        QVERIFY(view().windows.ListOpen);
        click("List");
        QCOMPARE(panel().listWindow(), list);
        cycle();
        cycle();
        QCOMPARE(list->GridN->Rows(), 3);
        QCOMPARE(list->GridN->textAt(2, 0), QStringLiteral("2"));
        QCOMPARE(list->GridN->textAt(2, 2), QStringLiteral("23.4"));
        list->close();
        QVERIFY(!view().windows.ListOpen);
    }
};

QUADTHERM_TEST_SUITE(TestPanelCommands, Gui)

} // namespace tst_panel_commands

#include "tst_panel_commands.moc"
