#pragma once

#include "shared/live_state.h"

#include <QByteArray>
#include <QtGlobal>

namespace quadtherm::meter_link {

using shared::LiveState;

inline constexpr int kFrameLength = 12;
inline constexpr quint8 kStx = 0x02;
inline constexpr quint8 kEtx = 0x03;

void DecodeChannelByte(LiveState& live, quint8 b);
void DecodeTypeByte(LiveState& live, quint8 b);
void DecodeStatusByte(LiveState& live, quint8 b);
void DecodeReading(LiveState& live, quint8 hi, quint8 lo, quint8 flags);

// Writes the range and scale arrays of `channel` from its TypeCode; codes 11
// to 15 leave them as they were.
void SetRanges(LiveState& live, int channel);

// A whole 12-byte frame, markers already checked: channel, unit and memory
// flags, type, probe and range flags, the four offsets and the reading.
void DecodeFrame(LiveState& live, const QByteArray& frame);

// The re-synchronisation's decoding: channel and unit, type followed by its
// ranges, probe flag and reading; recording, memory-full, over/under flags
// and offsets keep their values.
void DecodeResyncFrame(LiveState& live, const QByteArray& frame);

// Forgets the readings and what the displays were set up for, so the next
// frames count as changes.
void ClearLiveChannels(LiveState& live);

// The channel (0 to 3) a frame belongs to.
inline int frameChannel(const QByteArray& frame) {
    return static_cast<quint8>(frame[1]) % 4;
}

} // namespace quadtherm::meter_link
