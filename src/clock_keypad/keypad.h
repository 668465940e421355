#pragma once

#include "meter_link/meter_keys.h"

#include <QObject>

#include <optional>

namespace quadtherm::session {
class SessionClient;
}

namespace quadtherm::clock_keypad {

// MAX/MIN and MEM held for longer than this send their long-press frames.
inline constexpr qint64 kLongPressMs = 2000;

// The one press time that MAX/MIN and MEM share: set when either goes down,
// read when either comes up. It runs on the monotonic clock, so a press
// across midnight counts by its real length.
class PressTime {
public:
    void press(qint64 nowMs) { m_pressedAtMs = nowMs; }
    // A release with no press before it counts as long.
    bool isLong(qint64 nowMs) const {
        return !m_pressedAtMs || nowMs - *m_pressedAtMs > kLongPressMs;
    }

private:
    std::optional<qint64> m_pressedAtMs;
};

// MEM stores a reading in the meter's memory; the recording cycle waits
// while its frame goes out. The other keys pause only the live poll.
bool pausesRecordingCycle(const meter_link::MeterKey& key);

// The remote keypad: each key sends its frame to the meter as one exchange
// of the session, with the live poll off around it. A key clicked while the
// meter is busy (a download, the link down) is refused with a note, never
// sent later.
class Keypad : public QObject {
    Q_OBJECT
public:
    explicit Keypad(session::SessionClient& client, QObject* parent = nullptr);

    // A key that acts on a click: its one frame.
    void click(const meter_link::MeterKey& key);
    // MAX/MIN or MEM goes down, then comes up: the frame its held time chooses.
    void press();
    void release(const meter_link::MeterKey& key);

private:
    void send(const meter_link::MeterKey& key, meter_link::KeyCode code);

    session::SessionClient& m_client;
    PressTime m_pressTime;
};

} // namespace quadtherm::clock_keypad
