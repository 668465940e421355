#pragma once

// Bytes the meter sends, built in the tests from the frame layouts (not from
// the program's own encoders), for the suites that play the meter.

#include <QByteArray>

#include <initializer_list>

namespace quadtherm::test {

inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// A reading frame of a channel with its probe in: `tenthsF` tenths of a °F
// (zero or more), the unit bit and the logging bit as given.
inline QByteArray readingFrame(int channel, int typeCode, int tenthsF, bool fahrenheit = false,
                               bool logging = false) {
    const int whole = tenthsF / 10;
    return bytes({0x02, channel | (fahrenheit ? 0x04 : 0) | (logging ? 0x40 : 0), typeCode, 0x08,
                  (whole >> 8) & 0xFF, whole & 0xFF, tenthsF % 10, 0, 0, 0, 0, 0x03});
}

// A status reply: memory pointer 8192 (an empty memory), no manual readings.
inline const QByteArray kEmptyMemoryStatus = bytes({0x02, 0x00, 0x20, 0x00, 0x00, 0xFF, 0x03});

} // namespace quadtherm::test
