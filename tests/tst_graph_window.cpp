// The data graph window as a user meets it: opened from a channel's history
// or a file column, its track modes under the mouse, the cursor, the range
// boxes in step with the axes, "Reset Scale", printing to PDF, and the file
// list's whole-file plot and histogram.

#include "graphs/sample_stats.h"
#include "graphs/ui/file_plot_window.h"
#include "graphs/ui/graph_style.h"
#include "graphs/ui/graph_windows.h"
#include "graphs/ui/histogram_window.h"
#include "graphs/ui/plot_window.h"
#include "graphs/ui/track_control.h"
#include "main_window/ui/panel.h"
#include "main_window/ui/unit_panel.h"
#include "recording/ui/file_list_window.h"
#include "support/scripted_dialogs.h"
#include "support/session_rig.h"
#include "support/test_suite.h"
#include "widgets/grid.h"
#include "widgets/numeric_edit.h"
#include "widgets/strip_chart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

#include <sys/stat.h>

#include <cmath>

namespace tst_graph_window {

using namespace quadtherm;
using Kind = test::ScriptedDialogs::Kind;

namespace {

// A plot shown and laid out, so that pixels mean something.
void layOut(QWidget& window, QCustomPlot& plot) {
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    plot.replot(QCustomPlot::rpImmediateRefresh);
}

template <typename F> QList<float> series(int n, F value) {
    QList<float> values;
    for (int i = 0; i < n; ++i)
        values.append(float(value(i)));
    return values;
}

// The meter session and a stand-in for the main window.
struct Rig : test::SessionRig {
    QWidget main;
    graphs::GraphWindows graphs{client, view.windows, dialogs, main};

