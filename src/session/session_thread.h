#pragma once

#include "meter_link/serial_port.h"
#include "recording/recorder.h"
#include "shared/clock.h"
#include "shared/run_state.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

namespace quadtherm::session {

class MeterSession;

// The thread the desktop program's meter session lives on: the serial port,
// the protocol and its waits, the live poll, the recording cycle and the
// recorder. Nothing the windows do (a slow paint, a dialog, a long print)
// can hold a reading up, and no wait of the session ever runs window code.
//
// The port and the session are made, and in the end destroyed, on that
// thread; the windows reach the session only through a SessionClient.
class SessionThread {
public:
    using PortFactory = std::function<std::unique_ptr<meter_link::SerialPort>()>;

    SessionThread(shared::Clock& clock, shared::RunState& state, PortFactory makePort,
                  recording::Recorder::DeviceFactory openFile = {});
    // Stops the session (every wait ends), then its thread.
    ~SessionThread();
    SessionThread(const SessionThread&) = delete;
    SessionThread& operator=(const SessionThread&) = delete;

    // The port with the meter's line settings, opened on the session's
    // thread; false with the system's reason when it cannot be.
    bool openPort(QString* error = nullptr);
    MeterSession& session() { return *m_session; }
    QThread& thread() { return m_thread; }

private:
    QThread m_thread;
    QObject m_anchor; // lives on the session's thread: what is run there is run through it
    std::unique_ptr<meter_link::SerialPort> m_port;
    std::unique_ptr<MeterSession> m_session;
};

} // namespace quadtherm::session
