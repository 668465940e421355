#pragma once

#include "graphs/sample_stats.h"
#include "graphs/track_mode.h"
#include "graphs/type_scale.h"

#include <QVector>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QCPGraph;
class QCPItemTracer;
class QCPTextElement;
class QCustomPlot;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quadtherm::widgets {
class NumericEdit;
class UserDialogs;
} // namespace quadtherm::widgets

namespace quadtherm::graphs {

class TrackControl;

// The data graph `Plot`: one channel's history, or one column of a data
// file, as a line against the sample number, on the scale of the channel's
// thermocouple type. The track modes zoom and pan it, a cursor reads values
// off it, the range boxes and the axes follow each other, "Reset Scale"
// brings the whole series back, "Fit" fits both axes to it and "Print
// Graph" prints the window. A second cursor and the figures of the samples
// in view measure it.
class PlotWindow : public QWidget {
    Q_OBJECT
public:
    explicit PlotWindow(widgets::UserDialogs& dialogs, QWidget* parent = nullptr);
    ~PlotWindow() override;

    // Shows the window with `values` plotted at X = 1, 2, 3, …: the graph
    // caption "T" and the channel number of `plotTag` ("1°C"), its unit in
    // the range and cursor labels, the Y caption "Fahrenheit" when the tag
    // says °F and "Celsius" otherwise, both axes and the range boxes at the
    // whole series and `scale`.
    void load(const QString& plotTag, PlotScale scale, QVector<float> values);

    void Combo1_Click(int index);
    void CWGraph1_CursorChange();
    void AxisMin_ValueChanged(int index);
    void AxisMax_ValueChanged(int index);
    void CmdReset_Click();
    // Both axes to the samples, with a little headroom above and below.
    void CmdFit_Click();
    void CmdPrint_Click();
    void CmdSave_Click();
    // Shows or hides the second cursor of the measuring line.
    void ChkCursor2_Click(bool shown);

    // The graph's track mode value, 1 ("Normal") to 8 ("ZoomY").
    int TrackMode() const;
    TrackControl& trackControl() const { return *m_track; }
    // Cursor 1 or 2: visibility and position in axis coordinates.
    bool cursorVisible(int n) const;
    QPointF cursorPosition(int n) const;
    void moveCursor(int n, QPointF position);
    // Sample n (from 1) of the plotted copy.
    float sample(int n) const { return m_values.value(n - 1); }
    // The figures of the samples in view.
    RangeFigures inView() const;
    // True while the window is drawn for the printer.
    bool printing() const { return m_printing; }

    // Axis n: 1 the sample numbers (X), 2 the temperatures (Y).
    widgets::NumericEdit* AxisMin(int n) const { return m_axisMin.at(size_t(n - 1)); }
    widgets::NumericEdit* AxisMax(int n) const { return m_axisMax.at(size_t(n - 1)); }

    QGroupBox* FrmGraphic = nullptr;
    QCustomPlot* CWGraph1 = nullptr;
    QCPTextElement* GraphCaption = nullptr;
    QComboBox* Combo1 = nullptr;
    QPlainTextEdit* txtDescription = nullptr;
    QLabel* LblRangeUnit = nullptr;
    QLabel* LblCursorY = nullptr;
    QLabel* XPosition = nullptr;
    QLabel* YPosition = nullptr;
    QCheckBox* ChkCursor2 = nullptr;
    QLabel* LblDelta = nullptr;
    QLabel* LblInView = nullptr;
    QPushButton* CmdReset = nullptr;
    QPushButton* CmdFit = nullptr;
    QPushButton* CmdPrint = nullptr;
    QPushButton* CmdSave = nullptr;

    // Set at every load.
    int PlotCount = 0;
    double PlotYMax = 0;
    double PlotYMin = 0;
    QString PlotTag;

private:
    QWidget* buildSidePanel();
    void applyAxis(int n);
    void syncBoxes();
    void showMeasures();
    void cursorDragged(QPointF at, bool pressed);
    void applyLook(bool paper);
    // The type scale, or the series' own span when the scale is empty (a
    // type never known: 0 to 0).
    std::pair<double, double> yScale() const;

    widgets::UserDialogs& m_dialogs;
    TrackControl* m_track = nullptr;
    QCPGraph* m_graph = nullptr;
    std::array<QCPItemTracer*, 2> m_cursors{};
    std::array<widgets::NumericEdit*, 2> m_axisMin{};
    std::array<widgets::NumericEdit*, 2> m_axisMax{};
    QVector<float> m_values;
    SampleStats m_stats;
    QString m_unit;
    int m_channel = 0;
    int m_dragged = 0;
    bool m_syncing = false;
    bool m_printing = false;
};

} // namespace quadtherm::graphs
