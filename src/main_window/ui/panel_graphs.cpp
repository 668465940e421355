// The main window's side of the graphs: the real-time chart of the "Graph"
// key, a channel's history from a click on its small chart, and the file
// list's plots.

#include "graphs/ui/graph_windows.h"
#include "main_window/ui/panel.h"
#include "main_window/ui/unit_panel.h"
#include "recording/ui/file_list_window.h"

namespace quadtherm::main_window {

void Panel::connectGraphs() {
    m_graphs = new graphs::GraphWindows(m_client, m_view.windows, m_dialogs, *this);
    for (auto [panel, fahrenheit] : {std::pair{PicC, false}, std::pair{PicF, true}})
        connect(panel, &UnitPanel::chartClicked, this, [this, fahrenheit](int channel) {
            m_graphs->openChannelGraph(channel, fahrenheit);
        });
}

void Panel::graphKey() {
    m_graphs->openRealTimeChart();
}

void Panel::connectFileList() {
    if (m_fileList)
        m_graphs->attach(*m_fileList);
}

} // namespace quadtherm::main_window
