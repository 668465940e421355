#include "support/test_suite.h"
#include "widgets/grid.h"
#include "widgets/grid_model.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace tst_grid {

using quadtherm::widgets::Grid;

namespace {

QStringList cellsOf(const Grid& grid, int row) {
    QStringList cells;
    for (int col = 0; col < grid.Cols(); ++col)
        cells.append(grid.textAt(row, col));
    return cells;
}

QStringList numberedRows(int count) {
    QStringList rows;
    rows.reserve(count);
    for (int i = 1; i <= count; ++i)
        rows.append(QStringLiteral("%1\t2026/12/06 14:10:19\t23.4\t- - -\tOver\t-12.5").arg(i));
    return rows;
}

// The first cell of a row in sight, `rows` rows below the top.
QString shownAt(const Grid& grid, int rows) {
    const int height = grid.verticalHeader()->defaultSectionSize();
    return grid.indexAt(QPoint(5, rows * height + height / 2)).data().toString();
}

} // namespace

class TestGrid : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rowsOfOneLeavesTheHeadingAndTheNextAppendIsRowOne() {
        Grid grid(6);
        grid.setTextAt(0, 2, QStringLiteral("Ch1"));
        grid.appendRows(numberedRows(5000));
        grid.setRow(4000);
        QCOMPARE(grid.Rows(), 5001);
        grid.setRows(1);
        QCOMPARE(grid.Rows(), 1);
        QCOMPARE(grid.Row(), 0);
        QCOMPARE(grid.textAt(0, 2), QStringLiteral("Ch1"));
        grid.AddItem(QStringLiteral("7\tlater"));
        QCOMPARE(grid.Rows(), 2);
        QCOMPARE(grid.rowText(1), QStringLiteral("7\tlater\t\t\t\t"));
        grid.setRows(4);
        QCOMPARE(grid.Rows(), 4);
        QCOMPARE(cellsOf(grid, 3), QStringList(6, QString()));
        grid.setRows(0);
        QCOMPARE(grid.Rows(), 1);
    }

    void addItemSplitsCellsAtTabs_data() {
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QString>("joined");
        QTest::newRow("as many cells as columns")
            << 3 << "1\t23.4\tOver" << QStringList{"1", "23.4", "Over"} << "1\t23.4\tOver";
        QTest::newRow("extra cells are dropped")
            << 3 << "a\tb\tc\td\te" << QStringList{"a", "b", "c"} << "a\tb\tc";
        QTest::newRow("missing cells are empty") << 3 << "a" << QStringList{"a", "", ""} << "a\t\t";
        QTest::newRow("empty cells keep their place")
            << 3 << "\tb\t" << QStringList{"", "b", ""} << "\tb\t";
        QTest::newRow("one column keeps the tabs")
            << 1 << "a\tb\tc" << QStringList{"a\tb\tc"} << "a\tb\tc";
    }
    void addItemSplitsCellsAtTabs() {
        QFETCH(int, columns);
        QFETCH(QString, text);
        QFETCH(QStringList, cells);
        Grid grid(columns);
        grid.AddItem(QStringLiteral("before"));
        grid.AddItem(text);
        grid.AddItem(QStringLiteral("after"));
        QCOMPARE(cellsOf(grid, 2), cells);
        QTEST(grid.rowText(2), "joined");
        QCOMPARE(grid.model()->index(1, columns - 1).data().toString(), cells.last());
        QCOMPARE(grid.textAt(3, 0), QStringLiteral("after"));
    }

    void textReadsAndWritesTheCurrentCellIncludingTheHeading() {
        Grid grid(3);
        grid.setRow(0);
        grid.setCol(2);
        grid.setText(QStringLiteral("Ch2 \u00b0C"));
        QCOMPARE(grid.Text(), QStringLiteral("Ch2 \u00b0C"));
        QCOMPARE(grid.model()->headerData(2, Qt::Horizontal).toString(),
                 QStringLiteral("Ch2 \u00b0C"));
        QCOMPARE(grid.rowText(0), QStringLiteral("\t\tCh2 \u00b0C"));
        grid.appendRows({QStringLiteral("1\ta\tb"), QStringLiteral("2\tc\td")});
        grid.setRow(2);
        grid.setCol(1);
        QCOMPARE(grid.Text(), QStringLiteral("c"));
        QCOMPARE(grid.currentIndex(), grid.model()->index(1, 1));
        grid.setText(QStringLiteral("-12.5 \u00b0F"));
        QCOMPARE(grid.rowText(2), QStringLiteral("2\t-12.5 \u00b0F\td"));
        QCOMPARE(grid.rowText(1), QStringLiteral("1\ta\tb"));
        // The current cell always exists.
        grid.setRow(9);
        grid.setCol(-1);
        QCOMPARE(grid.Row(), 2);
        QCOMPARE(grid.Col(), 0);
        grid.setRows(2);
        QCOMPARE(grid.Row(), 1);
    }

    void topRowFromCodeScrollsQuietlyAndUserScrollingIsReported() {
        Grid grid(6);
        grid.resize(400, 200);
        grid.appendRows(numberedRows(1000));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QSignalSpy scrolled(&grid, &Grid::gridScrolled);
        grid.setTopRow(500);
        QCOMPARE(grid.TopRow(), 500);
        QCOMPARE(grid.rowAt(0), 499);
        QCOMPARE(scrolled.count(), 0);
        grid.verticalScrollBar()->setValue(20);
        QCOMPARE(grid.TopRow(), 21);
        QCOMPARE(scrolled.count(), 1);
        grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QVERIFY(grid.TopRow() > 21);
        QCOMPARE(scrolled.count(), 2);
        // A current row set from code stays out of sight until the user moves to it.
        grid.setRow(900);
        QCOMPARE(grid.TopRow(), grid.rowAt(0) + 1);
        QVERIFY(grid.TopRow() < 800);
        QCOMPARE(scrolled.count(), 2);
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(grid.Row(), 901);
        QVERIFY(grid.TopRow() > 800);
        QCOMPARE(scrolled.count(), 3);
        // A taller window or a shorter list pulls the view back without anyone scrolling.
        grid.setTopRow(1000);
        grid.resize(400, 400);
        QTRY_VERIFY(grid.TopRow() < 990);
        grid.setRows(4);
        QCOMPARE(grid.TopRow(), 1);
        grid.setTopRow(0);
        QCOMPARE(grid.TopRow(), 1);
        QCOMPARE(scrolled.count(), 3);
    }

    void hiddenGridKeepsItsRows() {
        Grid grid(2);
        grid.show();
        grid.AddItem(QStringLiteral("1\tshown"));
        grid.hide();
        grid.AddItem(QStringLiteral("2\thidden"));
        grid.setTextAt(1, 1, QStringLiteral("edited"));
        grid.show();
        QCOMPARE(grid.Rows(), 3);
        QCOMPARE(grid.rowText(1), QStringLiteral("1\tedited"));
        QCOMPARE(grid.rowText(2), QStringLiteral("2\thidden"));
    }

    // Issue 9: the view kept eight bytes for every row, four times what a
    // line of "TAB LF" takes in the file; it now sees a window of the rows.
    void aMillionRowsArriveAtOnceAndTheViewHoldsAWindowOfThem() {
        Grid grid(6);
        grid.resize(400, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QSignalSpy inserted(grid.model(), &QAbstractItemModel::rowsInserted);
        grid.appendRows(numberedRows(1'000'000));
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(grid.Rows(), 1'000'001);
        QVERIFY(grid.verticalHeader()->count() <= 1000);
        QCOMPARE(cellsOf(grid, 1'000'000),
                 QStringList({"1000000", "2026/12/06 14:10:19", "23.4", "- - -", "Over", "-12.5"}));
        grid.setTopRow(999'980);
        QCOMPARE(grid.verticalScrollBar()->maximum() + grid.verticalScrollBar()->pageStep(),
                 1'000'000);
        QCOMPARE(grid.TopRow(), 999'980);
        QCOMPARE(shownAt(grid, 0), QStringLiteral("999980"));
        QCOMPARE(shownAt(grid, 2), QStringLiteral("999982"));
        grid.appendRows(numberedRows(5));
        QCOMPARE(inserted.count(), 1); // beyond the window: only the scroll range grows
        grid.setTopRow(1'000'005);
        QCOMPARE(grid.TopRow(), 1'000'006 - grid.verticalScrollBar()->pageStep());
    }

    void scrollingAndKeysCarryTheWindowAlong() {
        Grid grid(6);
        grid.resize(400, 300);
        grid.appendRows(numberedRows(5000));
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QSignalSpy scrolled(&grid, &Grid::gridScrolled);
        QSignalSpy clicked(&grid, &Grid::gridClicked);
        // The user drags the scroll bar far past the window.
        grid.verticalScrollBar()->setValue(3000);
        QCOMPARE(grid.TopRow(), 3001);
        QCOMPARE(shownAt(grid, 0), QStringLiteral("3001"));
        QCOMPARE(scrolled.count(), 1);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                          grid.visualRect(grid.indexAt(QPoint(5, 5)).siblingAtColumn(2)).center());
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked[0], QVariantList({3001, 2}));
        QCOMPARE(grid.Row(), 3001);
        // Down to the bottom and beyond the window's edge, one row at a time
        // and a page at a time.
        const int shown = grid.verticalScrollBar()->pageStep();
        for (int i = 0; i < 700; ++i)
            QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(grid.Row(), 3701);
        QCOMPARE(grid.TopRow(), 3702 - shown);
        QCOMPARE(grid.textAt(grid.Row(), 0), QStringLiteral("3701"));
        QCOMPARE(grid.currentIndex().siblingAtColumn(0).data().toString(), QStringLiteral("3701"));
        QTest::keyClick(&grid, Qt::Key_PageDown);
        QCOMPARE(grid.Row(), 3701 + shown);
        QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid.Row(), 5000);
        QCOMPARE(grid.currentIndex().siblingAtColumn(0).data().toString(), QStringLiteral("5000"));
        QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(grid.Row(), 1);
        QCOMPARE(grid.TopRow(), 1);
        QCOMPARE(shownAt(grid, 0), QStringLiteral("1"));
        // The current row set from code is picked up when it comes into sight.
        grid.setRow(4500);
        QVERIFY(!grid.currentIndex().isValid());
        grid.setTopRow(4490);
        QCOMPARE(grid.currentIndex().siblingAtColumn(0).data().toString(), QStringLiteral("4500"));
        QTest::keyClick(&grid, Qt::Key_Up);
        QCOMPARE(grid.Row(), 4499);
    }

    void sourceRowsAreShownWithoutBeingCopied() {
        // A source of ten million rows that keeps no text at all.
        class Counting final : public quadtherm::widgets::GridSource {
        public:
            int rows() const override { return 10'000'000; }
            QString cell(int row, int col) const override {
                return QStringLiteral("%1:%2").arg(row).arg(col);
            }
        };
        Grid grid(3);
        grid.setTextAt(0, 0, QStringLiteral("kept"));
        grid.AddItem(QStringLiteral("replaced"));
        grid.setSource(std::make_shared<Counting>());
        QCOMPARE(grid.Rows(), 10'000'001);
        QCOMPARE(grid.textAt(0, 0), QStringLiteral("kept"));
        QCOMPARE(grid.rowText(10'000'000), QStringLiteral("9999999:0\t9999999:1\t9999999:2"));
        grid.setTextAt(5, 1, QStringLiteral("edited"));
        QCOMPARE(grid.rowText(5), QStringLiteral("4:0\tedited\t4:2"));
        grid.setRows(3);
        grid.AddItem(QStringLiteral("a\tb"));
        QCOMPARE(grid.Rows(), 4);
        QCOMPARE(grid.rowText(2), QStringLiteral("1:0\t1:1\t1:2"));
        QCOMPARE(grid.rowText(3), QStringLiteral("a\tb\t"));
        grid.setRows(1);
        grid.AddItem(QStringLiteral("after"));
        QCOMPARE(grid.rowText(1), QStringLiteral("after\t\t"));
    }

    // Found in testing: a data file with 20 MB cells froze the program, as
    // every paint elided each cell's whole text. A view gets at most 256
    // characters of a cell or a heading, the last an ellipsis; the grid's
    // own text keeps every character.
    void aViewGetsLongCellsCut_data() {
        QTest::addColumn<qsizetype>("length");
        QTest::addColumn<QString>("kind"); // latin1, unicode (beyond Latin-1), heading
        QTest::addColumn<qsizetype>("shown");
        for (const char* kind : {"latin1", "unicode", "heading"}) {
            const auto row = [kind](const char* name, qsizetype length, qsizetype shown) {
                QTest::addRow("%s, %s", kind, name) << length << QString(kind) << shown;
            };
            row("empty", 0, 0);
            row("one short of the bound", 255, 255);
            row("at the bound", 256, 256);
            row("one past the bound", 257, 256);
            row("20 MB", qsizetype(20) << 20, 256);
        }
    }
    void aViewGetsLongCellsCut() {
        QFETCH(qsizetype, length);
        QFETCH(QString, kind);
        QFETCH(qsizetype, shown);
        // "€" keeps the row out of the Latin-1 buffer.
        const QString text =
            kind == "unicode" ? QString(length, QChar(0x20AC)) : QString(length, QLatin1Char('7'));
        Grid grid(3);
        const QAbstractItemModel& model = *grid.model();
        QString got;
        if (kind == "heading") {
            grid.setTextAt(0, 1, text);
            got = model.headerData(1, Qt::Horizontal).toString();
            QCOMPARE(grid.textAt(0, 1).size(), length);
        } else {
            grid.AddItem("a\t" + text + "\tc");
            got = model.index(0, 1).data().toString();
            QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("c"));
            QCOMPARE(grid.textAt(1, 1).size(), length);
            QCOMPARE(grid.rowText(1).size(), length + 4);
        }
        QCOMPARE(got.size(), shown);
        const bool cut = length > shown;
        QCOMPARE(got.endsWith(QChar(0x2026)), cut);
        QCOMPARE(got.left(shown - 1), text.left(shown - 1));
    }

    // Cells come from the source once per row and cut, never whole, however
    // often the grid is painted.
    void paintingAsksASourceOnlyForCutCellsAndOnce() {
        class LongCells final : public quadtherm::widgets::GridSource {
        public:
            int rows() const override { return 5; }
            QString cell(int, int) const override {
                ++wholeCells;
                return QString(qsizetype(20) << 20, QLatin1Char('7'));
            }
            QStringList cutCells(int row, int columns, qsizetype most) const override {
                ++cutRows;
                mostAskedFor = std::max(mostAskedFor, most);
                QStringList cells;
                for (int col = 0; col < columns; ++col)
                    cells.append(
                        QString(std::min<qsizetype>(most, 20 << 20), QLatin1Char('0' + row)));
                return cells;
            }
            mutable int wholeCells = 0;
            mutable int cutRows = 0;
            mutable qsizetype mostAskedFor = 0;
        };
        auto source = std::make_shared<LongCells>();
        Grid grid(6);
        grid.resize(700, 300);
        grid.setSource(source);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        for (int paint = 0; paint < 3; ++paint)
            QVERIFY(!grid.grab().isNull());
        QCOMPARE(source->wholeCells, 0);
        QCOMPARE(source->cutRows, 5);
        QVERIFY2(source->mostAskedFor <= 257, qPrintable(QString::number(source->mostAskedFor)));
        for (int row = 0; row < 5; ++row)
            QCOMPARE(grid.model()->index(row, 5).data().toString(),
                     QString(255, QLatin1Char('0' + row)) + QChar(0x2026));
        // An edited cell is shown as edited.
        grid.setTextAt(3, 5, QStringLiteral("edited"));
        QCOMPARE(grid.model()->index(2, 5).data().toString(), QStringLiteral("edited"));
    }
};

QUADTHERM_TEST_SUITE(TestGrid, Gui)

} // namespace tst_grid

#include "tst_grid.moc"
