// The real-time chart window on the fake clock: where it opens, the sweep
// and its wraps, the Limit panel with its bounds, key filters and Enter,
// closing by the user and by the rebuilt link, printing and saving.

#include "graphs/ui/graph_windows.h"
#include "graphs/ui/realtime_window.h"
#include "graphs/ui/sweep_view.h"
#include "session/meter_session.h"
#include "support/fake_clock.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_serial_port.h"
#include "support/session_rig.h"
#include "support/test_suite.h"

#include <QFrame>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

namespace tst_realtime_chart {

using namespace quadtherm;
using Kind = test::ScriptedDialogs::Kind;

namespace {

bool near(QRgb pixel, const QColor& colour, int tolerance) {
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

// How much of a column of the plotting area, clear of its frame and step
// marks, still shows the bare area.
double bareShare(const QImage& image, const QRectF& area, double x) {
    const QColor bare(0x12, 0x15, 0x19);
    int bareCount = 0, all = 0;
    for (int y = int(area.top()) + 3; y < int(area.bottom()) - 8; ++y, ++all)
        bareCount += near(image.pixel(int(x), y), bare, 2);
    return double(bareCount) / all;
}

struct Rig : test::SessionRig {
    QWidget main;
    graphs::GraphWindows graphs{client, view.windows, dialogs, main};

    Rig() { main.setGeometry(20, 40, 700, 400); }
    // Opened with the "Graph" key and drawn.
    graphs::RealTimeWindow& open() {
        graphs.openRealTimeChart();
        graphs::RealTimeWindow* window = graphs.realTimeWindow();
        Q_ASSERT(window);
        if (!QTest::qWaitForWindowExposed(window))
            qWarning("the chart was not shown");
        return *window;
    }
};

} // namespace

class TestRealTimeChart : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void opensBesideTheMainWindowOnceWhileOpen() {
        Rig rig;
        rig.main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.main));
        graphs::RealTimeWindow& chart = rig.open();
        QCOMPARE(chart.windowTitle(), QStringLiteral("Real Time Graph"));
        QCOMPARE(chart.objectName(), QStringLiteral("RealTimeSLM"));
        QVERIFY(rig.view.windows.GraphOpen);
        const QRect main = rig.main.frameGeometry();
        QCOMPARE(chart.frameGeometry().topLeft(), QPoint(main.x() + main.width(), main.y()));
        rig.graphs.openRealTimeChart(); // a second click does nothing
        QCOMPARE(rig.graphs.realTimeWindow(), &chart);
        QCOMPARE(rig.main.findChildren<graphs::RealTimeWindow*>().size(), 1);
    }

    void frameIsDrawnWithTheScaleAndTheSweepRuns() {
        Rig rig;
        graphs::RealTimeWindow& chart = rig.open();
        QVERIFY(chart.Timer1.isActive());
        QCOMPARE(chart.chart().ChartMax, 130.0);
        QCOMPARE(chart.chart().ChartMin, 30.0);
        QCOMPARE(chart.chart().ChartStep(), 1.0f);
        QCOMPARE(double(chart.chart().ChartWidth), chart.Surface->plottingArea().width());
        rig.clock.run(5000);
        QCOMPARE(chart.chart().ChartX(), 5.0);
        // Resized: the frame fits the new width and the sweep goes on.
        chart.resize(chart.width() + 100, chart.height());
        QCoreApplication::processEvents();
        QCOMPARE(double(chart.chart().ChartWidth), chart.Surface->plottingArea().width());
        QVERIFY(chart.Timer1.isActive());
        QCOMPARE(chart.chart().ChartX(), 5.0);
    }

    void sixtyCountsWrapOnceAMinuteAndPrintTheTime() {
        Rig rig;
        graphs::RealTimeWindow& chart = rig.open();
        chart.Toolbar1_ButtonClick(QStringLiteral("Limit"));
        chart.TxtCounts->setText(QStringLiteral("60"));
        chart.CmdOK->click();
        QVERIFY(!chart.PMessage->isVisible());
        QVERIFY(chart.Timer1.isActive());
        QStringList wrapTimes;
        for (int minute = 1; minute <= 3; ++minute) {
            rig.clock.run(59000);
            QCOMPARE(chart.wraps(), minute - 1);
            rig.clock.run(1000);
            QCOMPARE(chart.wraps(), minute);
            QCOMPARE(chart.Surface->wrapTime(),
                     rig.clock.now().toString(QStringLiteral("hh:mm:ss")));
            wrapTimes.append(chart.Surface->wrapTime());
        }
        // The fake clock starts at 09:05:07.
        QCOMPARE(wrapTimes, (QStringList{"09:06:07", "09:07:07", "09:08:07"}));
    }

    void limitPanelShowsTheSweepAndStopsIt() {
        Rig rig;
        graphs::RealTimeWindow& chart = rig.open();
        chart.Toolbar1_ButtonClick(QStringLiteral("Limit"));
        QVERIFY(chart.PMessage->isVisible());
        QVERIFY(!chart.Timer1.isActive());
        QCOMPARE(chart.TxtMax->text(), QStringLiteral("130"));
        QCOMPARE(chart.TxtMin->text(), QStringLiteral("30"));
        QCOMPARE(chart.TxtCounts->text(),
                 QString::number(std::lround(chart.Surface->plottingArea().width())));
        const double x = chart.chart().ChartX();
        rig.clock.run(5000);
        QCOMPARE(chart.chart().ChartX(), x);
    }

    void limitPanelBounds_data() {
        QTest::addColumn<QString>("max");
        QTest::addColumn<QString>("min");
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QString>("message");
        QTest::addColumn<double>("chartMax");
        QTest::addColumn<double>("chartMin");
        QTest::addColumn<qint64>("chartCounts");
        const char* value = "30 <= Value <= 130, try again!";
        const char* counts = "10 <= Counts <= 864000, try again!";
        const auto row = [](const char* name, const char* max, const char* min, const char* n,
                            const char* message, double chartMax, double chartMin,
                            qint64 chartCounts) {
            QTest::newRow(name) << QString::fromLatin1(max) << QString::fromLatin1(min)
                                << QString::fromLatin1(n) << QString::fromLatin1(message)
                                << chartMax << chartMin << chartCounts;
        };
        // The chart starts at 120 / 40 with 500 counts; a refused value
        // changes nothing, refused counts leave the limits taken.
        row("30 and 130", "130", "30", "60", "", 130, 30, 60);
        row("fractions, fewest counts", "99.5", "30.5", "10", "", 99.5, 30.5, 10);
        row("most counts", "130", "30", "864000", "", 130, 30, 864000);
        row("Max 131", "131", "30", "60", value, 120, 40, 500);
        row("Min 29", "130", "29", "60", value, 120, 40, 500);
        row("Min = Max", "80", "80", "60", value, 120, 40, 500);
        row("Min above Max", "50", "80", "60", value, 120, 40, 500);
        row("no number is 0", "abc", "30", "60", value, 120, 40, 500);
        row("Counts 9", "100", "50", "9", counts, 100, 50, 500);
        row("Counts 864001", "100", "50", "864001", counts, 100, 50, 500);
        row("Counts empty", "100", "50", "", counts, 100, 50, 500);
    }
    void limitPanelBounds() {
        QFETCH(QString, max);
        QFETCH(QString, min);
        QFETCH(QString, counts);
        QFETCH(QString, message);
        QFETCH(double, chartMax);
        QFETCH(double, chartMin);
        QFETCH(qint64, chartCounts);
        Rig rig;
        graphs::RealTimeWindow& chart = rig.open();
        chart.chart().ChartMax = 120;
        chart.chart().ChartMin = 40;
        chart.chart().setCounts(500);
        chart.Toolbar1_ButtonClick(QStringLiteral("Limit"));
        chart.TxtMax->setText(max);
        chart.TxtMin->setText(min);
        chart.TxtCounts->setText(counts);
        if (!message.isEmpty())
            rig.dialogs.answerMessage(QMessageBox::Ok);
        chart.CmdOK_Click();
        const auto calls = rig.dialogs.callsOf(Kind::Message);
        QCOMPARE(calls.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE(calls[0].text, message);
        // A refusal leaves the panel open and the sweep stopped.
        QCOMPARE(chart.PMessage->isVisible(), !message.isEmpty());
        QCOMPARE(chart.Timer1.isActive(), message.isEmpty());
        QCOMPARE(chart.chart().ChartMax, chartMax);
        QCOMPARE(chart.chart().ChartMin, chartMin);
        QCOMPARE(chart.chart().counts(), chartCounts);
        QVERIFY(rig.dialogs.unexpectedCalls().isEmpty());
    }

    void keyFiltersAndEnterWalkThroughThePanel() {
        Rig rig;
        graphs::RealTimeWindow& chart = rig.open();
        QApplication::setActiveWindow(&chart);
        chart.Toolbar1_ButtonClick(QStringLiteral("Limit"));
        // Digits, "-" and "." in Max and Min; digits only in Counts. The
        // refused keys come before the box is full.
        for (QLineEdit* box : {chart.TxtMax, chart.TxtMin, chart.TxtCounts}) {
            box->clear();
            box->insert(QString(QChar(0x0663))); // an Arabic-Indic digit
            QTest::keyClicks(box, QStringLiteral("a0+1,2 3-4.56789"));
            QCOMPARE(box->text(), box == chart.TxtCounts ? QStringLiteral("0123456789")
                                                         : QStringLiteral("0123-4.56789"));
            box->clear();
        }
        QTest::keyClicks(chart.TxtMax, QStringLiteral("120"));
        QTest::keyClicks(chart.TxtMin, QStringLiteral("40"));
        QTest::keyClicks(chart.TxtCounts, QStringLiteral("60"));
        chart.TxtCounts->insert(QStringLiteral("1.5")); // pasted: refused whole
        QCOMPARE(chart.TxtCounts->text(), QStringLiteral("60"));
        QTest::keyClick(chart.TxtCounts, Qt::Key_Backspace);
        QCOMPARE(chart.TxtCounts->text(), QStringLiteral("6"));
        QTest::keyClick(chart.TxtCounts, Qt::Key_0);

        chart.TxtMax->setFocus();
        QTest::keyClick(chart.TxtMax, Qt::Key_Return);
        QVERIFY(chart.TxtMin->hasFocus());
        QTest::keyClick(chart.TxtMin, Qt::Key_Enter);
        QVERIFY(chart.TxtCounts->hasFocus());
        QVERIFY(chart.PMessage->isVisible());
        QTest::keyClick(chart.TxtCounts, Qt::Key_Return); // applies the panel
        QVERIFY(!chart.PMessage->isVisible());
        QCOMPARE(chart.chart().ChartMax, 120.0);
        QCOMPARE(chart.chart().ChartMin, 40.0);
        QCOMPARE(chart.chart().counts(), 60);
        QVERIFY(rig.dialogs.callsOf(Kind::Message).isEmpty());
    }

    // #20: new limits clear the old sweep's marks and its wrap time: on the
    // new scale they would read as if they belonged to it.
    void newLimitsClearTheOldSweepsMarks() {
        Rig rig;
        graphs::RealTimeWindow& chart = rig.open();
        const auto applyCounts = [&](const char* counts) {
            chart.Toolbar1_ButtonClick(QStringLiteral("Limit"));
            chart.TxtCounts->setText(QLatin1String(counts));
            chart.CmdOK->click();
        };
        applyCounts("20");
        rig.clock.run(25000); // one wrap, then a quarter of the way again
        QCOMPARE(chart.wraps(), 1);
        QVERIFY(!chart.Surface->wrapTime().isEmpty());
        const QRectF area = chart.Surface->plottingArea();
        const double behind = area.left() + area.width() / 8; // swept since the wrap
        QVERIFY(bareShare(chart.Surface->grab().toImage(), area, behind) < 0.2);

        applyCounts("60");
        QVERIFY(chart.Surface->wrapTime().isEmpty());
        QCOMPARE(chart.chart().SweepStart(), chart.chart().ChartX());
        QVERIFY(bareShare(chart.Surface->grab().toImage(), area, behind) > 0.8);
        // The new sweep marks its own way on from where it was.
        rig.clock.run(10000);
        const double since = area.left() + area.width() / 4 + area.width() * 5 / 60 - 2;
        const QImage after = chart.Surface->grab().toImage();
        QVERIFY(bareShare(after, area, since) < 0.2);
        QVERIFY(bareShare(after, area, behind) > 0.8);
    }

    // #20: printed black on white, as the data graph is.
    void printIsBlackOnWhite() {
        QVERIFY(m_dir.isValid());
        Rig rig;
        graphs::RealTimeWindow& chart = rig.open();
        rig.clock.run(120000); // a sweep with its marks and a wrap time
        const QString pdf = m_dir.filePath(QStringLiteral("paper.pdf"));
        rig.dialogs.answerPrint(true, [pdf](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        });
        chart.Toolbar1_ButtonClick(QStringLiteral("Print"));
        QProcess tool;
        const QString prefix = m_dir.filePath(QStringLiteral("paper"));
        tool.start(QStringLiteral("pdftoppm"),
                   {QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-png"),
                    QStringLiteral("-singlefile"), pdf, prefix});
        QVERIFY(tool.waitForFinished(30000));
        const QImage page(prefix + QStringLiteral(".png"));
        QVERIFY(!page.isNull());
        qsizetype white = 0, screen = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QRgb pixel = page.pixel(x, y);
                white += near(pixel, Qt::white, 8);
                // The screen's near-blacks are tinted blue; black text
                // smoothed into white is a plain grey.
                screen +=
                    qBlue(pixel) - qRed(pixel) >= 5 && (near(pixel, QColor(0x1a, 0x1e, 0x23), 4) ||
                                                        near(pixel, QColor(0x12, 0x15, 0x19), 4));
            }
        QVERIFY2(white > qsizetype(page.width()) * page.height() * 8 / 10,
                 qPrintable(QString::number(white)));
        QCOMPARE(screen, 0);
        // And the screen as it was.
        QVERIFY(!chart.Surface->paper());
        const QImage shown = chart.Surface->grab().toImage();
        QVERIFY(near(shown.pixel(2, 2), QColor(0x1a, 0x1e, 0x23), 2));
    }

    void closingClearsGraphOpenAndTheRebuiltLinkClosesIt() {
        Rig rig;
        graphs::RealTimeWindow* chart = &rig.open();
        QPointer<graphs::RealTimeWindow> watched = chart;
        chart->close();
        QVERIFY(!rig.view.windows.GraphOpen);
        QTRY_VERIFY(!watched);
        rig.graphs.openRealTimeChart();
        QVERIFY(rig.view.windows.GraphOpen);
        watched = rig.graphs.realTimeWindow();
        QVERIFY(watched);
        Q_EMIT rig.session.liveWindowsClosing();
        rig.settle();
        QVERIFY(!rig.view.windows.GraphOpen);
        QTRY_VERIFY(!watched);
        rig.graphs.openRealTimeChart(); // and "Graph" opens it again
        QVERIFY(rig.graphs.realTimeWindow());
    }

    void printingHidesTheToolbarAndPrintsTheFrame() {
        QVERIFY(m_dir.isValid());
        Rig rig;
        graphs::RealTimeWindow& chart = rig.open();
        const QString pdf = m_dir.filePath(QStringLiteral("chart.pdf"));
        bool hiddenWhilePrinting = false;
        rig.dialogs.whileOpen = [&](Kind kind) {
            if (kind == Kind::Print)
                hiddenWhilePrinting = chart.Toolbar1->isHidden();
        };
        rig.dialogs.answerPrint(true, [pdf](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        });
        const double width = chart.chart().ChartWidth;
        chart.Toolbar1_ButtonClick(QStringLiteral("Print"));
        QVERIFY(hiddenWhilePrinting);
        QVERIFY(!chart.Toolbar1->isHidden());
        QCOMPARE(double(chart.chart().ChartWidth), width); // no resize on the way
        QProcess tool;
        tool.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(tool.waitForFinished(30000));
        const QString text = QString::fromUtf8(tool.readAllStandardOutput());
        for (const char* label : {"dB", "130", "30"})
            QVERIFY2(text.contains(QLatin1String(label)), label);

        const QString png = m_dir.filePath(QStringLiteral("chart.png"));
        rig.dialogs.answerSave(png);
        chart.Toolbar1_ButtonClick(QStringLiteral("Save"));
        QVERIFY(!QImage(png).isNull());
        QVERIFY(rig.dialogs.unexpectedCalls().isEmpty());
    }
};

QUADTHERM_TEST_SUITE(TestRealTimeChart, Gui)

} // namespace tst_realtime_chart

#include "tst_realtime_chart.moc"
