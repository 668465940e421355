// The logger memory from the main window, through the in-process simulated
// meter at the line's pace: both downloads with their messages and timer
// states, the Memory window and the records of a set in the downloaded-data
// list, the ManualList window and its printout, erasing from the three
// places, and downloads that are cancelled or that the meter breaks off.

#include "clock_keypad/keypad.h"
#include "clock_keypad/ui/buttons_window.h"
#include "clock_keypad/ui/keypad_key.h"
#include "logger_memory/memory_download.h"
#include "logger_memory/ui/logger_commands.h"
#include "logger_memory/ui/manual_list_window.h"
#include "logger_memory/ui/memory_window.h"
#include "main_window/ui/alarm_range.h"
#include "main_window/ui/panel.h"
#include "main_window/ui/power_off_list.h"
#include "main_window/ui/unit_panel.h"
#include "meter_link/meter_keys.h"
#include "recording/ui/data_list_window.h"
#include "shared/clock.h"
#include "sim/simulated_serial_port.h"
#include "support/scripted_dialogs.h"
#include "support/session_rig.h"
#include "support/test_suite.h"
#include "widgets/grid.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace tst_logger_windows {

using namespace quadtherm;
using Kind = test::ScriptedDialogs::Kind;
using Icon = widgets::UserDialogs::Icon;
using sim::StoredReading;

namespace {

const StoredReading kAbsent{false, false, false, 0};

// Set 1: °C, T1 to T4, three records a second apart across a month end:
// 72.5 °F, Over, no probe, 32.0 °F. Set 2: °F, T2 only, four records a
// minute apart, 100.1 °F to 100.4 °F.
sim::RecordSet celsiusSet() {
    const sim::StoredRecord r{
        {{true, false, false, 725}, {true, true, false, 0}, kAbsent, {true, false, false, 320}}};
    return {.channelMask = 0x0F,
            .typeCodes = {0, 0, 1, 3},
            .start = {26, 1, 31, 23, 59, 58},
            .intervalSeconds = 1,
            .records = {r, r, r}};
}

sim::RecordSet fahrenheitSet() {
    sim::RecordSet set{.channelMask = 0x02,
                       .fahrenheit = true,
                       .typeCodes = {0, 0, 1, 3},
                       .start = {26, 2, 1, 8, 0, 0},
                       .intervalSeconds = 60,
                       .records = {}};
    for (int k = 1; k <= 4; ++k)
        set.records.append(
            sim::StoredRecord{{kAbsent, {true, false, false, 1000 + k}, kAbsent, kAbsent}});
    return set;
}

// 77.8 °F is 25.4 °C and 66.2 °F is 19.0 °C.
sim::ManualReading manualCelsius() {
    return {.typeCodes = {0, 0, 1, 0},
            .at = {9, 1, 14, 8, 5, 0},
            .readings = {{{true, false, false, 778},
                          kAbsent,
                          {true, true, false, 0},
                          {true, false, false, 662}}}};
}

sim::ManualReading manualFahrenheit() {
    return {.fahrenheit = true,
            .typeCodes = {0, 1, 2, 3},
            .at = {26, 3, 4, 9, 5, 7},
            .readings = {{{true, false, false, 725},
                          {true, false, false, -53},
                          {true, false, false, 1000},
                          {true, false, true, 0}}}};
}

const QStringList kManualRow1{"°C",     "2009/01/14 08:05:00", "K: 25.4", "K: - - -", "J: Over",
                              "K: 19.0"};
const QStringList kManualRow2{"°F",      "2026/03/04 09:05:07", "K: 72.5", "J: -5.3", "E: 100.0",
                              "T: Under"};

QStringList cellsOf(const widgets::Grid& grid, int row) {
    QStringList cells;
    for (int col = 0; col < grid.Cols(); ++col)
        cells.append(grid.textAt(row, col));
    return cells;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The printed text on its character grid (8 pt DejaVu Sans Mono is 4.8164
// pt a character), less the blanks pdftotext pads lines with.
QStringList pdfLines(const QString& path) {
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {"-fixed", "4.8164", path, "-"});
    tool.waitForFinished(30000);
    QStringList lines = QString::fromUtf8(tool.readAllStandardOutput()).split(u'\n');
    for (QString& line : lines)
        line.remove(QRegularExpression(QStringLiteral("[ \f]+$")));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    while (!lines.isEmpty() && lines.first().isEmpty())
        lines.removeFirst();
    return lines;
}

// How many line heights below the top edge the first text sits.
double linesAboveFirstText(const QString& path) {
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {"-bbox", path, "-"});
    tool.waitForFinished(30000);
    static const QRegularExpression word(
        QStringLiteral(R"re(<word [^>]*yMin="([\d.]+)" [^>]*yMax="([\d.]+)")re"));
    const auto match = word.match(QString::fromUtf8(tool.readAllStandardOutput()));
    const double top = match.captured(1).toDouble();
    return match.hasMatch() ? top / (match.captured(2).toDouble() - top) : -1;
}

void printToPdf(test::ScriptedDialogs& dialogs, const QString& pdf) {
    dialogs.answerPrint(true, [pdf](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageMargins(QMarginsF());
    });
}

// The captions the downloaded-data list shows, as they change.
class CaptionLog : public QObject {
public:
    QStringList titles;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowTitleChange &&
            watched->objectName() == QLatin1String("DataList"))
            titles.append(static_cast<QWidget*>(watched)->windowTitle());
        return false;
    }
};

} // namespace

