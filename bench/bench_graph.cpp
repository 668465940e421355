// Figures for the graphs at the size of a day's run: opening the data graph
// on an 864,000-sample history (from the click to the first paint that shows
// the data), a zoom and a pan of it, and the whole-file plot of a full
// recording file (320,001 lines) from the "Plot" key to its first paint.
// Pass --show to leave the windows on the screen afterwards, for a look.

#include "graphs/file_series.h"
#include "graphs/ui/file_plot_window.h"
#include "graphs/ui/graph_windows.h"
#include "graphs/ui/plot_window.h"
#include "recording/data_file.h"
#include "recording/data_file_writer.h"
#include "recording/ui/file_list_window.h"
#include "recording_sample.h"
#include "session/meter_session.h"
#include "session/session_client.h"
#include "shared/clock.h"
#include "shared/reading_text.h"
#include "shared/view_state.h"
#include "sim/simulated_serial_port.h"
#include "widgets/user_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

using namespace quadtherm;

namespace {

constexpr int kSamples = 864000;
constexpr int kRecords = 320000;
constexpr int kRuns = 7;

double median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Milliseconds from `click` to the end of the first paint that shows what
// the replot after it drew: what the user waits for before the data shows.
// The paint is asked for at once when the replot is done, which makes the
// figure a little longer than the event loop would.
double msToFirstPaint(const std::function<void()>& click,
                      const std::function<QCustomPlot*()>& plot) {
    bool replotted = false;
    QMetaObject::Connection afterReplot;
    const auto watch = [&](QCustomPlot* target) {
        afterReplot =
            QObject::connect(target, &QCustomPlot::afterReplot, [&] { replotted = true; });
    };
    // A window that exists already is watched from before the click.
    QCustomPlot* target = plot();
    if (target)
        watch(target);
    QElapsedTimer timer;
    timer.start();
    click();
    // A channel's history comes back from the meter session first: the
    // window may only now be made, before its first replot.
    while (!target && timer.elapsed() < 30000) {
        target = plot();
        if (target)
            watch(target);
        else
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    while (!replotted && timer.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    if (target)
        target->repaint();
    const double ms = timer.nsecsElapsed() / 1e6;
    QObject::disconnect(afterReplot);
    return replotted ? ms : -1;
}

float reading(int i) {
    return float(20.0 + 5.0 * std::sin(i / 900.0) + 0.1 * double(i * 7919LL % 13));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const bool show = app.arguments().contains(QStringLiteral("--show"));
    QTextStream out(stdout);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(1);

    shared::RunState state;
    state.live.ProbePresent = {true, true, true, true};
    state.live.TypeLetter = {"K", "K", "J", "T"};
    for (int i = 1; i <= kSamples; ++i)
        state.history.store(0, i, reading(i), reading(i) * 1.8f + 32);
    state.recording.HistoryCount = kSamples;
    shared::SystemClock clock;
    sim::SimulatedSerialPort port(clock);
    session::MeterSession session(port, clock, state);
    session::SessionClient client(session, clock);
    // What the windows know of the channels, as the session tells them.
    Q_EMIT session.channelsChanged(session::channelsSetupOf(state));
    QCoreApplication::processEvents();
    shared::ViewState view;
    widgets::QtUserDialogs dialogs;
    QWidget main;
    main.setGeometry(0, 0, 960, 480);
    graphs::GraphWindows windows(client, view.windows, dialogs, main);

    // The first click builds the window; later clicks reload it.
    const auto openGraph = [&] { windows.openChannelGraph(0, false); };
    const auto graphPlot = [&]() -> QCustomPlot* {
        return windows.plotWindow() ? windows.plotWindow()->CWGraph1 : nullptr;
    };
    const double firstOpenMs = msToFirstPaint(openGraph, graphPlot);
    std::vector<double> reloads;
    for (int i = 0; i < kRuns; ++i)
        reloads.push_back(msToFirstPaint(openGraph, graphPlot));

    // A zoom and a pan as the mouse makes them: the range changes (the boxes
    // and the figures in view follow), then the plot is drawn again.
    QCustomPlot* plot = graphPlot();
    std::vector<double> zooms, pans;
    for (int i = 0; i < 40; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (i % 2 == 0)
            plot->xAxis->scaleRange(i % 4 == 0 ? 0.8 : 1.25, plot->xAxis->range().center());
        else
            plot->xAxis->moveRange(plot->xAxis->range().size() * 0.1);
        plot->replot(QCustomPlot::rpImmediateRefresh);
        (i % 2 == 0 ? zooms : pans).push_back(timer.nsecsElapsed() / 1e6);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("day.4ch"));
    if (!quadtherm::bench::writeRecordingSample(path, kRecords)) {
        out << "cannot write " << path << "\n";
        return 1;
    }
    const recording::LoadedDataFile file = recording::readDataFile(path);
    recording::FileListWindow files(view.windows, state.live.TypeLetter, dialogs, {});
    files.showLines(file.lines);
    windows.attach(files);
    QElapsedTimer seriesTimer;
    seriesTimer.start();
    const graphs::FileSeries series = graphs::fileSeries(*file.lines);
    const double seriesMs = seriesTimer.nsecsElapsed() / 1e6;
    const auto plotFile = [&] { files.Toolbar1_ButtonClick(QStringLiteral("Plot")); };
    const auto filePlot = [&]() -> QCustomPlot* {
        return windows.filePlotWindow() ? windows.filePlotWindow()->Graph : nullptr;
    };
    const double firstFileMs = msToFirstPaint(plotFile, filePlot);
    std::vector<double> fileReloads;
    for (int i = 0; i < 3; ++i)
        fileReloads.push_back(msToFirstPaint(plotFile, filePlot));

    out << "data graph, " << kSamples << " samples: click to first full paint " << firstOpenMs
        << " ms (window built), " << median(reloads) << " ms (reload, median of " << kRuns << ")\n";
    out << "data graph, " << kSamples << " samples: zoom and replot median " << median(zooms)
        << " ms (max " << *std::max_element(zooms.begin(), zooms.end()) << "), pan median "
        << median(pans) << " ms (max " << *std::max_element(pans.begin(), pans.end()) << ")\n";
    out << "whole-file plot, " << file.lines->count() << " lines: Plot key to first full paint "
        << firstFileMs << " ms (window built), " << median(fileReloads)
        << " ms (reload); the four series alone " << seriesMs << " ms, "
        << qint64(series.times.size()) << " records\n";
    out.flush();
    if (show)
        return app.exec();
    return 0;
}
