#pragma once

// A meter session on the fake clock over a scripted meter that streams four
// channels (T1 K, T2 K, T3 J, T4 T) and answers the status and clock
// requests; its data files are kept in memory, by path.

#include "session/meter_session.h"
#include "support/fake_clock.h"
#include "support/meter_bytes.h"
#include "support/scripted_serial_port.h"

#include <QBuffer>
#include <QSignalSpy>

#include <map>
#include <memory>

namespace quadtherm::test {

// T1 K, T2 K, T3 J, T4 T, all reading `tenthsF`.
inline QByteArray fourFrames(int tenthsF = 725, bool fahrenheit = false) {
    QByteArray out;
    const int types[] = {0, 0, 1, 3};
    for (int k = 0; k < 4; ++k)
        out += readingFrame(k, types[k], tenthsF, fahrenheit);
    return out;
}

struct ScriptedMeterRig {
    FakeClock clock;
    ScriptedSerialPort port{clock};
    shared::RunState state;
    std::map<QString, QByteArray> files;
    session::MeterSession session{port, clock, state, [this](const QString& path) {
                                      auto device = std::make_unique<QBuffer>(&files[path]);
                                      device->open(QIODevice::WriteOnly | QIODevice::Truncate);
                                      return device;
                                  }};

    ScriptedMeterRig() {
        clock.guardAgainstHangs([this] { session.stop(); });
        port.open();
        port.pauseStreamOnWrite(100);
        port.answer("A", bytes({0x02, 0x00, 0x20, 0x00, 0x00, 0xFF, 0x03}));
        port.answer("X", bytes({0x02, 26, 3, 4, 9, 5, 7, 0x03}));
        port.stream(fourFrames());
    }
    // Up, and the first tick after the link came up has set up the displays.
    bool comeUp(QSignalSpy& changes) {
        session.start();
        return clock.runUntil([&] { return !changes.isEmpty() && session.Timer2.isActive(); },
                              10000);
    }
    bool comeUp() {
        QSignalSpy changes(&session, &session::MeterSession::channelsChanged);
        return comeUp(changes);
    }
};

} // namespace quadtherm::test
