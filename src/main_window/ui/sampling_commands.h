#pragma once

#include "session/meter_session.h"

class QWidget;

namespace quadtherm::widgets {
class UserDialogs;
}

namespace quadtherm::main_window {

// The "Sampling" key: the choice between the PC's recording interval and
// the meter's own, the input box for it, and the memory size service that
// either box opens for the service code.
class SamplingCommands {
public:
    SamplingCommands(session::MeterSession& session, widgets::UserDialogs& dialogs,
                     QWidget* window);

    void run();

private:
    void pcSampling();
    void meterSampling();
    void memorySizeService();

    session::MeterSession& m_session;
    shared::RunState& m_state;
    meter_link::MeterProtocol& m_protocol;
    widgets::UserDialogs& m_dialogs;
    QWidget* m_window;
};

} // namespace quadtherm::main_window
