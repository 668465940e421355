#pragma once

#include "meter_link/meter_protocol.h"
#include "shared/run_state.h"

#include <QMainWindow>
#include <QTimer>

#include <array>

class QLabel;

namespace quadtherm::main_window {

// The main window: the four channels live and the link label. It owns the
// live-poll timer (one reading frame per tick) and the once-a-second display
// timer; the meter link reaches its windows through the resync hooks.
class Panel : public QMainWindow {
    Q_OBJECT
public:
    Panel(shared::RunState& state, meter_link::MeterProtocol& protocol, QString deviceLabel,
          QWidget* parent = nullptr);
    ~Panel() override;

    // Load steps: shared flags to their start values, both timers on.
    void Form_Load();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Timer1_Timer();
    void Timer2_Timer();
    void LblCOM_Click();
    void showLink(bool up);
    void setUpDisplays();

    shared::RunState& m_state;
    meter_link::MeterProtocol& m_protocol;
    QString m_deviceLabel;
    QTimer m_timer1;
    QTimer m_timer2;
    bool m_inTick = false;
    QLabel* m_lblCOM = nullptr;
    std::array<QLabel*, shared::kChannels> m_type{};
    std::array<QLabel*, shared::kChannels> m_valueC{};
    std::array<QLabel*, shared::kChannels> m_valueF{};
};

} // namespace quadtherm::main_window