    Rig() {
        main.setGeometry(40, 30, 900, 480);
        state.live.ProbePresent = {true, true, false, true};
        state.live.TypeLetter = {"K", "T", "J", ""};
        // What the windows know of the channels, as the session tells them.
        Q_EMIT session.channelsChanged(session::channelsSetupOf(state));
        settle();
    }
    // A click on channel k's small chart; its copy comes back from the session.
    void openChannel(int k, bool fahrenheit) {
        graphs.openChannelGraph(k, fahrenheit);
        settle();
    }
    // Channel k's history: cycle i holds °C `c[i - 1]` and °F `f[i - 1]`.
    void fill(int k, const QList<float>& c, const QList<float>& f) {
        for (int i = 0; i < c.size(); ++i)
            state.history.store(k, i + 1, c[i], f[i]);
        state.recording.HistoryCount = int(c.size());
    }
    graphs::PlotWindow& plot() {
        auto* window = graphs.plotWindow();
        Q_ASSERT(window);
        return *window;
    }
    // Channel k's graph in °C of `values`, shown and laid out when asked.
    graphs::PlotWindow& graph(const QList<float>& values, bool shown = false, int k = 0) {
        fill(k, values, values);
        openChannel(k, false);
        if (shown)
            layOut(plot(), *plot().CWGraph1);
        return plot();
    }
};

void send(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button,
          Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void drag(QCustomPlot* plot, QPoint from, QPoint to) {
    send(plot, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(plot, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    send(plot, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(plot, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

void wheel(QCustomPlot* plot, QPoint at) {
    QWheelEvent event(QPointF(at), QPointF(plot->mapToGlobal(at)), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &event);
}

QPoint centreOf(QCustomPlot* plot) {
    return plot->axisRect()->rect().center();
}

bool sameRange(const QCPRange& a, const QCPRange& b) {
    return qFuzzyCompare(a.lower + 1e6, b.lower + 1e6) &&
           qFuzzyCompare(a.upper + 1e6, b.upper + 1e6);
}

QString pdfText(const QString& path) {
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    tool.waitForFinished(30000);
    return QString::fromUtf8(tool.readAllStandardOutput());
}

QImage pdfPage(const QString& path, const QString& prefix) {
    QProcess tool;
    tool.start(QStringLiteral("pdftoppm"),
               {QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-png"),
                QStringLiteral("-singlefile"), path, prefix});
    tool.waitForFinished(30000);
    return QImage(prefix + QStringLiteral(".png"));
}

bool near(QRgb pixel, const QColor& colour, int tolerance) {
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

// Whether column x (±1) of the image shows the cyan of T1's trace, even
// blended half and half into the dark background by antialiasing.
bool columnHasCyan(const QImage& image, int x) {
    for (int dx = -1; dx <= 1; ++dx)
        for (int y = 0; y < image.height(); ++y) {
            const QRgb p = image.pixel(x + dx, y);
            if (qBlue(p) - qRed(p) > 50 && qGreen(p) - qRed(p) > 30)
                return true;
        }
    return false;
}

const recording::SixValues kHeading{"°C", "Date Time", "T1 - K", "T2 - J", "T3 - T", "T4 - E"};

QByteArray fileText(const QList<QByteArray>& records) {
    QByteArray text = "\xB0"
                      "C\tDate Time\tT1 - K\tT2 - J\tT3 - T\tT4 - E\t\r\n";
    for (const QByteArray& record : records)
        text += record + "\r\n";
    return text;
}

} // namespace

class TestGraphWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void chartClickPlotsTheHistoryOnTheTypeScale_data() {
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<float>("third");
        QTest::newRow("°C panel") << false << "°C"
                                  << "Celsius" << -200.0 << 1370.0 << 22.5f;
        QTest::newRow("°F panel") << true << "°F"
                                  << "Fahrenheit" << -328.0 << 2498.0 << 72.5f;
    }
    void chartClickPlotsTheHistoryOnTheTypeScale() {
        QFETCH(bool, fahrenheit);
        QFETCH(QString, unit);
        QFETCH(QString, caption);
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(float, third);
        Rig rig;
        rig.main.show();
        rig.fill(0, {21.0f, 22.0f, 22.5f, 23.0f, 24.0f}, {69.8f, 71.6f, 72.5f, 73.4f, 75.2f});
        rig.openChannel(0, fahrenheit);
        graphs::PlotWindow& plot = rig.plot();
        QVERIFY(plot.isVisible());
        QCOMPARE(plot.windowTitle(), QStringLiteral("Plot"));
        QCOMPARE(plot.frameGeometry().topLeft(), rig.main.frameGeometry().topLeft());
        QCOMPARE(plot.PlotCount, 5);
        QCOMPARE(plot.PlotTag, QStringLiteral("1") + unit);
        QCOMPARE(plot.PlotYMin, min);
        QCOMPARE(plot.PlotYMax, max);
        QCOMPARE(plot.GraphCaption->text(), QStringLiteral("T1"));
        QCOMPARE(plot.CWGraph1->xAxis->label(), QStringLiteral("X-Axis"));
        QCOMPARE(plot.CWGraph1->yAxis->label(), caption);
        QCOMPARE(plot.LblRangeUnit->text(), unit);
        QCOMPARE(plot.LblCursorY->text(), unit + QStringLiteral(" ( Y ) :"));
        QCOMPARE(plot.AxisMin(1)->value(), 1.0);
        QCOMPARE(plot.AxisMax(1)->value(), 5.0);
        QCOMPARE(plot.AxisMin(2)->value(), min);
        QCOMPARE(plot.AxisMax(2)->value(), max);
        QVERIFY(sameRange(plot.CWGraph1->xAxis->range(), QCPRange(1, 5)));
        QVERIFY(sameRange(plot.CWGraph1->yAxis->range(), QCPRange(min, max)));
        // Sample 3 at X = 3.
        const auto data = plot.CWGraph1->graph(0)->data();
        QCOMPARE(data->size(), 5);
        QCOMPARE((data->constBegin() + 2)->key, 3.0);
        QCOMPARE((data->constBegin() + 2)->value, double(third));
        QCOMPARE(plot.sample(3), third);
    }

    void noChartGraphWithoutAProbe() {
        Rig rig;
        rig.fill(2, {1, 2, 3}, {1, 2, 3});
        rig.openChannel(2, false);
        QVERIFY(!rig.graphs.plotWindow());
        QVERIFY(rig.dialogs.callsOf(Kind::Message).isEmpty());
    }

    void emptyHistoryOpensNothingAndSaysSo() {
        Rig rig;
        rig.dialogs.answerMessage(QMessageBox::Ok);
        rig.openChannel(0, false);
        QVERIFY(!rig.graphs.plotWindow());
        const auto calls = rig.dialogs.callsOf(Kind::Message);
        QCOMPARE(calls.size(), 1);
        QVERIFY(calls[0].text.startsWith(QStringLiteral("No data to plot yet")));
        QCOMPARE(calls[0].icon, widgets::UserDialogs::Icon::Information);
    }

    void letterOutsideTheTableKeepsTheScaleOfTheGraphBefore() {
        Rig rig;
        rig.fill(3, {10, 11, 12}, {50, 51.8f, 53.6f});
        rig.fill(0, {10, 11, 12}, {50, 51.8f, 53.6f});
        // T4 has no type letter: at the first load the scale is 0 and 0, and
        // the axis spans the samples themselves.
        rig.openChannel(3, false);
        QCOMPARE(rig.plot().PlotYMin, 0.0);
        QCOMPARE(rig.plot().PlotYMax, 0.0);
        const QCPRange y = rig.plot().CWGraph1->yAxis->range();
        QVERIFY(y.lower < 10 && y.upper > 12);
        rig.openChannel(0, true); // K in °F
        rig.openChannel(3, true);
        QCOMPARE(rig.plot().PlotYMin, -328.0);
        QCOMPARE(rig.plot().PlotYMax, 2498.0);
        QCOMPARE(rig.plot().PlotTag, QStringLiteral("4°F"));
    }

    void laterCyclesLeaveAnOpenGraphAloneAndTheTimersRunOn() {
        Rig rig;
        rig.fill(0, {1, 2, 3}, {1, 2, 3});
        rig.session.Timer1.start();
        rig.session.Timer2.stop(); // held back after a channel change
        rig.openChannel(0, false);
        QVERIFY(rig.session.Timer1.isActive());
        QVERIFY(!rig.session.Timer2.isActive());
        rig.state.history.store(0, 4, 99, 99);
        rig.state.recording.HistoryCount = 4;
        QCOMPARE(rig.plot().PlotCount, 3);
        QCOMPARE(rig.plot().CWGraph1->graph(0)->data()->size(), 3);
        graphs::PlotWindow* first = rig.graphs.plotWindow();
        rig.openChannel(0, false); // a new click reloads the same window
        QCOMPARE(rig.graphs.plotWindow(), first);
        QCOMPARE(rig.plot().PlotCount, 4);
        rig.session.Timer1.stop();
    }

    void trackModeListStartsAtNormalAndRefusesOtherIndexes() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph({1, 2, 3});
        QCOMPARE(plot.Combo1->count(), 8);
        QCOMPARE(plot.Combo1->currentIndex(), 0);
        QCOMPARE(plot.txtDescription->toPlainText(), QStringLiteral("Normal mode"));
        QCOMPARE(plot.TrackMode(), 1);
        plot.Combo1_Click(3);
        rig.dialogs.answerMessage(QMessageBox::Ok);
        rig.dialogs.answerMessage(QMessageBox::Ok);
        plot.Combo1_Click(8);
        plot.Combo1_Click(-1);
        QCOMPARE(plot.TrackMode(), 4);
        const auto calls = rig.dialogs.callsOf(Kind::Message);
        QCOMPARE(calls.size(), 2);
        for (const auto& call : calls)
            QCOMPARE(call.text, QStringLiteral("Select a valid TrackMode."));
    }

    // Each entry of the list, its description, and what a drag and the
    // wheel then do: a pan moves the view keeping its span, a zoom mode's
    // drag draws a rectangle that narrows it.
    void eachTrackModeSaysWhatItDoesAndMovesOnlyItsAxes_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("xMoves");
        QTest::addColumn<bool>("yMoves");
        QTest::addColumn<bool>("zooms");
        int index = 0;
        const auto row = [&index](const char* entry, const char* description, bool xMoves,
                                  bool yMoves, bool zooms) {
            QTest::newRow(entry) << index++ << QString::fromLatin1(entry)
                                 << QString::fromLatin1(description) << xMoves << yMoves << zooms;
        };
        row("Normal", "Normal mode", false, false, false);
        row("Cursor Coordinates",
            "Drag the cursor with your mouse to get X (Count) and Y (Temperature) position.", false,
            false, false);
        row("PanXY",
            "Click anywhere on the plot area and drag to pan the graph both horizontally and "
            "vertically.",
            true, true, false);
        row("PanX", "Click anywhere on the plot area and drag to pan the graph horizontally.", true,
            false, false);
        row("PanY", "Click anywhere on the plot area and drag to pan the graph vertically.", false,
            true, false);
        row("ZoomXY", "Select a region on the graph to zoom both horizontally and vertically.",
            true, true, true);
        row("ZoomX", "Select a region on the graph to zoom horizontally.", true, false, true);
        row("ZoomY", "Select a region on the graph to zoom vertically.", false, true, true);
    }
    void eachTrackModeSaysWhatItDoesAndMovesOnlyItsAxes() {
        QFETCH(int, index);
        QFETCH(QString, entry);
        QFETCH(QString, description);
        QFETCH(bool, xMoves);
        QFETCH(bool, yMoves);
        QFETCH(bool, zooms);
        Rig rig;
        graphs::PlotWindow& plot = rig.graph(series(1000, [](int i) { return 20 + i % 7; }), true);
        plot.Combo1_Click(1); // from the cursor mode: the others hide its cursor
        plot.Combo1_Click(index);
        QCOMPARE(plot.Combo1->itemText(index), entry);
        QCOMPARE(plot.Combo1->currentIndex(), index);
        QCOMPARE(plot.txtDescription->toPlainText(), description);
        QCOMPARE(plot.TrackMode(), index + 1);
        QCOMPARE(plot.cursorVisible(1), index == 1);
        QVERIFY(!plot.cursorVisible(2));
        QCustomPlot* graph = plot.CWGraph1;
        for (const bool byWheel : {false, true}) {
            plot.CmdReset_Click();
            graph->replot(QCustomPlot::rpImmediateRefresh);
            const QCPRange x = graph->xAxis->range(), y = graph->yAxis->range();
            const QPoint from = centreOf(graph) - QPoint(60, 40);
            if (byWheel)
                wheel(graph, centreOf(graph));
            else
                drag(graph, from, from + QPoint(120, 80));
            const char* how = byWheel ? "wheel" : "drag";
            QVERIFY2(sameRange(graph->xAxis->range(), x) != xMoves, how);
            QVERIFY2(sameRange(graph->yAxis->range(), y) != yMoves, how);
            if (!byWheel) {
                QCOMPARE(graph->xAxis->range().size() < x.size() * 0.99, zooms && xMoves);
                QCOMPARE(graph->yAxis->range().size() < y.size() * 0.99, zooms && yMoves);
            }
        }
    }

    void boxesFollowTheAxesAndTheAxesTheBoxes() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph(QList<float>(500, 25.0f));
        plot.CWGraph1->xAxis->setRange(100, 200);
        plot.CWGraph1->yAxis->setRange(20.5, 30);
        QCOMPARE(plot.AxisMin(1)->value(), 100.0);
        QCOMPARE(plot.AxisMax(1)->value(), 200.0);
        QCOMPARE(plot.AxisMin(2)->value(), 20.5);
        QCOMPARE(plot.AxisMax(2)->value(), 30.0);
        plot.AxisMax(1)->setValue(300);
        QVERIFY(sameRange(plot.CWGraph1->xAxis->range(), QCPRange(100, 300)));
        QVERIFY(sameRange(plot.CWGraph1->yAxis->range(), QCPRange(20.5, 30)));
        // The samples in view follow the axis: 201 samples of 25.0.
        QCOMPARE(plot.inView().count, 201);
        QCOMPARE(plot.LblInView->text(), QStringLiteral("In view: 201 samples,  min 25.0,  max "
                                                        "25.0,  mean 25.00 °C"));
        // Found by use: a minimum equal to the maximum stayed in its box while
        // the axis, which cannot show no span, kept its range.
        plot.AxisMin(1)->setValue(300);
        QVERIFY(sameRange(plot.CWGraph1->xAxis->range(), QCPRange(100, 300)));
        QCOMPARE(plot.AxisMin(1)->value(), 100.0);
        QCOMPARE(plot.inView().count, 201);
    }

    // Found in testing: the boxes stopped at ±1e9 while the axis went far
    // beyond. They show what the axis shows, large figures in scientific
    // notation, and take such figures typed in.
    void boxesShowAndTakeRangesFarBeyondAnyScale() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph(QList<float>(500, 25.0f));
        plot.CWGraph1->yAxis->setRange(-1e12, 1e12);
        QCOMPARE(plot.AxisMin(2)->value(), -1e12);
        QCOMPARE(plot.AxisMax(2)->value(), 1e12);
        QCOMPARE(plot.AxisMin(2)->spinBox()->text(), QStringLiteral("-1e+12"));
        QCOMPARE(plot.AxisMax(2)->spinBox()->text(), QStringLiteral("1e+12"));

        QDoubleSpinBox* box = plot.AxisMax(1)->spinBox();
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("3.5e12"));
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(sameRange(plot.CWGraph1->xAxis->range(), QCPRange(1, 3.5e12)));
        QCOMPARE(box->text(), QStringLiteral("3.5e+12"));
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("-2e200"));
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(plot.CWGraph1->xAxis->rangeReversed());
        QCOMPARE(plot.CWGraph1->xAxis->range().lower, -2e200);

        // The box shows seven digits of what the axis holds; Enter on it
        // untouched leaves the axis where it is.
        plot.CWGraph1->xAxis->setRangeReversed(false);
        plot.CWGraph1->xAxis->setRange(1, 1234567890123.4);
        QCOMPARE(box->text(), QStringLiteral("1.234568e+12"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(plot.CWGraph1->xAxis->range().upper, 1234567890123.4);
        // Figures within a scale read as before.
        plot.CWGraph1->yAxis->setRange(-12.5, 999999999);
        QCOMPARE(plot.AxisMin(2)->spinBox()->text(), QStringLiteral("-12.5"));
        QCOMPARE(plot.AxisMax(2)->spinBox()->text(), QStringLiteral("999999999.0"));
    }

    void minimumAboveMaximumReachesTheGraphInverted() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph({1, 2, 3}, true);
        plot.AxisMin(2)->setValue(1500); // above the maximum of 1370
        QCPAxis* y = plot.CWGraph1->yAxis;
        QVERIFY(sameRange(y->range(), QCPRange(1370, 1500)));
        QVERIFY(y->rangeReversed());
        plot.CWGraph1->replot(QCustomPlot::rpImmediateRefresh);
        // 1500, the minimum, sits at the bottom.
        QVERIFY(y->coordToPixel(1500) > y->coordToPixel(1370));
        QCOMPARE(plot.AxisMin(2)->value(), 1500.0);
        QCOMPARE(plot.AxisMax(2)->value(), 1370.0);
        plot.AxisMin(2)->setValue(-100);
        QVERIFY(!y->rangeReversed());
        QVERIFY(sameRange(y->range(), QCPRange(-100, 1370)));
    }

    void resetScaleAfterAPanBringsBackTheWholeSeries() {
        Rig rig; // channel 2 has type T: -200 to 400 °C
        graphs::PlotWindow& plot = rig.graph(series(300, [](int i) { return i / 10.0; }), true, 1);
        plot.Combo1_Click(2); // PanXY
        drag(plot.CWGraph1, centreOf(plot.CWGraph1), centreOf(plot.CWGraph1) + QPoint(-150, 90));
        QVERIFY(!sameRange(plot.CWGraph1->xAxis->range(), QCPRange(1, 300)));
        QVERIFY(plot.AxisMin(1)->value() > 1);
        plot.CmdReset->click();
        QVERIFY(sameRange(plot.CWGraph1->xAxis->range(), QCPRange(1, 300)));
        QVERIFY(sameRange(plot.CWGraph1->yAxis->range(), QCPRange(-200, 400)));
        QCOMPARE(plot.AxisMin(1)->value(), 1.0);
        QCOMPARE(plot.AxisMax(1)->value(), 300.0);
        QCOMPARE(plot.AxisMin(2)->value(), -200.0);
        QCOMPARE(plot.AxisMax(2)->value(), 400.0);
    }

    void cursorAfterAZoomStartsInTheMiddleOfTheZoomedView() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph(series(864, [](int i) { return i % 50; }), true);
        plot.Combo1_Click(5); // ZoomXY
        const QPoint from = centreOf(plot.CWGraph1) + QPoint(-100, -30);
        drag(plot.CWGraph1, from, from + QPoint(70, 50));
        const QCPRange x = plot.CWGraph1->xAxis->range(), y = plot.CWGraph1->yAxis->range();
        QVERIFY(x.size() < 400 && y.size() < 1000);
        plot.Combo1_Click(1); // Cursor Coordinates
        QVERIFY(plot.cursorVisible(1));
        QVERIFY(!plot.cursorVisible(2));
        QCOMPARE(plot.cursorPosition(1), QPointF(x.center(), y.center()));
        QVERIFY(std::abs(plot.XPosition->text().toDouble() - x.center()) <= 0.005);
        QVERIFY(QRegularExpression(QStringLiteral("^-?\\d+\\.\\d$"))
                    .match(plot.YPosition->text())
                    .hasMatch());
        QVERIFY(std::abs(plot.YPosition->text().toDouble() - y.center()) <= 0.05);
        // The cursor follows a drag; the view stays still.
        const QPoint to = centreOf(plot.CWGraph1) + QPoint(40, 20);
        drag(plot.CWGraph1, centreOf(plot.CWGraph1), to);
        QVERIFY(sameRange(plot.CWGraph1->xAxis->range(), x));
        QVERIFY(std::abs(plot.cursorPosition(1).x() - plot.CWGraph1->xAxis->pixelToCoord(to.x())) <
                1e-9);
        QCOMPARE(plot.XPosition->text(),
                 graphs::cursorXText(plot.CWGraph1->xAxis->pixelToCoord(to.x())));
    }

