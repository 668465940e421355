#include "graphs/ui/graph_windows.h"

#include "graphs/channel_plot.h"
#include "graphs/ui/file_plot_window.h"
#include "graphs/ui/histogram_window.h"
#include "graphs/ui/plot_window.h"
#include "graphs/ui/realtime_window.h"
#include "recording/ui/file_list_window.h"
#include "session/session_client.h"
#include "shared/view_state.h"
#include "widgets/user_dialogs.h"

#include <QToolBar>

namespace quadtherm::graphs {

GraphWindows::GraphWindows(session::SessionClient& client, shared::WindowState& windows,
                           widgets::UserDialogs& dialogs, QWidget& mainWindow)
    : QObject(&mainWindow), m_client(client), m_windows(windows), m_dialogs(dialogs),
      m_main(mainWindow) {
    connect(&m_client, &session::SessionClient::liveWindowsClosing, this,
            &GraphWindows::closeRealTimeChart);
}

GraphWindows::~GraphWindows() = default;

PlotWindow* GraphWindows::plotWindow() const {
    return m_plot;
}

RealTimeWindow* GraphWindows::realTimeWindow() const {
    return m_realTime;
}

FilePlotWindow* GraphWindows::filePlotWindow() const {
    return m_filePlot;
}

HistogramWindow* GraphWindows::histogramWindow() const {
    return m_histogram;
}

PlotWindow& GraphWindows::plot() {
    if (!m_plot) {
        m_plot = new PlotWindow(m_dialogs, &m_main);
        m_plot->setAttribute(Qt::WA_DeleteOnClose);
        m_plot->move(m_main.pos());
    }
    return *m_plot;
}

void GraphWindows::noData(const QString& text) {
    m_dialogs.message(&m_main, text, {}, widgets::UserDialogs::Icon::Information);
}

void GraphWindows::load(const QString& plotTag, PlotScale scale, QVector<float> values) {
    m_scale = scale;
    if (m_files) {
        m_files->PlotYMax = scale.PlotYMax;
        m_files->PlotYMin = scale.PlotYMin;
    }
    plot().load(plotTag, scale, std::move(values));
}

void GraphWindows::openChannelGraph(int channel, bool fahrenheit) {
    if (channel < 0 || channel >= shared::kChannels)
        return;
    const session::ChannelSetup setup = m_client.mirror().channels.channels[channel];
    if (!setup.ProbePresent)
        return;
    m_client.copyHistory(
        channel, fahrenheit, this,
        [this, channel, fahrenheit, letter = setup.TypeLetter](QVector<float> values) {
            if (values.isEmpty()) {
                noData(QStringLiteral("No data to plot yet: the history gains a sample at every "
                                      "recording interval."));
                return;
            }
            const PlotScale scale = typeScale(letter, fahrenheit, m_scale);
            load(channelPlotTag(channel, fahrenheit), scale, std::move(values));
        });
}

void GraphWindows::openColumnGraph(const recording::PlotRequest& request) {
    if (request.values.isEmpty()) {
        noData(QStringLiteral("The column has no records to plot."));
        return;
    }
    load(request.PlotTag, {request.PlotYMin, request.PlotYMax}, request.values);
}

void GraphWindows::openRealTimeChart() {
    auto& windows = m_windows;
    if (windows.GraphOpen) {
        // Open already: brought to the front.
        if (m_realTime) {
            m_realTime->raise();
            m_realTime->activateWindow();
        }
        return;
    }
    windows.GraphOpen = true;
    m_realTime = new RealTimeWindow(windows, m_client.clock(), m_dialogs, &m_main);
    m_realTime->setAttribute(Qt::WA_DeleteOnClose);
    m_realTime->Form_Load(m_main);
    m_realTime->show();
}

void GraphWindows::closeRealTimeChart() {
    if (m_realTime)
        m_realTime->close(); // its close clears GraphOpen
    m_windows.GraphOpen = false;
}

void GraphWindows::attach(recording::FileListWindow& files) {
    m_files = &files;
    files.PlotYMax = m_scale.PlotYMax;
    files.PlotYMin = m_scale.PlotYMin;
    files.plotHook = [this](const recording::PlotRequest& request) { openColumnGraph(request); };
    files.filePlotHook = [this](const QString& caption,
                                std::shared_ptr<const recording::DataFileLines> lines) {
        if (lines)
            openFilePlot(caption, *lines);
    };
    files.histogramHook = [this](const recording::ColumnHistogram& column) {
        openHistogram(column);
    };
}

void GraphWindows::openFilePlot(const QString& caption, const recording::DataFileLines& lines) {
    FileSeries series = fileSeries(lines);
    if (series.times.empty()) {
        noData(QStringLiteral("The file has no records with a date and time to plot."));
        return;
    }
    if (!m_filePlot) {
        m_filePlot = new FilePlotWindow(m_dialogs, &m_main);
        m_filePlot->setAttribute(Qt::WA_DeleteOnClose);
        m_filePlot->move(m_main.pos() + QPoint(30, 30));
    }
    m_filePlot->load(caption, std::move(series));
}

void GraphWindows::openHistogram(const recording::ColumnHistogram& column) {
    if (!m_histogram) {
        m_histogram = new HistogramWindow(m_dialogs, &m_main);
        m_histogram->setAttribute(Qt::WA_DeleteOnClose);
        m_histogram->move(m_main.pos() + QPoint(60, 60));
    }
    m_histogram->load(column.heading, column.unit, column.figures);
}

} // namespace quadtherm::graphs
