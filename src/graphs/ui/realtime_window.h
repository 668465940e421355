#pragma once

#include "graphs/sweep_chart.h"
#include "shared/clock.h"

#include <QWidget>

class QFrame;
class QLineEdit;
class QPushButton;
class QToolBar;

namespace quadtherm::shared {
struct WindowState;
}

namespace quadtherm::widgets {
class UserDialogs;
}

namespace quadtherm::graphs {

class SweepView;

// The real-time chart `RealTimeSLM` ("Real Time Graph"): a strip-chart frame
// whose sweep advances one step a second and prints the time of day each
// time it wraps. "Limit" sets the scale and the steps per sweep, "Print"
// prints the window and "Save" keeps it as a picture. GraphOpen is true
// while it exists.
class RealTimeWindow : public QWidget {
    Q_OBJECT
public:
    RealTimeWindow(shared::WindowState& windows, shared::Clock& clock,
                   widgets::UserDialogs& dialogs, QWidget* parent = nullptr);
    ~RealTimeWindow() override;

    // Placed right of the main window, top edges aligned.
    void Form_Load(const QWidget& mainWindow);
    // Stops the sweep, hides the Limit panel, lays the frame out for the
    // present size and starts the sweep again.
    void Form_Resize();
    void Timer1_Timer();
    void Toolbar1_ButtonClick(const QString& key);
    void CmdOK_Click();

    SweepChart& chart() { return m_chart; }
    int wraps() const { return m_wraps; }

    shared::ClockTimer Timer1;
    QToolBar* Toolbar1 = nullptr;
    SweepView* Surface = nullptr;
    QFrame* PMessage = nullptr;
    QLineEdit* TxtMax = nullptr;
    QLineEdit* TxtMin = nullptr;
    QLineEdit* TxtCounts = nullptr;
    QPushButton* CmdOK = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QFrame* buildLimitPanel();
    void showLimitPanel();
    void printWindow();

    shared::WindowState& m_windows;
    shared::Clock& m_clock;
    widgets::UserDialogs& m_dialogs;
    SweepChart m_chart;
    int m_wraps = 0;
};

} // namespace quadtherm::graphs