    void secondCursorMeasuresTheDifference() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph({10, 20, 30, 40, 50}, true);
        QVERIFY(!plot.ChkCursor2->isEnabled());
        plot.Combo1_Click(1);
        QVERIFY(plot.ChkCursor2->isEnabled());
        plot.ChkCursor2->click();
        QVERIFY(plot.cursorVisible(2));
        plot.moveCursor(1, {2, 20});
        plot.moveCursor(2, {4.5, 47.5});
        QVERIFY(plot.LblDelta->isVisibleTo(&plot));
        QCOMPARE(plot.LblDelta->text(), QStringLiteral("Cursor 2 - cursor 1:  No.s 2.5,  27.5 °C"));
        QCOMPARE(plot.LblInView->text(),
                 QStringLiteral("In view: 5 samples,  min 10.0,  max 50.0,  mean 30.00 °C"));
        // A press nearer the second cursor moves the second cursor.
        QCPAxis* x = plot.CWGraph1->xAxis;
        QCPAxis* y = plot.CWGraph1->yAxis;
        const QPoint nearSecond(int(x->coordToPixel(4.4)), int(y->coordToPixel(45)));
        drag(plot.CWGraph1, nearSecond, nearSecond + QPoint(-30, 0));
        QCOMPARE(plot.cursorPosition(1), QPointF(2, 20));
        QVERIFY(plot.cursorPosition(2).x() < 4.4);
        // Choosing a mode again hides it.
        plot.Combo1_Click(1);
        QVERIFY(!plot.cursorVisible(2));
        QVERIFY(!plot.ChkCursor2->isChecked());
        QVERIFY(!plot.LblDelta->isVisibleTo(&plot));
    }

