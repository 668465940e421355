#pragma once

#include "graphs/file_series.h"
#include "graphs/type_scale.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace quadtherm::session {
class SessionClient;
}
namespace quadtherm::shared {
struct WindowState;
}
namespace quadtherm::recording {
class FileListWindow;
struct ColumnHistogram;
struct PlotRequest;
} // namespace quadtherm::recording

namespace quadtherm::widgets {
class UserDialogs;
}

namespace quadtherm::graphs {

class FilePlotWindow;
class HistogramWindow;
class PlotWindow;
class RealTimeWindow;

// The graph windows of a meter session, each a single instance created on
// first use: the data graph (opened by a channel's small chart or a file
// column), the real-time chart (the "Graph" key), and the whole-file plot
// and histogram of the file list.
class GraphWindows : public QObject {
    Q_OBJECT
public:
    GraphWindows(session::SessionClient& client, shared::WindowState& windows,
                 widgets::UserDialogs& dialogs, QWidget& mainWindow);
    ~GraphWindows() override;

    // A click on channel k's small chart of the °C or the °F panel: its
    // history in the graph, copied in one go on the session's thread between
    // two cycles. Nothing for a channel without a probe; a message while the
    // history is empty.
    void openChannelGraph(int channel, bool fahrenheit);
    // A column the file list loaded.
    void openColumnGraph(const recording::PlotRequest& request);
    // "Graph": the real-time chart, unless it is open already.
    void openRealTimeChart();
    // The link is being rebuilt: the real-time chart closes.
    void closeRealTimeChart();
    // The file list's column clicks, "Plot" and "Ln" go to these windows.
    void attach(recording::FileListWindow& files);
    void openFilePlot(const QString& caption, const recording::DataFileLines& lines);
    void openHistogram(const recording::ColumnHistogram& column);

    PlotWindow* plotWindow() const;
    RealTimeWindow* realTimeWindow() const;
    FilePlotWindow* filePlotWindow() const;
    HistogramWindow* histogramWindow() const;
    // The scale of the last graph loaded; a type that names none keeps it.
    PlotScale lastScale() const { return m_scale; }

private:
    PlotWindow& plot();
    void load(const QString& plotTag, PlotScale scale, QVector<float> values);
    void noData(const QString& text);

    session::SessionClient& m_client;
    shared::WindowState& m_windows;
    widgets::UserDialogs& m_dialogs;
    QWidget& m_main;
    PlotScale m_scale;
    QPointer<PlotWindow> m_plot;
    QPointer<RealTimeWindow> m_realTime;
    QPointer<FilePlotWindow> m_filePlot;
    QPointer<HistogramWindow> m_histogram;
    QPointer<recording::FileListWindow> m_files;
};

} // namespace quadtherm::graphs
