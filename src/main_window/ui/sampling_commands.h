#pragma once

#include "session/session_client.h"
#include "shared/view_state.h"

class QWidget;

namespace quadtherm::widgets {
class UserDialogs;
}

namespace quadtherm::main_window {

// The "Sampling" key: the choice between the PC's recording interval and
// the meter's own, the input box for it, and the memory size service that
// either box opens for the service code. The meter's interval and the memory
// size are read and written on the session's thread with the live poll
// paused, and the input box asks between the two exchanges.
class SamplingCommands {
public:
    SamplingCommands(session::SessionClient& client, shared::SamplingChoice& sampling,
                     widgets::UserDialogs& dialogs, QWidget* window);

    void run();

private:
    void pcSampling();
    void meterSampling();
    void askMeterInterval(const std::shared_ptr<session::SessionClient::Lease>& lease);
    void memorySizeService();

    session::SessionClient& m_client;
    shared::SamplingChoice& m_sampling;
    widgets::UserDialogs& m_dialogs;
    QWidget* m_window;
};

} // namespace quadtherm::main_window
