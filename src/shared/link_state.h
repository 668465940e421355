#pragma once

#include <QtGlobal>

#include <array>

namespace quadtherm::shared {

// The state of the link to the meter.
struct LinkState {
    // COM number the user chose, 1 to 16; 0 while none is chosen.
    qint16 PortNumber = 0;
    // True while the next live tick must re-synchronise instead of reading.
    bool NeedResync = true;
    // Live ticks since the last periodic status exchange.
    qint16 PollCount = 0;
    // From the last status reply: the next free meter address (24 bits) and
    // the number of manual readings.
    double MemoryPointer = 0;
    qint16 ManualCount = 0;
    // The request being written: a command letter and three parameter bytes.
    std::array<quint8, 4> CommandFrame{};
};

} // namespace quadtherm::shared
