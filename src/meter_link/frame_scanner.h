#pragma once

#include <QByteArray>
#include <QList>

namespace quadtherm::meter_link {

// Offsets of the 12-byte reading frames in `bytes` that sit on frame
// boundaries. The meter streams frames back to back, but a read can start in
// the middle of one and a reading or offset byte can itself be 0x02 or 0x03,
// so a candidate (0x02 ... 0x03) only counts when the next frame's 0x02
// follows it or when it follows a frame that counted.
QList<int> findAlignedFrames(const QByteArray& bytes);

// Offset of the last run of `count` frames back to back, or -1.
int lastFrameRun(const QList<int>& frameOffsets, int count);

} // namespace quadtherm::meter_link
