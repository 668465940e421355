#include "meter_link/frame_scanner.h"

#include "meter_link/live_reading.h"

namespace quadtherm::meter_link {

QList<int> findAlignedFrames(const QByteArray& bytes) {
    QList<int> offsets;
    const auto byteAt = [&](qsizetype i) { return static_cast<quint8>(bytes[i]); };
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i + kFrameLength <= n) {
        if (byteAt(i) == kStx && byteAt(i + kFrameLength - 1) == kEtx) {
            const bool chained = !offsets.isEmpty() && offsets.last() + kFrameLength == i;
            const bool confirmed = i + kFrameLength < n && byteAt(i + kFrameLength) == kStx;
            if (chained || confirmed) {
                offsets.append(static_cast<int>(i));
                i += kFrameLength;
                continue;
            }
        }
        ++i;
    }
    return offsets;
}

int lastFrameRun(const QList<int>& offsets, int count) {
    for (qsizetype end = offsets.size() - 1; end >= count - 1; --end) {
        const qsizetype first = end - (count - 1);
        if (offsets[end] - offsets[first] == (count - 1) * kFrameLength)
            return offsets[first];
    }
    return -1;
}

} // namespace quadtherm::meter_link
