// The live list, the saved-file list and the data list: row numbering and
// scrolling, the automatic dump, saving and reading back, the column sent to
// the graph and the °C/°F swap.

#include "recording/data_file.h"
#include "recording/ui/data_list_window.h"
#include "recording/ui/file_list_window.h"
#include "recording/ui/list_window.h"
#include "shared/clock.h"
#include "shared/view_state.h"
#include "support/scripted_dialogs.h"
#include "support/test_suite.h"
#include "widgets/grid.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace tst_list_windows {

using namespace quadtherm;
using Kind = test::ScriptedDialogs::Kind;

namespace {

const shared::PerChannel<QString> kTexts{"23.4", "Over", "- - -", "-12.5"};

QStringList cellsOf(const widgets::Grid& grid, int row) {
    QStringList cells;
    for (int col = 0; col < grid.Cols(); ++col)
        cells.append(grid.textAt(row, col));
    return cells;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestListWindows : public QObject {
    Q_OBJECT
private:
    shared::ViewState m_view;
    shared::PerChannel<QString> m_letters;
    test::ScriptedDialogs m_dialogs;
    shared::SystemClock m_clock;
    QTemporaryDir m_dir;
    void feed(recording::ListWindow& list, int rows) {
        for (int i = 0; i < rows; ++i)
            list.ListFeed(QStringLiteral("2026/12/06 14:10:19"), kTexts);
    }

private Q_SLOTS:
    void init() {
        m_view = {};
        m_view.windows.ListUnit = QStringLiteral("°C");
        m_letters = {"K", "J", "T", "E"};
        m_dialogs.clear();
        QVERIFY(m_dir.isValid());
    }

    void cleanup() { QVERIFY(m_dialogs.unexpectedCalls().isEmpty()); }

    void listNumbersItsRowsAndScrollsOnlyAfterTheTenth() {
        recording::ListWindow list(m_view, m_letters, m_dialogs, m_clock);
        QCOMPARE(cellsOf(*list.GridN, 0),
                 QStringList({"°C", "Date Time", "T1 - K", "T2 - J", "T3 - T", "T4 - E"}));
        // Room for a few rows only, so any scrolling shows.
        list.resize(list.width(), 160);
        list.show();
        feed(list, 10);
        QCOMPARE(list.GridN->Rows(), 11);
        QCOMPARE(list.GridN->TopRow(), 1);
        feed(list, 1);
        QCOMPARE(list.GridN->TopRow(), 2);
        feed(list, 1);
        QCOMPARE(list.GridN->TopRow(), 3);
        QCOMPARE(cellsOf(*list.GridN, 12),
                 QStringList({"12", "2026/12/06 14:10:19", "23.4", "Over", "- - -", "-12.5"}));
        QCOMPARE(m_view.windows.ListRowCount, qint64(12));
        // Found by use: a user who scrolled back was thrown forward to the
        // newest rows at every cycle; each new row moves the view on by one.
        list.GridN->setTopRow(1);
        feed(list, 2);
        QCOMPARE(list.GridN->TopRow(), 3);
    }

    void dumpWritesTheListAndTheNumberingCarriesOn() {
        QTemporaryDir folder;
        const QString before = QDir::currentPath();
        QDir::setCurrent(folder.path());
        recording::ListWindow list(m_view, m_letters, m_dialogs, m_clock);
        list.setDumpEvery(3);
        feed(list, 3);
        QDir::setCurrent(before);
        const QStringList dumps = QDir(folder.path()).entryList(QDir::Files);
        QCOMPARE(dumps.size(), 1);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{10}\\.4ch$")).match(dumps[0]).hasMatch());
        const QList<QByteArray> lines = readAll(folder.filePath(dumps[0])).split('\n');
        QCOMPARE(lines.size(), 5); // four lines and nothing after the last CR LF
        QCOMPARE(lines[0], QByteArray("\xB0"
                                      "C\tDate Time\tT1 - K\tT2 - J\tT3 - T\tT4 - E\t\r"));
        QCOMPARE(lines[3], QByteArray("3\t2026/12/06 14:10:19\t23.4\tOver\t- - -\t-12.5\t\r"));
        QCOMPARE(list.GridN->Rows(), 1);
        QCOMPARE(list.windowTitle(), QStringLiteral("List"));
        feed(list, 1);
        QCOMPARE(list.GridN->textAt(1, 0), QStringLiteral("4"));
    }

    // Issue 8: every test set a small dump size, so a wrong default would
    // pass; and the two progress captions were never seen.
    void theListDumpsItselfEvery320000RowsCountingInItsCaption() {
        QTemporaryDir folder;
        const QString before = QDir::currentPath();
        QDir::setCurrent(folder.path());
        recording::ListWindow list(m_view, m_letters, m_dialogs, m_clock);
        QStringList captions;
        connect(&list, &QWidget::windowTitleChanged,
                [&](const QString& title) { captions.append(title); });
        feed(list, 319999);
        QVERIFY(QDir(folder.path()).entryList(QDir::Files).isEmpty());
        feed(list, 1);
        QDir::setCurrent(before);
        const QStringList dumps = QDir(folder.path()).entryList(QDir::Files);
        QCOMPARE(dumps.size(), 1);
        QCOMPARE(readAll(folder.filePath(dumps[0])).count('\n'), 320001);
        QCOMPARE(list.GridN->Rows(), 1);
        QVERIFY2(captions.contains(QStringLiteral("10000 Records Completed")),
                 qPrintable(captions.mid(0, 3).join('|')));
        QCOMPARE(captions.last(), QStringLiteral("List"));

        // "Save" counts without the leading space.
        feed(list, 20000);
        captions.clear();
        const QString saved = m_dir.filePath(QStringLiteral("saved.4ch"));
        m_dialogs.answerSave(saved);
        list.Toolbar1_ButtonClick(QStringLiteral("Save"));
        QCOMPARE(readAll(saved).count('\n'), 20001);
        QVERIFY2(captions.contains(QStringLiteral("10000Records Completed")),
                 qPrintable(captions.join('|')));
        QCOMPARE(captions.last(), QStringLiteral("List"));
    }

    void dumpThatCannotBeWrittenKeepsTheRowsAndSaysWhy() {
        // A working folder that no longer exists fails even for root.
        const QString before = QDir::currentPath();
        const QString gone = m_dir.filePath(QStringLiteral("gone"));
        QVERIFY(QDir().mkdir(gone));
        QDir::setCurrent(gone);
        QVERIFY(QDir().rmdir(gone));
        recording::ListWindow list(m_view, m_letters, m_dialogs, m_clock);
        list.setDumpEvery(3);
        // The dump runs inside the once-a-second cycle: the failure is handed
        // on, not shown there in a box of its own (issue 8).
        QSignalSpy failed(&list, &recording::ListWindow::dumpFailed);
        feed(list, 3);
        QDir::setCurrent(before);
        QCOMPARE(list.GridN->Rows(), 4);
        QVERIFY(m_dialogs.callsOf(Kind::Message).isEmpty());
        QCOMPARE(failed.size(), 1);
        const QString text = failed[0][0].toString();
        QVERIFY(text.contains(QStringLiteral(".4ch")));
        QVERIFY2(text.contains(QStringLiteral("No such file")), qPrintable(text));
    }

    void closingTheListClearsItsStateAndSignals() {
        recording::ListWindow list(m_view, m_letters, m_dialogs, m_clock);
        QSignalSpy closed(&list, &recording::ListWindow::closed);
        m_view.windows.ListOpen = true;
        feed(list, 5);
        list.close();
        QCOMPARE(closed.size(), 1);
        QCOMPARE(m_view.windows.ListOpen, false);
        QCOMPARE(m_view.windows.ListRowCount, qint64(0));
    }

    void savedTableReadsBackIntoTheSameCells_data() {
        QTest::addColumn<bool>("dataList");
        QTest::newRow("live list") << false;
        QTest::newRow("data list showing °F") << true;
    }
    void savedTableReadsBackIntoTheSameCells() {
        QFETCH(bool, dataList);
        const QString path = m_dir.filePath(QStringLiteral("saved.4ch"));
        m_dialogs.answerSave(path);
        recording::ListWindow list(m_view, m_letters, m_dialogs, m_clock);
        recording::DataListWindow data(m_view.save, m_letters, m_dialogs);
        widgets::Grid* grid = list.GridN;
        if (dataList) {
            for (int i = 1; i <= 5; ++i)
                data.appendRecord(
                    {QString::number(i), "2026/12/06 14:10:19", "0.0", "", "", ""},
                    {QString::number(i), "2026/12/06 14:10:19", "32.0", "Under", "- - -", "-0.5"});
            data.Toolbar1_ButtonClick(QStringLiteral("CF"));
            grid = data.GridF;
            data.Toolbar1_ButtonClick(QStringLiteral("Save"));
        } else {
            feed(list, 5);
            list.Toolbar1_ButtonClick(QStringLiteral("Save"));
        }
        QCOMPARE(readAll(path).count("\r\n"), 6);
        const auto loaded = recording::readDataFile(path);
        const auto cells = [](const recording::SixValues& values) {
            return QStringList(values.begin(), values.end());
        };
        QCOMPARE(cells(loaded.heading()), cellsOf(*grid, 0));
        QCOMPARE(loaded.heading()[0], dataList ? QStringLiteral("°F") : QStringLiteral("°C"));
        QCOMPARE(loaded.rowCount(), 5);
        for (int row = 1; row <= 5; ++row)
            QCOMPARE(cells(loaded.row(row - 1)), cellsOf(*grid, row));
        QCOMPARE(m_view.save.SaveFilePath, path);
        QVERIFY(m_view.save.SaveFileChosen);
        if (dataList) { // a second click swaps back
            data.Toolbar1_ButtonClick(QStringLiteral("CF"));
            QVERIFY(data.GridC->isVisibleTo(&data) && !data.GridF->isVisibleTo(&data));
        }
    }

    void cancelledSaveWritesNothingEvenAfterAnEarlierSave() {
        const QString path = m_dir.filePath(QStringLiteral("first.4ch"));
        recording::ListWindow list(m_view, m_letters, m_dialogs, m_clock);
        feed(list, 2);
        m_dialogs.answerSave(path);
        list.Toolbar1_ButtonClick(QStringLiteral("Save"));
        QVERIFY(QFile::remove(path));
        m_dialogs.answerSave(QString());
        list.Toolbar1_ButtonClick(QStringLiteral("Save"));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!m_view.save.SaveFileChosen);
        QCOMPARE(m_view.save.SaveFilePath, path);
    }

    void channelClickSendsTheColumnWithItsTypeScale_data() {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("min");
        auto row = [](const char* name, const char* unit, int column, const char* heading,
                      const char* tag, double max, double min) {
            QTest::newRow(name) << QString(unit) << column << QString(heading) << QString(tag)
                                << max << min;
        };
        row("K in °C", "°C", 2, "T1 - K", "1°C", 1370, -200);
        row("J in °F", "°F", 3, "T2 - J", "2°F", 1832, -328);
        row("any other unit is °F", "C", 5, "T4 - T", "4°F", 752, -328);
        row("S shares R's scale", "°C", 4, "T3 - S", "3°C", 1600, 0);
        row("K is searched before C", "°C", 2, "T1 - C - K", "1°C", 1370, -200);
        row("unknown type keeps the last scale", "°C", 2, "T1 - X", "1°C", 99, -9);
    }
    void channelClickSendsTheColumnWithItsTypeScale() {
        QFETCH(QString, unit);
        QFETCH(int, column);
        QFETCH(QString, heading);
        int stops = 0, starts = 0;
        recording::FileListWindow files(m_view.windows, m_letters, m_dialogs,
                                        {[&] { ++stops; }, [&] { ++starts; }});
        files.PlotYMax = 99;
        files.PlotYMin = -9;
        recording::SixValues cells{unit, "Date Time", "T1", "T2", "T3", "T4"};
        cells[column] = heading;
        files.setHeading(cells);
        const QByteArray text[] = {"23.4", "Over", "- - -", "-12.5", "Under"};
        QList<QByteArray> rows;
        for (int i = 0; i < 5; ++i)
            rows.append(QByteArray::number(i + 1) + "\t2026/12/06 14:10:19" +
                        QByteArray("\t").repeated(column - 1) + text[i]);
        files.appendRows(rows);
        QList<recording::PlotRequest> sent;
        files.plotHook = [&](const recording::PlotRequest& request) { sent.append(request); };
        files.show();
        const auto index = files.GridN->model()->index(0, column);
        QTest::mouseClick(files.GridN->viewport(), Qt::LeftButton, {},
                          files.GridN->visualRect(index).center());
        QCOMPARE(sent.size(), 1);
        QTEST(sent[0].PlotTag, "tag");
        QTEST(sent[0].PlotYMax, "max");
        QTEST(sent[0].PlotYMin, "min");
        QCOMPARE(sent[0].values, QVector<float>({23.4f, 0, 0, -12.5f, 0}));
        QCOMPARE(stops, 1);
        QCOMPARE(starts, 1);
        QCOMPARE(files.windowTitle(), QStringLiteral("Saved File"));
    }

    // Found in testing: a file of five lines with 20 MB cells froze the
    // program for over a minute, every paint eliding each whole cell. The
    // list shows each cell and heading cut; the file's text stays whole for
    // saving and printing.
    void aFileWithHugeCellsIsShownCut() {
        const QByteArray huge(20 << 20, '7');
        QByteArray text = "\xB0"
                          "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - " +
                          huge + "\t\r\n";
        for (int line = 0; line < 5; ++line) {
            QList<QByteArray> cells{"1", "2026/12/06 14:10:19", "23.4", "1", "2", "3"};
            cells[line + 1] = huge;
            text += cells.join('\t') + "\t\r\n";
        }
        recording::FileListWindow files(m_view.windows, m_letters, m_dialogs, {});
        files.showLines(std::make_shared<recording::DataFileLines>(text));
        files.show();
        QVERIFY(QTest::qWaitForWindowExposed(&files));
        QVERIFY(!files.grab().isNull());
        const QAbstractItemModel& model = *files.GridN->model();
        QCOMPARE(model.rowCount(), 5);
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 6; ++col) {
                const QString shown = model.index(row, col).data().toString();
                QVERIFY2(shown.size() <= 256, qPrintable(QString::number(shown.size())));
                QCOMPARE(shown.endsWith(QChar(0x2026)), col == row + 1);
            }
        }
        QCOMPARE(model.headerData(5, Qt::Horizontal).toString().size(), 256);
        QCOMPARE(files.GridN->textAt(1, 1).size(), huge.size());
        QCOMPARE(files.GridN->textAt(0, 5).size(), huge.size() + 5);
    }

    void clickOnTheNumberOrTimeColumnDoesNothing() {
        int stops = 0;
        recording::FileListWindow files(m_view.windows, m_letters, m_dialogs,
                                        {[&] { ++stops; }, {}});
        files.appendRows({"1\t2026/12/06 14:10:19\t23.4\t1\t2\t3"});
        files.plotHook = [](const recording::PlotRequest&) { QFAIL("plotted"); };
        files.GridN_Click(1, 0);
        files.GridN_Click(1, 1);
        QCOMPARE(stops, 0);
    }
};

QUADTHERM_TEST_SUITE(TestListWindows, Gui)

} // namespace tst_list_windows

#include "tst_list_windows.moc"
