#pragma once

#include "graphs/file_series.h"

#include <QWidget>

class QComboBox;
class QCPGraph;
class QCPItemStraightLine;
class QCustomPlot;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quadtherm::widgets {
class UserDialogs;
}

namespace quadtherm::graphs {

class TrackControl;

// All four channels of a data file against its own "Date Time" clock, one
// colour each with a legend. The track modes zoom and pan it as in the data
// graph; in "Cursor Coordinates" a line follows the mouse and reads the
// record under it. Readings that are not numbers are gaps in the lines.
class FilePlotWindow : public QWidget {
    Q_OBJECT
public:
    explicit FilePlotWindow(widgets::UserDialogs& dialogs, QWidget* parent = nullptr);

    // Shows the window with the file's series; `fileName` goes into the caption.
    void load(const QString& fileName, FileSeries series);

    void Combo1_Click(int index);
    void CmdReset_Click();
    void CmdPrint_Click();
    void CmdSave_Click();
    // The cursor line at a time (seconds of the file's clock).
    void moveCursor(double time);

    const FileSeries& series() const { return m_series; }
    QCPGraph* channelGraph(int channel) const { return m_graphs.at(size_t(channel)); }
    TrackControl& trackControl() const { return *m_track; }

    QCustomPlot* Graph = nullptr;
    QComboBox* Combo1 = nullptr;
    QPlainTextEdit* txtDescription = nullptr;
    QLabel* LblCursor = nullptr;
    QPushButton* CmdReset = nullptr;
    QPushButton* CmdPrint = nullptr;
    QPushButton* CmdSave = nullptr;

private:
    void applyLook(bool paper);
    void fitTimeAxis();

    widgets::UserDialogs& m_dialogs;
    TrackControl* m_track = nullptr;
    std::array<QCPGraph*, 4> m_graphs{};
    QCPItemStraightLine* m_cursor = nullptr;
    FileSeries m_series;
};

} // namespace quadtherm::graphs
