#include "clock_keypad/keypad.h"

#include "session/session_client.h"

namespace quadtherm::clock_keypad {

bool pausesRecordingCycle(const meter_link::MeterKey& key) {
    return key.name == "MEM";
}

Keypad::Keypad(session::SessionClient& client, QObject* parent)
    : QObject(parent), m_client(client) {}

void Keypad::click(const meter_link::MeterKey& key) {
    send(key, key.press);
}

void Keypad::press() {
    m_pressTime.press(m_client.clock().elapsedMs());
}

void Keypad::release(const meter_link::MeterKey& key) {
    // Timed now, not once the exchange gets its turn: a slow meter must not
    // turn a short press into a long one.
    const bool held = key.longPress && m_pressTime.isLong(m_client.clock().elapsedMs());
    send(key, held ? *key.longPress : key.press);
}

void Keypad::send(const meter_link::MeterKey& key, meter_link::KeyCode code) {
    session::Pausing pausing;
    pausing.poll = true;
    pausing.cycle = pausesRecordingCycle(key);
    m_client.exchange(
        QString::fromLatin1(key.name.data(), qsizetype(key.name.size())), pausing,
        [code](session::Exchange& exchange) { exchange.protocol.pressKey(code); }, this, [] {});
}

} // namespace quadtherm::clock_keypad