    void reloadInCursorModeBringsTheCursorIntoTheNewView() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph({10, 20, 30});
        plot.Combo1_Click(1);
        plot.ChkCursor2_Click(true);
        plot.moveCursor(1, {2.5, 900});
        rig.graph(QList<float>(101, 20.0f)); // reloaded with a new series
        QCOMPARE(plot.TrackMode(), 2);
        QCOMPARE(plot.cursorPosition(1), QPointF(51, (-200 + 1370) / 2.0));
        QVERIFY(!plot.cursorVisible(2));
        QCOMPARE(plot.XPosition->text(), QStringLiteral("51"));
    }

    // #20: the graph opens on the type's whole range, where room temperature
    // is a flat line; "Fit", beside "Reset Scale", brings both axes to the
    // samples, a spike included, with a little room above and below.
    void fitBringsBothAxesToTheSamplesASpikeIncluded() {
        Rig rig;
        QList<float> values(100, 21.0f);
        values[40] = 180.0f;
        graphs::PlotWindow& plot = rig.graph(values, true);
        QVERIFY(sameRange(plot.CWGraph1->yAxis->range(), QCPRange(-200, 1370)));
        QCOMPARE(plot.CmdFit->text(), QStringLiteral("Fit"));
        QCOMPARE(plot.CmdFit->geometry().center().y(), plot.CmdReset->geometry().center().y());
        QVERIFY(plot.CmdFit->x() > plot.CmdReset->geometry().right());
        plot.Combo1_Click(2); // PanXY, away from it all
        drag(plot.CWGraph1, centreOf(plot.CWGraph1), centreOf(plot.CWGraph1) + QPoint(-150, 90));
        plot.CmdFit->click();
        // 21 to 180: 5 % of 159 more each side.
        QVERIFY(sameRange(plot.CWGraph1->xAxis->range(), QCPRange(1, 100)));
        QVERIFY(sameRange(plot.CWGraph1->yAxis->range(), QCPRange(21 - 7.95, 180 + 7.95)));
        QCOMPARE(plot.AxisMin(1)->value(), 1.0);
        QCOMPARE(plot.AxisMax(1)->value(), 100.0);
        QVERIFY(std::abs(plot.AxisMax(2)->value() - 187.95) <= 0.05);
        QCOMPARE(plot.inView().count, 100);
        // Drawn: the spike's top stays inside the plotting area.
        plot.CWGraph1->replot(QCustomPlot::rpImmediateRefresh);
        const double top = plot.CWGraph1->yAxis->coordToPixel(180);
        QVERIFY(top > plot.CWGraph1->axisRect()->top() + 5);
        plot.CmdReset->click();
        QVERIFY(sameRange(plot.CWGraph1->yAxis->range(), QCPRange(-200, 1370)));
    }

    // #20: sample numbers are whole: "1", not "1.0".
    void sampleNumberBoxesShowWholeNumbers() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph({1, 2, 3, 4, 5});
        QCOMPARE(plot.AxisMin(1)->spinBox()->text(), QStringLiteral("1"));
        QCOMPARE(plot.AxisMax(1)->spinBox()->text(), QStringLiteral("5"));
        QCOMPARE(plot.AxisMin(2)->spinBox()->text(), QStringLiteral("-200.0"));
        QCOMPARE(plot.AxisMax(2)->spinBox()->text(), QStringLiteral("1370.0"));
        plot.CWGraph1->xAxis->setRange(12.4, 40.6);
        QCOMPARE(plot.AxisMin(1)->spinBox()->text(), QStringLiteral("12"));
        QCOMPARE(plot.AxisMax(1)->spinBox()->text(), QStringLiteral("41"));
        QDoubleSpinBox* box = plot.AxisMax(1)->spinBox();
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("30"));
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(sameRange(plot.CWGraph1->xAxis->range(), QCPRange(12, 30)));
    }

    // #20: the read-out reads the cursor shown, and nothing when none is.
    void cursorReadoutClearsOutsideCursorModeAndOnAReload() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph({10, 20, 30}, true);
        plot.Combo1_Click(1);
        plot.moveCursor(1, {2, 25});
        QCOMPARE(plot.XPosition->text(), QStringLiteral("2"));
        QCOMPARE(plot.YPosition->text(), QStringLiteral("25.0"));
        plot.Combo1_Click(3); // PanX
        QCOMPARE(plot.XPosition->text(), QString());
        QCOMPARE(plot.YPosition->text(), QString());
        plot.Combo1_Click(1);
        QCOMPARE(plot.XPosition->text(), QStringLiteral("2")); // the middle of 1 to 3
        plot.Combo1_Click(0);                                  // Normal
        QCOMPARE(plot.XPosition->text(), QString());
        rig.graph({40, 50, 60, 70, 80});
        QCOMPARE(plot.XPosition->text(), QString());
        QCOMPARE(plot.YPosition->text(), QString());
    }

    // #20: ZoomX drags a band of the plot's whole height, ZoomY one of its
    // whole width: the view each will show.
    void zoomSelectionsAreDrawnAsTheBandsTheyZoomTo() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph(series(500, [](int i) { return 20 + i % 9; }), true);
        QCustomPlot* graph = plot.CWGraph1;
        const QRect area = graph->axisRect()->rect();
        const QPoint from = centreOf(graph) - QPoint(40, 30);
        const QPoint to = from + QPoint(80, 60);
        for (const bool zoomX : {true, false}) {
            plot.Combo1_Click(zoomX ? 6 : 7);
            send(graph, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
            send(graph, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
            const QRect band = plot.trackControl().zoomBandShown();
            const QRect expected =
                zoomX ? QRect(QPoint(from.x(), area.top()), QPoint(to.x(), area.bottom()))
                      : QRect(QPoint(area.left(), from.y()), QPoint(area.right(), to.y()));
            QCOMPARE(band, expected);
            // Drawn: inside the band but outside the dragged rectangle, the
            // wash differs from the plot beside the band.
            const QImage image = graph->grab().toImage();
            const QPoint inside = zoomX ? QPoint(from.x() + 40, area.top() + 4)
                                        : QPoint(area.left() + 4, from.y() + 30);
            const QPoint beside = zoomX ? QPoint(from.x() - 30, area.top() + 4)
                                        : QPoint(area.left() + 4, from.y() - 20);
            QVERIFY(image.pixel(inside) != image.pixel(beside));
            send(graph, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
            QVERIFY(plot.trackControl().zoomBandShown().isNull());
        }
    }

    void printedGraphIsBlackOnWhiteWithItsCaptions() {
        Rig rig;
        graphs::PlotWindow& plot =
            rig.graph(series(600, [](int i) { return std::sin(i / 40.0) * 30 + 100; }), true);
        const QString pdf = m_dir.filePath(QStringLiteral("graph.pdf"));
        const QColor screenArea = plot.CWGraph1->axisRect()->backgroundBrush().color();
        bool plainWhileAsking = false;
        rig.dialogs.whileOpen = [&](Kind kind) {
            if (kind == Kind::Print)
                plainWhileAsking =
                    !plot.printing() && plot.FrmGraphic->title() == QStringLiteral("Graphic Plot");
        };
        rig.dialogs.answerPrint(true, [pdf](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        });
        plot.CmdPrint->click();
        QVERIFY(plainWhileAsking);

        const QString text = pdfText(pdf);
        for (const char* caption :
             {"Graph Range", "Min", "Max", "No.s", "Track Mode", "Normal mode",
              "Cursor Information", "No.s ( X ) :", "°C ( Y ) :", "Reset Scale", "Print Graph",
              "T1", "Celsius", "X-Axis"})
            QVERIFY2(text.contains(QString::fromUtf8(caption)), caption);
        QVERIFY(!text.contains(QStringLiteral("Graphic Plot")));
        const QImage page = pdfPage(pdf, m_dir.filePath(QStringLiteral("graph")));
        QVERIFY(!page.isNull());
        qsizetype white = 0, themed = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QRgb pixel = page.pixel(x, y);
                white += near(pixel, Qt::white, 8);
                themed += near(pixel, QColor(0x23, 0x28, 0x2e), 4) ||
                          near(pixel, QColor(0x15, 0x18, 0x1c), 4);
            }
        QVERIFY2(white > qsizetype(page.width()) * page.height() * 8 / 10,
                 qPrintable(QString::number(white)));
        QCOMPARE(themed, 0);

        // Everything as it was.
        QCOMPARE(plot.FrmGraphic->title(), QStringLiteral("Graphic Plot"));
        QCOMPARE(plot.styleSheet(), QString());
        QCOMPARE(plot.CWGraph1->axisRect()->backgroundBrush().color(), screenArea);
        QVERIFY(!plot.printing());
        QVERIFY(rig.dialogs.unexpectedCalls().isEmpty());
    }

    void cancelledOrFailedPrintEndsSilentlyWithEverythingRestored() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph({1, 2, 3});
        const QColor screenArea = plot.CWGraph1->axisRect()->backgroundBrush().color();
        rig.dialogs.answerPrint(false);
        plot.CmdPrint_Click();
        const QString unwritable = m_dir.filePath(QStringLiteral("no/such/folder/graph.pdf"));
        rig.dialogs.answerPrint(true, [unwritable](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(unwritable);
        });
        plot.CmdPrint_Click();
        QVERIFY(!QFile::exists(unwritable));
        QVERIFY(rig.dialogs.callsOf(Kind::Message).isEmpty());
        QCOMPARE(plot.FrmGraphic->title(), QStringLiteral("Graphic Plot"));
        QCOMPARE(plot.CWGraph1->axisRect()->backgroundBrush().color(), screenArea);
    }

    void graphSavesAsPngOrPdfAndRefusesAPipe() {
        Rig rig;
        graphs::PlotWindow& plot = rig.graph({1, 2, 3}, true);
        const QString png = m_dir.filePath(QStringLiteral("graph.png"));
        const QString pdf = m_dir.filePath(QStringLiteral("graph-saved.pdf"));
        const QString fifo = m_dir.filePath(QStringLiteral("fifo.png"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        rig.dialogs.answerSave(png);
        rig.dialogs.answerSave(pdf);
        rig.dialogs.answerSave(fifo);
        rig.dialogs.answerMessage(QMessageBox::Ok);
        for (int i = 0; i < 3; ++i)
            plot.CmdSave->click();
        const QImage image(png);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size() / 2, plot.CWGraph1->size()); // at least twice the pixels
        QFile saved(pdf);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.read(5) == "%PDF-");
        QVERIFY(pdfText(pdf).contains(QStringLiteral("Celsius")));
        const auto calls = rig.dialogs.callsOf(Kind::Message);
        QCOMPARE(calls.size(), 1);
        QVERIFY(calls[0].text.contains(QStringLiteral("not a regular file")));
        QVERIFY(rig.dialogs.callsOf(Kind::Save)[0].filter.startsWith(QStringLiteral("PNG")));
    }

    void fileColumnPlotsItsLeadingNumbers() {
        Rig rig;
        rig.view.windows.ViewUnit = QStringLiteral("°C");
        recording::FileListWindow files(rig.view.windows, rig.state.live.TypeLetter, rig.dialogs,
                                        {});
        rig.graphs.attach(files);
        files.setHeading(kHeading);
        files.appendRows(
            {"1\t2026/03/04 09:05:07\t23.4\t1\t2\t3", "2\t2026/03/04 09:05:08\tOver\t1\t2\t3",
             "3\t2026/03/04 09:05:09\t- - -\t1\t2\t3", "4\t2026/03/04 09:05:10\t-12.5x\t1\t2\t3"});
        files.GridN_Click(1, 2);
        graphs::PlotWindow& plot = rig.plot();
        QCOMPARE(plot.PlotTag, QStringLiteral("1°C"));
        QCOMPARE(plot.PlotCount, 4);
        QCOMPARE(plot.PlotYMin, -200.0);
        QCOMPARE(plot.PlotYMax, 1370.0);
        for (auto [n, value] :
             {std::pair{1, 23.4f}, std::pair{2, 0.0f}, std::pair{3, 0.0f}, std::pair{4, -12.5f}})
            QCOMPARE(plot.sample(n), value);
        QCOMPARE(plot.CWGraph1->yAxis->label(), QStringLiteral("Celsius"));
        // The file list and the channel graphs share the last scale.
        rig.fill(1, {1, 2}, {1, 2});
        rig.openChannel(1, true); // T in °F
        QCOMPARE(files.PlotYMin, -328.0);
        QCOMPARE(files.PlotYMax, 752.0);
    }

    void wholeFilePlotDrawsGapsWhereTheCellsAreNoReadings() {
        // Issue 13: "Over", "Under" and "- - -" are gaps in the line, not zeros.
        Rig rig;
        recording::FileListWindow files(rig.view.windows, rig.state.live.TypeLetter, rig.dialogs,
                                        {});
        rig.graphs.attach(files);
        QList<QByteArray> records;
        for (int i = 0; i < 10; ++i) {
            const QByteArray t1 = i == 4 ? "Over" : i == 5 ? "Under" : "50.0";
            records.append(QByteArray::number(i + 1) + "\t2026/03/04 09:05:" +
                           QByteArray::number(10 + i) + "\t" + t1 + "\t- - -\t- - -\t- - -\t");
        }
        files.showLines(std::make_shared<recording::DataFileLines>(fileText(records)));
        files.setWindowTitle(QStringLiteral("run.4ch"));
        files.Toolbar1_ButtonClick(QStringLiteral("Plot"));
        graphs::FilePlotWindow* window = rig.graphs.filePlotWindow();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Whole File - run.4ch"));
        QCOMPARE(window->Graph->legend->itemCount(), 4);
        QCOMPARE(window->channelGraph(0)->name(), QStringLiteral("T1 - K"));
        QCOMPARE(window->channelGraph(1)->name(), QStringLiteral("T2 - J (no readings)"));
        QCOMPARE(window->Graph->yAxis->label(), QStringLiteral("Celsius"));
        const auto data = window->channelGraph(0)->data();
        QCOMPARE(data->size(), 10);
        QVERIFY(std::isnan((data->constBegin() + 4)->value));
        QVERIFY(std::isnan((data->constBegin() + 5)->value));
        QCOMPARE((data->constBegin() + 6)->value, 50.0);
        // Drawn: a zero would be a line along 0 under the gap.
        layOut(*window, *window->Graph);
        QCustomPlot* graph = window->Graph;
        graph->legend->setVisible(false); // its T1 entry is drawn in the trace colour
        const double t0 = data->constBegin()->key;
        graph->xAxis->setRange(t0 - 0.5, t0 + 9.5);
        graph->yAxis->setRange(-10, 60);
        graph->replot(QCustomPlot::rpImmediateRefresh);
        const QImage image = graph->grab().toImage();
        QCOMPARE(graphs::traceColor(0, graphs::GraphLook::Screen), QColor(0x38, 0xbd, 0xf8));
        const auto column = [&](double t) {
            return int(std::lround(graph->xAxis->coordToPixel(t)));
        };
        QVERIFY(columnHasCyan(image, column(t0 + 1.5)));
        QVERIFY(columnHasCyan(image, column(t0 + 7.5)));
        QVERIFY(!columnHasCyan(image, column(t0 + 4.5)));
        QVERIFY(!columnHasCyan(image, column(t0 + 3.5)));
        // The cursor reads the record under it.
        window->Combo1_Click(1);
        window->moveCursor(t0 + 4.2);
        QCOMPARE(window->LblCursor->text(),
                 QStringLiteral("2026/03/04 09:05:14\nT1:  -\nT2:  -\nT3:  -\nT4:  -"));
        window->moveCursor(t0 + 0.9);
        QVERIFY(window->LblCursor->text().startsWith(
            QStringLiteral("2026/03/04 09:05:11\nT1:  50.0 °C")));
    }

    void histogramOfTheChosenColumn() {
        Rig rig;
        recording::FileListWindow files(rig.view.windows, rig.state.live.TypeLetter, rig.dialogs,
                                        {});
        rig.graphs.attach(files);
        files.setHeading({"°F", "Date Time", "T1 - K", "T2 - J", "T3 - T", "T4 - E"});
        QList<QByteArray> rows;
        int n = 0;
        for (const char* cell :
             {"20.0", "20.1", "Over", "20.1", "20.3", "21.0", "- - -", "19.8", "20.5", "Under"})
            rows.append(QByteArray::number(++n) + "\t2026/03/04 09:05:07\t1\t" + cell + "\t2\t3");
        files.appendRows(rows);
        // #20: no channel column clicked yet: the four are offered, rather
        // than a message sending the user through a click, which opened a
        // plot on top. Closing the chooser shows nothing.
        rig.dialogs.answerChoice(std::nullopt);
        files.Toolbar1_ButtonClick(QStringLiteral("Ln"));
        QVERIFY(!rig.graphs.histogramWindow());
        const auto offered = rig.dialogs.callsOf(Kind::Choice);
        QCOMPARE(offered.size(), 1);
        QCOMPARE(offered[0].title, QStringLiteral("Histogram"));
        QCOMPARE(offered[0].text, QStringLiteral("T1 - K|T2 - J|T3 - T|T4 - E"));
        rig.dialogs.answerChoice(1);
        files.Toolbar1_ButtonClick(QStringLiteral("Ln"));
        QPointer<graphs::HistogramWindow> chosen = rig.graphs.histogramWindow();
        QVERIFY(chosen);
        QCOMPARE(chosen->windowTitle(), QStringLiteral("Histogram - T2 - J"));
        QCOMPARE(chosen->LblReadings->text(), QStringLiteral("7"));
        QVERIFY(rig.dialogs.callsOf(Kind::Message).isEmpty());
        QVERIFY(!rig.graphs.plotWindow());
        chosen->close();
        QTRY_VERIFY(!chosen);
        // A clicked column needs no chooser.
        files.GridN->setCol(3);
        files.Toolbar1_ButtonClick(QStringLiteral("Ln"));
        QCOMPARE(rig.dialogs.callsOf(Kind::Choice).size(), 2);
        graphs::HistogramWindow* window = rig.graphs.histogramWindow();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Histogram - T2 - J"));
        QCOMPARE(window->LblReadings->text(), QStringLiteral("7"));
        QCOMPARE(window->LblNotReadings->text(), QStringLiteral("3"));
        QCOMPARE(window->LblMinimum->text(), QStringLiteral("19.8 °F"));
        QCOMPARE(window->LblMaximum->text(), QStringLiteral("21.0 °F"));
        QCOMPARE(window->LblMean->text(), QStringLiteral("20.26 °F"));
        QCOMPARE(window->LblDeviation->text(), QStringLiteral("0.40 °F"));
        QCOMPARE(window->Graph->xAxis->label(), QStringLiteral("°F"));
        QCOMPARE(window->Bars->data()->size(), 4);
        QCOMPARE((window->Bars->data()->constBegin() + 1)->value, 4.0);

        // Found by use: figures of many digits clipped "Standard deviation".
        window->load(QStringLiteral("T2 - J"), QStringLiteral("°F"),
                     graphs::histogramOf({-1234567891234567.1, 9876543212345678.2, 5.5}, 0));
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::qWait(20);
        for (const QLabel* label : window->findChildren<QLabel*>())
            QVERIFY2(label->width() >= label->minimumSizeHint().width(), qPrintable(label->text()));
        // Found in testing: 1e26 read "100000000000000004764729344.0".
        window->load(QStringLiteral("T2 - J"), QStringLiteral("°F"),
                     graphs::histogramOf({1e26, -0.004, -0.004}, 0));
        QCOMPARE(window->LblMaximum->text(), QStringLiteral("1.00e+26 °F"));
        QCOMPARE(window->LblMinimum->text(), QStringLiteral("-4.00e-03 °F"));
        QCOMPARE(window->LblMean->text(), QStringLiteral("3.33e+25 °F"));
        QCOMPARE(window->LblDeviation->text(), QStringLiteral("5.77e+25 °F"));
    }

    void histogramOfAFileWithoutRecordsOffersNoColumn() {
        Rig rig;
        recording::FileListWindow files(rig.view.windows, rig.state.live.TypeLetter, rig.dialogs,
                                        {});
        rig.graphs.attach(files);
        files.setHeading(kHeading);
        rig.dialogs.answerMessage(QMessageBox::Ok);
        files.Toolbar1_ButtonClick(QStringLiteral("Ln"));
        const auto calls = rig.dialogs.callsOf(Kind::Message);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].text, QStringLiteral("Click a channel column (T1 to T4) first: "
                                               "\"Histogram\" shows the distribution of its "
                                               "readings."));
        QVERIFY(rig.dialogs.callsOf(Kind::Choice).isEmpty());
        QVERIFY(!rig.graphs.histogramWindow());
    }

    // #20: a count axis counts whole readings: no "2.5" between 2 and 3.
    void histogramCountAxisHasWholeNumberTicks() {
        Rig rig;
        graphs::HistogramWindow window(rig.dialogs);
        std::vector<double> many;
        for (int i = 0; i < 5000; ++i)
            many.push_back(20 + (i % 37) / 10.0);
        for (const std::vector<double>& readings :
             {std::vector<double>{20.0, 20.1, 20.1, 20.2}, std::vector<double>{5.5}, many}) {
            window.load(QStringLiteral("T1 - K"), QStringLiteral("°C"),
                        graphs::histogramOf(readings, 0));
            layOut(window, *window.Graph);
            const QVector<double> ticks = window.Graph->yAxis->tickVector();
            QVERIFY(ticks.size() >= 2);
            for (const double tick : ticks)
                QCOMPARE(tick, std::round(tick));
            for (const QString& label : window.Graph->yAxis->tickVectorLabels())
                QVERIFY2(!label.contains(u'.') && !label.contains(u'e'), qPrintable(label));
        }
    }

    // #20: the whole-file plot leaves a few percent of room above and below
    // its traces, so none runs along the frame.
    void wholeFilePlotLeavesRoomAboveAndBelowTheTraces() {
        Rig rig;
        recording::FileListWindow files(rig.view.windows, rig.state.live.TypeLetter, rig.dialogs,
                                        {});
        rig.graphs.attach(files);
        QList<QByteArray> records;
        for (int i = 0; i <= 10; ++i)
            records.append(QByteArray::number(i + 1) +
                           "\t2026/03/04 09:05:" + QByteArray::number(10 + i) + "\t" +
                           QByteArray::number(20 + i) + ".0\t25.0\t- - -\t- - -\t");
        files.showLines(std::make_shared<recording::DataFileLines>(fileText(records)));
        files.Toolbar1_ButtonClick(QStringLiteral("Plot"));
        graphs::FilePlotWindow* window = rig.graphs.filePlotWindow();
        QVERIFY(window);
        const QCPRange y = window->Graph->yAxis->range();
        // The traces run from 20.0 to 30.0.
        const double below = (20.0 - y.lower) / y.size();
        const double above = (y.upper - 30.0) / y.size();
        QVERIFY2(below >= 0.02 && below <= 0.1, qPrintable(QString::number(below)));
        QVERIFY2(above >= 0.02 && above <= 0.1, qPrintable(QString::number(above)));
        // "Reset Scale" after a zoom brings the same room back.
        window->Graph->yAxis->setRange(0, 1000);
        window->CmdReset->click();
        QVERIFY(sameRange(window->Graph->yAxis->range(), y));
    }

    void panelChartClickAndGraphKeyOpenTheirWindows() {
        test::SessionRig rig;
        shared::RunState& state = rig.state;
        main_window::Panel panel(rig.client, rig.view, rig.dialogs, QStringLiteral("/dev/pts/7"));
        state.live.ProbePresent = {true, true, true, true};
        state.live.TypeLetter = {"J", "K", "K", "K"};
        Q_EMIT rig.session.channelsChanged(session::channelsSetupOf(state));
        for (int i = 1; i <= 3; ++i)
            state.history.store(0, i, 20.0f + float(i), 70.0f + float(i));
        state.recording.HistoryCount = 3;
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        widgets::StripChart* chart = panel.PicC->CWG[0];
        chart->plot()->replot(QCustomPlot::rpImmediateRefresh);
        QTest::mouseClick(chart->plot(), Qt::LeftButton, {}, chart->plot()->rect().center());
        rig.settle();
        graphs::PlotWindow* plot = panel.graphWindows().plotWindow();
        QVERIFY(plot);
        QCOMPARE(plot->PlotTag, QStringLiteral("1°C"));
        QCOMPARE(plot->PlotYMax, 1000.0);
        QCOMPARE(plot->sample(2), 22.0f);

        panel.Toolbar1_ButtonClick(QStringLiteral("Graph"));
        QVERIFY(rig.view.windows.GraphOpen);
        QWidget* chartWindow = panel.findChild<QWidget*>(QStringLiteral("RealTimeSLM"));
        QVERIFY(chartWindow);
        panel.Toolbar1_ButtonClick(QStringLiteral("Graph"));
        QCOMPARE(panel.findChildren<QWidget*>(QStringLiteral("RealTimeSLM")).size(), 1);
        rig.session.stop();
    }
};

QUADTHERM_TEST_SUITE(TestGraphWindow, Gui)

} // namespace tst_graph_window

#include "tst_graph_window.moc"