class TestLoggerWindows : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::SimSessionRig> m_rig;
    std::unique_ptr<main_window::Panel> m_panel;
    QTemporaryDir m_dir;

    main_window::Panel& panel() { return *m_panel; }
    logger_memory::LoggerCommands& logger() { return m_panel->logger(); }
    sim::SimulatedMeter& meter() { return m_rig->port.meter(); }
    shared::RunState& state() { return m_rig->state; }
    shared::ViewState& view() { return m_rig->view; }
    test::ScriptedDialogs& dialogs() { return m_rig->dialogs; }
    session::MeterSession& session() { return m_rig->session; }
    test::FakeClock& clock() { return m_rig->clock; }

    void withTwoSets() {
        QVERIFY(meter().memory().addRecordSet(celsiusSet()));
        QVERIFY(meter().memory().addRecordSet(fahrenheitSet()));
    }
    void withTwoManualReadings() {
        QVERIFY(meter().memory().addManualReading(manualCelsius()));
        QVERIFY(meter().memory().addManualReading(manualFahrenheit()));
    }
    // Lets the meter's time pass until no window's work holds the meter and
    // what the session sent back has arrived.
    void finish() {
        QVERIFY(clock().runUntil([&] { return !session().leaseHeld(); }, 600000));
        m_rig->settle();
    }
    // The logger panel's OK, as the user clicks it, and the download run.
    void download(bool automatic) {
        panel().Toolbar1_ButtonClick(QStringLiteral("Memory"));
        QVERIFY(panel().PicLogger->isVisible());
        (automatic ? logger().OptAuto : logger().OptManual)->setChecked(true);
        logger().CmdLoggerOK->click();
        finish();
    }
    // A download run to its end, with the timers settled.
    void downloaded(bool automatic) {
        download(automatic);
        timersThenSettle();
    }
    struct Timers {
        bool timer1, timer2;
        bool operator==(const Timers&) const = default;
    };
    // What the live timers are, then both off again.
    Timers timersThenSettle() {
        m_rig->settle();
        const Timers now{session().Timer1.isActive(), session().Timer2.isActive()};
        session().Timer1.stop();
        session().Timer2.stop();
        m_rig->settle();
        return now;
    }
    // The requests the meter received, as hex, a status request repeated
    // until answered counted once; and forgets them.
    QStringList requests() {
        QStringList out;
        for (const auto& r : meter().requestLog()) {
            const QString hex = QString::fromLatin1(r.bytes.toHex(' '));
            if (hex != "41" || out.isEmpty() || out.last() != hex)
                out.append(hex);
        }
        meter().clearLogs();
        return out;
    }
    logger_memory::MemoryWindow* memory() { return logger().memoryWindow(); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
                 "pdftotext (poppler-utils) is needed to read the printed PDF back");
    }

    void init() {
        m_panel.reset(); // a failed test's window goes before its session
        m_rig = std::make_unique<test::SimSessionRig>();
        QVERIFY(m_rig->port.open());
        state().link.NeedResync = false;
        m_panel = std::make_unique<main_window::Panel>(m_rig->client, view(), dialogs(),
                                                       QStringLiteral("SIM"));
        m_panel->show();
    }
    void cleanup() {
        QVERIFY2(dialogs().pendingAnswers() == 0, "a scripted answer was not asked for");
        QVERIFY2(dialogs().unexpectedCalls().isEmpty(),
                 qPrintable(dialogs().unexpectedCalls().value(0).text));
        QVERIFY2(meter().violations().isEmpty(), qPrintable(meter().violations().join('\n')));
        m_panel.reset();
        m_rig.reset();
    }

    void loggerAndErasePanelsHaveTheirOptions() {
        const auto* loggerFrame = panel().PicLogger->findChild<QGroupBox*>();
        QCOMPARE(loggerFrame->title(), QStringLiteral("Load"));
        QCOMPARE(logger().OptAuto->text(), QStringLiteral("Automatically Recorded Data"));
        QCOMPARE(logger().OptManual->text(), QStringLiteral("Manually Recorded Data"));
        QCOMPARE(panel().PicErase->findChild<QGroupBox*>()->title(), QStringLiteral("Erase"));
        QCOMPARE(logger().EraseAuto->text(), QStringLiteral("Automatically Recorded Data"));
        QCOMPARE(logger().EraseManual->text(), QStringLiteral("Manually Recorded Data"));
        panel().Toolbar1_ButtonClick(QStringLiteral("Memory"));
        QVERIFY(panel().PicLogger->isVisible());
        QVERIFY(panel().PicLogger->geometry().bottom() < panel().height());
        panel().Toolbar1_ButtonClick(QStringLiteral("Erase"));
        QVERIFY(!panel().PicLogger->isVisible());
        QVERIFY(panel().PicErase->isVisible());
    }

    void automaticDownloadListsTheSetsAndRestoresBothTimers() {
        withTwoSets();
        download(true);
        QCOMPARE(timersThenSettle(), (Timers{true, true}));
        QVERIFY(!panel().PicLogger->isVisible());
        QVERIFY(view().windows.MemoryFormOpen);
        auto* window = memory();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Data Logger"));
        QCOMPARE(window->SSPanel1->text(), QStringLiteral("Memory Size"));
        QCOMPARE(window->SSPanelRemain->text(), QStringLiteral("Remained"));
        QCOMPARE(window->LblSize->text(), QStringLiteral("512 K"));
        // 8192 + 65 + 43: (8 × 65535 − 8300) / 1024 K free.
        QCOMPARE(window->LblRemain->text(), QStringLiteral("503.9 K"));
        QCOMPARE(window->LblMessage->text(), QStringLiteral("100.0% Completed"));
        QVERIFY(!window->CmdCancel->isVisible());
        const widgets::Grid& grid = *window->GridSet;
        QCOMPARE(cellsOf(grid, 0), (QStringList{"Set", "    Date----Time", "Intv.", "Rec.s"}));
        QCOMPARE(grid.Rows(), 3);
        QCOMPARE(cellsOf(grid, 1), (QStringList{"1", "2026/01/31 23:59:58", "1", "3"}));
        QCOMPARE(cellsOf(grid, 2), (QStringList{"2", "2026/02/01 08:00:00", "60", "4"}));
        QCOMPARE(requests(), (QStringList{"41", "59 00", "41", "52"}));
        QVERIFY(dialogs().callsOf(Kind::Message).isEmpty());
    }

    void emptyMemoryTellsSoAndRestoresTheTimers_data() {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("timer2");
        QTest::newRow("record sets") << true << "No Data in Memory" << true;
        // The manual download leaves the cycle to the next stable live tick.
        QTest::newRow("manual readings") << false << "No Manually Recroded Data in Memoy!" << false;
    }
    void emptyMemoryTellsSoAndRestoresTheTimers() {
        QFETCH(bool, automatic);
        QFETCH(QString, message);
        QFETCH(bool, timer2);
        dialogs().answerMessage(QMessageBox::Ok);
        download(automatic);
        QCOMPARE(timersThenSettle(), (Timers{true, timer2}));
        const auto messages = dialogs().callsOf(Kind::Message);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text, message);
        QCOMPARE(messages[0].icon, Icon::Information);
        QCOMPARE(messages[0].title, QString()); // the application's title
        QVERIFY(!memory());
        QVERIFY(!logger().manualList());
        QVERIFY(!view().windows.MemoryFormOpen);
        QVERIFY(!view().windows.ManualListOpen);
        QVERIFY(!panel().PicLogger->isVisible());
    }

    void aSecondAutomaticDownloadWhileTheMemoryWindowIsOpenOnlyHidesThePanel() {
        withTwoSets();
        downloaded(true);
        auto* first = memory();
        requests();
        download(true);
        QCOMPARE(timersThenSettle(), (Timers{false, false}));
        QVERIFY(!panel().PicLogger->isVisible());
        QCOMPARE(memory(), first);
        QVERIFY(requests().isEmpty());
        // Once the window is closed the next download opens a new one.
        first->close();
        QVERIFY(!view().windows.MemoryFormOpen);
        downloaded(true);
        QVERIFY(memory() && memory() != first);
        QCOMPARE(memory()->GridSet->Rows(), 3);
    }

    // #18: the panels opened with "Automatically Recorded Data" chosen, so
    // an OK without a choice downloaded, or erased, the record sets.
    void bothPanelsOpenWithNeitherOptionChosen() {
        panel().Toolbar1_ButtonClick(QStringLiteral("Memory"));
        QVERIFY(!logger().OptAuto->isChecked());
        QVERIFY(!logger().OptManual->isChecked());
        panel().Toolbar1_ButtonClick(QStringLiteral("Erase"));
        QVERIFY(!logger().EraseAuto->isChecked());
        QVERIFY(!logger().EraseManual->isChecked());
    }

    void neitherOptionRunsTheManualDownload() {
        withTwoSets();
        withTwoManualReadings();
        panel().Toolbar1_ButtonClick(QStringLiteral("Memory"));
        logger().CmdLoggerOK->click();
        timersThenSettle();
        QVERIFY(logger().manualList());
        QVERIFY(!memory());
    }

    void manualDownloadListsTheReadingsAndRestoresOnlyTimer1() {
        withTwoManualReadings();
        download(false);
        QCOMPARE(timersThenSettle(), (Timers{true, false}));
        auto* list = logger().manualList();
        QVERIFY(list && list->isVisible());
        QVERIFY(view().windows.ManualListOpen);
        QCOMPARE(list->windowTitle(), QStringLiteral("Manual Record"));
        QCOMPARE(cellsOf(*list->Grid, 0),
                 (QStringList{"", "    Date Time", "T1", "T2", "T3", "T4"}));
        QCOMPARE(list->Grid->Rows(), 3);
        QCOMPARE(cellsOf(*list->Grid, 1), kManualRow1);
        QCOMPARE(cellsOf(*list->Grid, 2), kManualRow2);
        QCOMPARE(requests(), (QStringList{"41", "51"}));
        // A second download replaces the window.
        QPointer<logger_memory::ManualListWindow> first = list;
        downloaded(false);
        QTRY_VERIFY(!first);
        QVERIFY(logger().manualList());
        QCOMPARE(logger().manualList()->Grid->Rows(), 3);
        QVERIFY(view().windows.ManualListOpen);
    }

    void manualListPrintsItsFixedPitchLayout() {
        withTwoManualReadings();
        downloaded(false);
        const QString pdf = m_dir.filePath(QStringLiteral("manual.pdf"));
        printToPdf(dialogs(), pdf);
        session().Timer1.stop();
        logger().manualList()->Toolbar1_ButtonClick(QStringLiteral("Print"));
        QCOMPARE(timersThenSettle(), (Timers{true, false}));
        const QString margin(5, u' ');
        QCOMPARE(
            pdfLines(pdf),
            (QStringList{
                margin + QString(7 + 8, u' ') + "    Date Time" + QString(9, u' ') + "T1" +
                    QString(9, u' ') + "T2" + QString(9, u' ') + "T3" + QString(9, u' ') + "T4",
                margin + QString(73, u'-'),
                "          °C  2009/01/14 08:05:00    K: 25.4   K: - - -    J: Over    K: 19.0",
                "          °F  2026/03/04 09:05:07    K: 72.5    J: -5.3   E: 100.0   T: Under"}));
        const double blankLines = linesAboveFirstText(pdf);
        QVERIFY2(qAbs(blankLines - 5) < 0.2, qPrintable(QString::number(blankLines)));
        // A cancelled print dialog prints nothing and the poll runs again.
        QVERIFY(QFile::remove(pdf));
        dialogs().answerPrint(false);
        logger().manualList()->Toolbar1_ButtonClick(QStringLiteral("Print"));
        QCOMPARE(timersThenSettle(), (Timers{true, false}));
        QVERIFY(!QFile::exists(pdf));
    }

    void setClickFillsTheDataListInBothUnits() {
        withTwoSets();
        downloaded(true);
        memory()->GridSet_Click(2);
        QCOMPARE(timersThenSettle(), (Timers{true, true}));
        auto* list = logger().dataList();
        QVERIFY(list && list->isVisible());
        QCOMPARE(list->windowTitle(), QStringLiteral("Data List"));
        // A °F set shows the °F table; the °C one is filled all the same.
        QVERIFY(list->GridF->isVisible() && !list->GridC->isVisible());
        QCOMPARE(cellsOf(*list->GridF, 0),
                 (QStringList{"°F", "Date Time", "T1 - K", "T2 - K", "T3 - J", "T4 - T"}));
        QCOMPARE(cellsOf(*list->GridC, 0)[0], QStringLiteral("°C"));
        QCOMPARE(list->GridF->Rows(), 5);
        QCOMPARE(list->GridC->Rows(), 5);
        for (int k = 1; k <= 4; ++k) {
            const QString at = QStringLiteral("2026/02/01 08:0%1:00").arg(k - 1);
            QCOMPARE(
                cellsOf(*list->GridF, k),
                (QStringList{QString::number(k), at, "", QStringLiteral("100.%1").arg(k), "", ""}));
            QCOMPARE(cellsOf(*list->GridC, k)[3],
                     QStringList({"37.8", "37.8", "37.9", "38.0"})[k - 1]);
        }

        // The first set replaces the list: °C shown, across the month end.
        QPointer<recording::DataListWindow> before = list;
        memory()->GridSet_Click(1);
        timersThenSettle();
        QTRY_VERIFY(!before);
        list = logger().dataList();
        QVERIFY(list->GridC->isVisible() && !list->GridF->isVisible());
        QCOMPARE(cellsOf(*list->GridC, 3),
                 (QStringList{"3", "2026/02/01 00:00:00", "22.5", "Over", "- - -", "0.0"}));
        QCOMPARE(cellsOf(*list->GridF, 1),
                 (QStringList{"1", "2026/01/31 23:59:58", "72.5", "Over", "- - -", "32.0"}));

        // Saved, it holds the bytes quadtherm-cli download writes for the set.
        const QString saved = m_dir.filePath(QStringLiteral("set1.4ch"));
        const QString cli = m_dir.filePath(QStringLiteral("set-001.4ch"));
        dialogs().answerSave(saved);
        list->Toolbar1_ButtonClick(QStringLiteral("Save"));
        QVERIFY(logger_memory::writeSetFile(logger().sets().sets[0], cli));
        QCOMPARE(contents(saved), contents(cli));
        QVERIFY(contents(saved).startsWith("\xB0"
                                           "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n"));
    }

    void dataListPrintsTheTableShownAsTheFileListing() {
        withTwoSets();
        downloaded(true);
        memory()->GridSet_Click(2);
        timersThenSettle();
        const QString pdf = m_dir.filePath(QStringLiteral("set.pdf"));
        printToPdf(dialogs(), pdf);
        dialogs().answerMessage(QMessageBox::Ok); // the printer note
        logger().dataList()->Toolbar1_ButtonClick(QStringLiteral("Print"));
        QCOMPARE(timersThenSettle(), (Timers{true, true}));
        const QStringList lines = pdfLines(pdf);
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[0],
                 QStringLiteral("      °F            Date Time  T1 - K  T2 - K  T3 - J  T4 - T"));
        QCOMPARE(lines[1], QStringLiteral(" ") + QString(62, u'-'));
        QCOMPARE(lines[2], QStringLiteral("       1  2026/02/01 08:00:00") + QString(11, u' ') +
                               QStringLiteral("100.1"));
        QCOMPARE(lines[5], QStringLiteral("       4  2026/02/01 08:03:00") + QString(11, u' ') +
                               QStringLiteral("100.4"));
    }

    // Issue 11: a set of many records reaches the list in a few batches,
    // the percentage in the caption after each, and the caption comes back.
    void aLargeSetFillsTheListInBatches() {
        sim::RecordSet set;
        set.channelMask = 0x01;
        set.start = {26, 1, 1, 0, 0, 0};
        set.records =
            QList<sim::StoredRecord>(25000, sim::StoredRecord{{{true, false, false, 725}}});
        QVERIFY(meter().memory().addRecordSet(set));
        meter().setDumpSpeed(100);
        downloaded(true);
        CaptionLog captions;
        qApp->installEventFilter(&captions);
        memory()->GridSet_Click(1);
        qApp->removeEventFilter(&captions);
        timersThenSettle();
        auto* list = logger().dataList();
        QCOMPARE(list->GridC->Rows(), 25001);
        QCOMPARE(list->GridC->textAt(25000, 1), QStringLiteral("2026/01/01 06:56:39"));
        QCOMPARE(captions.titles, (QStringList{"Data List", "40.0", "80.0", "100.0", "Data List"}));
    }

    void eraseAsksAndSendsItsFrame_data() {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("text");
        const QString sets = "All the Automatically Recorded data in memory will be deleted!";
        const QString manual = "All the Manually Recorded data in memory will be deleted!";
        const auto row = [](const char* name, const char* place, const char* option, bool ok,
                            const char* frame, const QString& text) {
            QTest::newRow(name) << QString(place) << QString(option) << ok << QString(frame)
                                << text;
        };
        row("panel, record sets, OK", "panel", "EraseAuto", true, "57 00 00 02", sets);
        row("panel, manual readings, OK", "panel", "EraseManual", true, "57 00 00 01", manual);
        row("panel, neither option, OK", "panel", "", true, "57 00 00 01", manual);
        row("panel, Cancel", "panel", "EraseAuto", false, "", sets);
        row("manual list, OK", "manual list", "", true, "57 00 00 01", manual);
        row("manual list, Cancel", "manual list", "", false, "", manual);
        row("free memory, OK", "free memory", "", true, "57 00 00 02", sets);
        row("free memory, Cancel", "free memory", "", false, "", sets);
        row("Remained caption, OK", "remained caption", "", true, "57 00 00 02", sets);
    }
    void eraseAsksAndSendsItsFrame() {
        QFETCH(QString, place);
        QFETCH(QString, option);
        QFETCH(bool, ok);
        QFETCH(QString, frame);
        withTwoSets();
        withTwoManualReadings();
        if (place == "manual list")
            download(false);
        else if (place != "panel")
            download(true);
        timersThenSettle();
        requests();
        dialogs().answerMessage(ok ? QMessageBox::Ok : QMessageBox::Cancel);
        if (place == "panel") {
            panel().Toolbar1_ButtonClick(QStringLiteral("Erase"));
            QVERIFY(panel().PicErase->isVisible());
            if (option == "EraseAuto")
                logger().EraseAuto->setChecked(true);
            else if (option == "EraseManual")
                logger().EraseManual->setChecked(true);
            logger().CmdEraseOK->click();
        } else if (place == "manual list") {
            logger().manualList()->Toolbar1_ButtonClick(QStringLiteral("Erase"));
        } else if (place == "free memory") {
            QTest::mouseClick(memory()->LblRemain, Qt::LeftButton);
        } else {
            QTest::mouseClick(memory()->SSPanelRemain, Qt::LeftButton);
        }
        QCOMPARE(timersThenSettle(), (Timers{ok, false}));
        const auto messages = dialogs().callsOf(Kind::Message);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].title, QStringLiteral("Warning"));
        QCOMPARE(messages[0].icon, Icon::Exclamation);
        QCOMPARE(messages[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QTEST(messages[0].text, "text");
        const QStringList sent = requests();
        QCOMPARE(sent, ok ? (QStringList{"41", frame}) : QStringList());
        // Each place's own ending, whatever the answer.
        if (place == "panel")
            QVERIFY(!panel().PicErase->isVisible());
        else if (place == "manual list")
            QTRY_VERIFY(!logger().manualList());
        else
            QTRY_VERIFY(!memory());
        QVERIFY(!view().windows.MemoryFormOpen);
        QVERIFY(!view().windows.ManualListOpen);
        if (ok) {
            const int left = frame.endsWith("02") ? meter().memory().recordSets().size()
                                                  : meter().memory().manualCount();
            QCOMPARE(left, 0);
        }
    }

    void erasingManualReadingsFromThePanelLeavesTheListOpen() {
        withTwoManualReadings();
        downloaded(false);
        dialogs().answerMessage(QMessageBox::Ok);
        panel().Toolbar1_ButtonClick(QStringLiteral("Erase"));
        logger().EraseManual->setChecked(true);
        logger().CmdEraseOK->click();
        timersThenSettle();
        QCOMPARE(meter().memory().manualCount(), 0);
        QVERIFY(logger().manualList() && logger().manualList()->isVisible());
        QCOMPARE(logger().manualList()->Grid->Rows(), 3);
    }

    // Issue 11: a download of minutes can be stopped; the sets that came
    // whole are listed, nothing claims to be complete, the timers run again
    // and the link is rebuilt once the meter is through with the dump.
    void cancelStopsARunningDownload_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "button";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("closing the window") << "close";
    }
    void cancelStopsARunningDownload() {
        QFETCH(QString, how);
        QVERIFY(meter().memory().addRecordSet(celsiusSet()));
        sim::RecordSet big = fahrenheitSet();
        big.records = QList<sim::StoredRecord>(1600, big.records.first()); // 8 KB, 4 s
        QVERIFY(meter().memory().addRecordSet(big));
        QSignalSpy link(&session(), &session::MeterSession::linkShown);
        bool cancelShown = false;
        const qint64 start = clock().elapsedMs();
        clock().at(start + 800, [&] {
            QVERIFY(memory());
            cancelShown = memory()->CmdCancel->isVisible();
            QVERIFY(memory()->LblMessage->text().endsWith(QStringLiteral("% Completed")));
            if (how == "button")
                memory()->CmdCancel->click();
            else if (how == "escape")
                QTest::keyClick(memory(), Qt::Key_Escape);
            else
                memory()->close();
        });
        if (how != "close")
            dialogs().answerMessage(QMessageBox::Ok);
        download(true);
        // #18: the rest of the dump is drained, and the link holds: no "No
        // COM", no re-synchronisation that would end a recording.
        const qint64 took = clock().elapsedMs() - start;
        QVERIFY2(took < 6000, qPrintable(QString::number(took)));
        QVERIFY(!meter().sendingDump());
        QCOMPARE(timersThenSettle(), (Timers{true, true}));
        QVERIFY(cancelShown);
        QVERIFY(!state().link.NeedResync);
        QVERIFY(link.isEmpty());
        if (how == "close") {
            QVERIFY(!view().windows.MemoryFormOpen);
            QVERIFY(dialogs().callsOf(Kind::Message).isEmpty());
            return;
        }
        QVERIFY(!memory()->CmdCancel->isVisible());
        QVERIFY2(memory()->LblMessage->text().startsWith(QStringLiteral("Incomplete: ")),
                 qPrintable(memory()->LblMessage->text()));
        QCOMPARE(memory()->GridSet->Rows(), 2); // the first set came whole
        const auto messages = dialogs().callsOf(Kind::Message);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].text.startsWith(QStringLiteral("Download cancelled after ")) &&
                     messages[0].text.endsWith(
                         QStringLiteral("The record sets that arrived whole are listed.")),
                 qPrintable(messages[0].text));
    }

    // #18: Cancel, OK on its message, then "Data Logger" closed: the program
    // died (free(): invalid pointer) when a wait below the message box deleted
    // the window that owned it. Every way of closing during every wait of a
    // download. On this one thread the closing lands inside the waits
    // themselves, the hardest case there is.
    void closingDuringAnyWaitOfADownloadKeepsTheProgramWhole_data() {
        QTest::addColumn<QString>("when");
        QTest::addColumn<QString>("how");
        QTest::newRow("size request, main window") << "size request"
                                                   << "main window";
        for (const char* when : {"dump", "drain", "message"})
            for (const char* how : {"Cancel", "Escape", "close", "main window"})
                QTest::addRow("%s, %s", when, how) << QString(when) << QString(how);
    }
    void closingDuringAnyWaitOfADownloadKeepsTheProgramWhole() {
        QFETCH(QString, when);
        QFETCH(QString, how);
        QVERIFY(meter().memory().addRecordSet(celsiusSet()));
        sim::RecordSet big = fahrenheitSet();
        big.records = QList<sim::StoredRecord>(1600, big.records.first()); // 8 KB, 4 s
        QVERIFY(meter().memory().addRecordSet(big));
        bool acted = false;
        const auto act = [&] {
            acted = true;
            auto* window = memory();
            if (how == "Cancel" && window)
                window->CmdCancel->click();
            else if (how == "Escape" && window)
                QTest::keyClick(window, Qt::Key_Escape);
            else if (how == "close" && window)
                window->close();
            else if (how == "main window")
                panel().close();
        };
        const qint64 start = clock().elapsedMs();
        if (when == "size request") {
            clock().at(start + 50, act);
        } else if (when == "dump") {
            clock().at(start + 800, act);
        } else {
            clock().at(start + 800, [&] { memory()->CmdCancel->click(); });
            if (when == "drain")
                clock().at(start + 1500, act);
            else
                dialogs().whileOpen = [&](Kind kind) {
                    if (kind == Kind::Message && !acted)
                        act();
                };
        }
        // A cancelled download says so, unless its window or the program went first.
        if ((when != "dump" && when != "size request") || how == "Cancel" || how == "Escape")
            dialogs().answerMessage(QMessageBox::Ok);
        panel().Toolbar1_ButtonClick(QStringLiteral("Memory"));
        logger().OptAuto->setChecked(true);
        logger().CmdLoggerOK->click();
        if (how == "main window") {
            QVERIFY(clock().runUntil([&] { return acted; }, 10000));
            clock().run(6000);
            QVERIFY(!session().Timer1.isActive());
            QVERIFY(!session().Timer2.isActive());
            m_panel.reset(); // and the program ends whole
            return;
        }
        finish();
        QVERIFY(acted);
        // The download is over, the link held, and the meter takes the next one.
        QVERIFY(!state().link.NeedResync);
        QVERIFY(session().Timer1.isActive());
        QVERIFY(!meter().sendingDump());
        if (memory())
            memory()->close();
        m_rig->settle();
        timersThenSettle();
        requests();
        downloaded(true);
        QVERIFY(memory() && memory()->GridSet->Rows() == 3);
        QCOMPARE(requests(), (QStringList{"41", "59 00", "41", "52"}));
    }

    // #18: clicks made during a download were carried out when it ended:
    // HOLD reached the meter ten seconds later, the erase panel opened then.
    // What needs the meter is refused at once with a note; what needs no
    // meter goes on; nothing is sent afterwards.
    void whatNeedsTheMeterIsRefusedDuringADownloadAndNeverSentLater() {
        withTwoManualReadings();
        QVERIFY(meter().memory().addRecordSet(celsiusSet()));
        sim::RecordSet big = fahrenheitSet();
        big.records = QList<sim::StoredRecord>(1600, big.records.first()); // 8 KB, 4 s
        QVERIFY(meter().memory().addRecordSet(big));
        panel().Toolbar1_ButtonClick(QStringLiteral("Buttons"));
        auto* keys = panel().findChild<clock_keypad::Buttons*>();
        QVERIFY(keys && keys->CmdHold->isEnabled());
        auto* note = panel().findChild<QLabel*>(QStringLiteral("LblNote"));
        auto* busy = panel().findChild<QLabel*>(QStringLiteral("LblBusy"));
        // The user's clicks, in the middle of the dump.
        bool clicked = false;
        clock().at(clock().elapsedMs() + 800, [&] {
            clicked = true;
            QVERIFY(memory() && memory()->downloading());
            m_rig->settle();
            QVERIFY(busy->isVisible());
            QCOMPARE(busy->text(), QStringLiteral("Meter busy downloading its memory"));
            // The keypad's keys are grey and say why; a click that gets
            // through is refused all the same.
            QVERIFY(!keys->CmdHold->isEnabled());
            QVERIFY(keys->LblBusy->isVisible());
            keys->keypad().click(*meter_link::findMeterKey("HOLD"));
            m_rig->settle();
            QCOMPARE(note->text(),
                     QStringLiteral("HOLD not sent: the meter is busy downloading its memory."));
            // The erase panel opens at once; its OK is refused before it
            // asks whether to delete anything.
            panel().Toolbar1_ButtonClick(QStringLiteral("Erase"));
            QVERIFY(panel().PicErase->isVisible());
            logger().EraseManual->setChecked(true);
            logger().CmdEraseOK->click();
            m_rig->settle();
            QCOMPARE(
                note->text(),
                QStringLiteral("The erase not sent: the meter is busy downloading its memory."));
            // The power-off time and the clock window: the same.
            panel().Toolbar1_ButtonClick(QStringLiteral("Poweroff"));
            m_rig->settle();
            QVERIFY(!panel().ComboP->isVisible());
            panel().Toolbar1_ButtonClick(QStringLiteral("RTC"));
            m_rig->settle();
            auto* setup = panel().findChild<QDialog*>(QStringLiteral("Setup"));
            QVERIFY(!setup || !setup->isVisible());
            QVERIFY(note->text().startsWith(QStringLiteral("Setup not sent: the meter is busy")));
            // What needs no meter works meanwhile.
            panel().Toolbar1_ButtonClick(QStringLiteral("Alarm"));
            QVERIFY(panel().PicAlmRange->isVisible());
            panel().Toolbar1_ButtonClick(QStringLiteral("CF"));
            QVERIFY(!panel().PicF->isHidden());
        });
        panel().Toolbar1_ButtonClick(QStringLiteral("Memory"));
        logger().OptAuto->setChecked(true);
        logger().CmdLoggerOK->click();
        finish();
        QVERIFY(clicked);
        QVERIFY(!busy->isVisible());
        QVERIFY(keys->CmdHold->isEnabled());
        clock().run(3000);
        // Nothing of it reached the meter, then or later.
        for (const QString& request : requests())
            QVERIFY2(!request.startsWith(QStringLiteral("57")) &&
                         !request.startsWith(QStringLiteral("56")) &&
                         !request.startsWith(QStringLiteral("58")),
                     qPrintable(request));
        QCOMPARE(meter().memory().manualCount(), 2);
        QVERIFY(!meter().holding());
    }

    // Issue 11: the receive loop waited for ever for a meter that stopped.
    void aMeterThatStopsInTheMiddleOfADumpEndsTheDownload_data() {
        QTest::addColumn<bool>("automatic");
        QTest::newRow("record sets") << true;
        QTest::newRow("manual readings") << false;
    }
    void aMeterThatStopsInTheMiddleOfADumpEndsTheDownload() {
        QFETCH(bool, automatic);
        withTwoSets();
        withTwoManualReadings();
        // The first set and ten bytes of the second; the first reading and
        // ten bytes of the second.
        meter().stallNextDumpAfter(automatic ? 4 + 65 + 10 : 2 + 29 + 10);
        dialogs().answerMessage(QMessageBox::Ok);
        const qint64 start = clock().elapsedMs();
        download(automatic);
        // Five seconds of silence, then a moment of quiet.
        const qint64 took = clock().elapsedMs() - start;
        QVERIFY2(took >= 5000 && took < 8000, qPrintable(QString::number(took)));
        QCOMPARE(timersThenSettle(), (Timers{true, automatic}));
        QVERIFY(!state().link.NeedResync);
        const auto messages = dialogs().callsOf(Kind::Message);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].text.startsWith(
                     QStringLiteral("The meter stopped sending after %1 of %2 bytes")
                         .arg(automatic ? 79 : 41)
                         .arg(automatic ? 113 : 61)),
                 qPrintable(messages[0].text));
        if (automatic) {
            QCOMPARE(memory()->GridSet->Rows(), 2);
            QVERIFY(memory()->LblMessage->text().startsWith(QStringLiteral("Incomplete: ")));
        } else {
            QCOMPARE(logger().manualList()->Grid->Rows(), 2);
            QCOMPARE(cellsOf(*logger().manualList()->Grid, 1), kManualRow1);
            QCOMPARE(logger().manualList()->windowTitle(), QStringLiteral("Manual Record"));
        }
    }

    void damagedMemoryListsTheSetsBeforeTheDamage() {
        withTwoSets();
        QVERIFY(meter().memory().addRecordSet(celsiusSet()));
        meter().memory().setDamagedSet(2);
        dialogs().answerMessage(QMessageBox::Ok);
        download(true);
        QCOMPARE(timersThenSettle(), (Timers{true, true}));
        QCOMPARE(memory()->GridSet->Rows(), 2);
        // #18: the footer said "100.0% Completed" beside the damage message.
        const qint64 data = qint64(state().link.MemoryPointer) - 8192;
        QCOMPARE(memory()->LblMessage->text(),
                 QStringLiteral("Damaged after set 1: stopped at %1%")
                     .arg(QString::number(65.0 / double(data) * 100, 'f', 1)));
        const auto messages = dialogs().callsOf(Kind::Message);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text,
                 QStringLiteral("The memory data is damaged after record set 1 (from byte 65 of "
                                "the record area on): no record set starts there. The record sets "
                                "before it are listed."));
    }
};

QUADTHERM_TEST_SUITE(TestLoggerWindows, Gui)

} // namespace tst_logger_windows

#include "tst_logger_windows.moc"
