// The main window's side of the graphs: the real-time chart of the "Graph"
// key, a channel's history from a click on its small chart, the small
// charts' time axes, and the file list's plots.

#include "graphs/ui/graph_windows.h"
#include "main_window/ui/panel.h"
#include "main_window/ui/unit_panel.h"
#include "recording/ui/file_list_window.h"
#include "shared/settings.h"

namespace quadtherm::main_window {

void Panel::connectGraphs() {
    m_graphs = new graphs::GraphWindows(m_client, m_view.windows, m_dialogs, *this);
    const auto modeOf = [](bool clockTime) {
        return clockTime ? widgets::TimeAxisMode::ClockTime : widgets::TimeAxisMode::BeforeNow;
    };
    // The choice of the last run comes back.
    if (m_settings)
        m_view.windows.ChartClockTime = m_settings->chartsShowClockTime();
    for (auto [panel, fahrenheit] : {std::pair{PicC, false}, std::pair{PicF, true}}) {
        connect(panel, &UnitPanel::chartClicked, this, [this, fahrenheit](int channel) {
            m_graphs->openChannelGraph(channel, fahrenheit);
        });
        panel->setChartClock(m_client.clock());
        panel->setChartInterval(m_client.mirror().pcSamplingSeconds);
        panel->setChartTimeMode(modeOf(m_view.windows.ChartClockTime));
        connect(&m_client, &session::SessionClient::pcSamplingChanged, panel,
                &UnitPanel::setChartInterval);
        // One choice for all eight charts, kept with the windows' state.
        connect(panel, &UnitPanel::chartTimeModeChosen, this, [this](widgets::TimeAxisMode mode) {
            m_view.windows.ChartClockTime = mode == widgets::TimeAxisMode::ClockTime;
            if (m_settings)
                m_settings->setChartsShowClockTime(m_view.windows.ChartClockTime);
            PicC->setChartTimeMode(mode);
            PicF->setChartTimeMode(mode);
        });
    }
}

void Panel::graphKey() {
    m_graphs->openRealTimeChart();
}

void Panel::connectFileList() {
    if (m_fileList)
        m_graphs->attach(*m_fileList);
}

} // namespace quadtherm::main_window
