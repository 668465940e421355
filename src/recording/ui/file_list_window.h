#pragma once

#include "graphs/histogram.h"
#include "recording/data_file.h"
#include "recording/file_column.h"
#include "session/session_view.h"

#include <QWidget>

#include <functional>
#include <optional>

class QAction;
class QToolBar;

namespace quadtherm::shared {
struct WindowState;
}

namespace quadtherm::widgets {
class Grid;
class UserDialogs;
} // namespace quadtherm::widgets

namespace quadtherm::session {
class SessionClient;
}

namespace quadtherm::recording {

// The main window's live-poll and display timers, paused while a long job
// (a column load, a printout) holds the event loop in its own hands.
struct MainTimers {
    std::function<void()> stop;
    std::function<void()> start;
};

// Pauses the live tick and the once-a-second cycle of the session, and ends
// the pause.
MainTimers mainTimersOf(session::SessionClient& client,
                        const session::Pausing& pausing = session::pollAndCyclePaused());

// One channel column's readings, for the histogram.
struct ColumnHistogram {
    QString heading; // "T1 - K"
    QString unit;    // "°C" or "°F", as the file's first heading cell says
    graphs::HistogramFigures figures;
};

// An opened data file as a table. Clicking a channel column sends that
// column to the graph; the toolbar plots the whole file ("Plot"), shows the
// clicked column's histogram ("Ln", which asks for a column when none was
// clicked) and prints the listing.
class FileListWindow : public QWidget {
    Q_OBJECT
public:
    FileListWindow(const shared::WindowState& windows, shared::PerChannel<QString> typeLetters,
                   widgets::UserDialogs& dialogs, MainTimers timers, QWidget* parent = nullptr);

    // The heading from ViewUnit and the channel types, and no rows. The
    // constructor runs it.
    void Form_Load();
    // Filled by the main window's Open command from the file it read: the
    // heading line gives the headings, every later line a row. The grid
    // splits the lines it shows; it holds no copy of them.
    void showLines(std::shared_ptr<const DataFileLines> lines);
    // Reads the file into the window. Meanwhile the caption counts the lines
    // and the window stays responsive; closing it stops the load. At the end
    // the caption is `name`, or the count of lines kept when a line that
    // cannot be split abandoned the load.
    void loadFile(DataFileReader& reader, const QString& name);
    void setHeading(const SixValues& heading);
    // Rows of six TAB-separated Latin-1 values.
    void appendRows(const QList<QByteArray>& rows);

    void GridN_Click(int row, int col);
    void Toolbar1_ButtonClick(const QString& key);
    QAction* toolbarAction(const QString& key) const;

    widgets::Grid* GridN = nullptr;
    QToolBar* Toolbar1 = nullptr;
    // The last column sent to the graph; a heading without a known type
    // keeps the scale before it (0 to 0 at first).
    QString PlotTag;
    double PlotYMax = 0;
    double PlotYMin = 0;
    // Receives each clicked column; nothing is plotted without it.
    std::function<void(const PlotRequest&)> plotHook;
    // Receive the file for "Plot" (with the window's caption) and the chosen
    // column for "Ln".
    std::function<void(const QString& caption, std::shared_ptr<const DataFileLines> lines)>
        filePlotHook;
    std::function<void(const ColumnHistogram&)> histogramHook;

private:
    QVector<float> loadColumn(int col);
    // The file as shown: the lines it was read from, or the grid's rows.
    std::shared_ptr<const DataFileLines> shownLines() const;
    void plotFile();
    void showHistogram();
    // The channel column for "Ln" when none is clicked, from a chooser of
    // the four; nothing when the user closed it or the file has no records.
    std::optional<int> chooseHistogramColumn();

    QString m_viewUnit;
    shared::PerChannel<QString> m_typeLetters;
    widgets::UserDialogs& m_dialogs;
    MainTimers m_timers;
    std::shared_ptr<const DataFileLines> m_lines;
    bool m_busy = false;
    int m_histogramChoice = 0; // the chooser's last choice, offered again
};

} // namespace quadtherm::recording
