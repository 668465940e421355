#pragma once

#include "graphs/histogram.h"

#include <QWidget>

class QCPBars;
class QCustomPlot;
class QLabel;
class QPushButton;

namespace quadtherm::widgets {
class UserDialogs;
}

namespace quadtherm::graphs {

// The distribution of one file column's readings as bars, with their count,
// minimum, maximum, mean and standard deviation.
class HistogramWindow : public QWidget {
    Q_OBJECT
public:
    explicit HistogramWindow(widgets::UserDialogs& dialogs, QWidget* parent = nullptr);

    // `heading` is the column's heading ("T1 - K"), `unit` "°C" or "°F".
    void load(const QString& heading, const QString& unit, HistogramFigures figures);
    void CmdPrint_Click();
    void CmdSave_Click();

    const HistogramFigures& figures() const { return m_figures; }

    QCustomPlot* Graph = nullptr;
    QCPBars* Bars = nullptr;
    // Not "LblCount": the main window styles its own label of that name.
    QLabel* LblReadings = nullptr;
    QLabel* LblNotReadings = nullptr;
    QLabel* LblMinimum = nullptr;
    QLabel* LblMaximum = nullptr;
    QLabel* LblMean = nullptr;
    QLabel* LblDeviation = nullptr;
    QPushButton* CmdPrint = nullptr;
    QPushButton* CmdSave = nullptr;

private:
    void applyLook(bool paper);

    widgets::UserDialogs& m_dialogs;
    HistogramFigures m_figures;
};

} // namespace quadtherm::graphs
