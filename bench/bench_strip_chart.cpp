// Figures for the strip chart at the size of a day's run at one reading a second
// (864000 points): appending point by point, and full redraws of a shown chart.
#include "widgets/strip_chart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <vector>

using quadtherm::widgets::StripChart;

namespace {

constexpr int kPoints = 864000;
constexpr int kRuns = 10;

double reading(int i) {
    return 20.0 + 5.0 * std::sin(i / 900.0) + 0.1 * static_cast<double>(i * 7919LL % 13);
}

double appendAll(StripChart& chart) {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kPoints; ++i)
        chart.appendPoint(reading(i));
    return timer.nsecsElapsed() / 1e6;
}

double medianRedrawMs(StripChart& chart, int width, int height, int runs) {
    chart.resize(width, height);
    chart.show();
    QApplication::processEvents();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        chart.plot()->replot(QCustomPlot::rpImmediateRefresh);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTextStream out(stdout);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(1);

    StripChart graph;
    graph.setXRange(1, kPoints);
    const double appendMs = appendAll(graph);

    StripChart strip;
    strip.setXRange(1, 300);
    const double scrollingMs = appendAll(strip);

    const double bigMs = medianRedrawMs(graph, 1200, 700, kRuns);
    const double smallMs = medianRedrawMs(graph, 220, 110, kRuns);
    graph.graph()->setAdaptiveSampling(false);
    const double bigPlainMs = medianRedrawMs(graph, 1200, 700, 3);
    const double smallPlainMs = medianRedrawMs(graph, 220, 110, 3);

    out << "strip chart " << kPoints << " points: append " << appendMs << " ms total ("
        << appendMs * 1e6 / kPoints << " ns a point; " << scrollingMs
        << " ms when every append scrolls a 300-wide view)\n";
    out << "strip chart " << kPoints << " points: redraw 1200x700 median " << bigMs
        << " ms (adaptive sampling off: " << bigPlainMs << " ms, " << bigPlainMs / bigMs << "x)\n";
    out << "strip chart " << kPoints << " points: redraw 220x110 median " << smallMs
        << " ms (adaptive sampling off: " << smallPlainMs << " ms, " << smallPlainMs / smallMs
        << "x)\n";
    return 0;
}
