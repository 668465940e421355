#include "clock_keypad/keypad.h"

#include "session/meter_session.h"

namespace quadtherm::clock_keypad {

bool pausesRecordingCycle(const meter_link::MeterKey& key) {
    return key.name == "MEM";
}

Keypad::Keypad(session::MeterSession& session, QObject* parent)
    : QObject(parent), m_session(session) {}

void Keypad::click(const meter_link::MeterKey& key) {
    send(key.press, pausesRecordingCycle(key));
}

void Keypad::press() {
    m_pressTime.press(m_session.clock().elapsedMs());
}

void Keypad::release(const meter_link::MeterKey& key) {
    // Timed now, not once the exchange gets its turn: a slow meter must not
    // turn a short press into a long one.
    const bool held = key.longPress && m_pressTime.isLong(m_session.clock().elapsedMs());
    send(held ? *key.longPress : key.press, pausesRecordingCycle(key));
}

void Keypad::send(meter_link::KeyCode code, bool pauseCycle) {
    auto& session = m_session;
    session.runExchange([&session, code, pauseCycle] {
        session.Timer1.stop();
        if (pauseCycle)
            session.Timer2.stop();
        auto& protocol = session.protocol();
        protocol.pressKey(code);
        if (protocol.stopped())
            return;
        session::MeterSession::enable(session.Timer1);
        if (pauseCycle)
            session::MeterSession::enable(session.Timer2);
    });
}

} // namespace quadtherm::clock_keypad
