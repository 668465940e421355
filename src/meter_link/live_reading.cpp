#include "meter_link/live_reading.h"

#include "shared/reading_text.h"

#include <cmath>

namespace quadtherm::meter_link {

using namespace quadtherm::shared;

namespace {

quint8 at(const QByteArray& frame, int i) {
    return static_cast<quint8>(frame[i]);
}

void decodeUnit(LiveState& live, quint8 b) {
    live.CurrentChannel = b % 4;
    live.MeterFahrenheit = (b & 0x04) != 0;
    live.UnitText = shared::unitText(live.MeterFahrenheit);
}

} // namespace

void DecodeChannelByte(LiveState& live, quint8 b) {
    decodeUnit(live, b);
    live.MeterRecording = (b & 0x40) != 0;
    live.MemoryFull = (b & 0x80) != 0;
}

void DecodeTypeByte(LiveState& live, quint8 b) {
    const int k = live.CurrentChannel;
    live.TypeCode[k] = b % 16;
    if (const auto type = thermocoupleType(b))
        live.TypeLetter[k] = QString::fromLatin1(type->letter);
}

void DecodeStatusByte(LiveState& live, quint8 b) {
    const int k = live.CurrentChannel;
    live.ProbePresent[k] = (b & 0x08) != 0;
    live.OverRange[k] = (b & 0x20) != 0;
    live.UnderRange[k] = (b & 0x40) != 0;
}

void DecodeReading(LiveState& live, quint8 hi, quint8 lo, quint8 flags) {
    const int k = live.CurrentChannel;
    const ThreeByteReading r = decodeThreeByteReading(hi, lo, flags);
    live.LiveTextF[k] = r.text();
    live.LiveValueF[k] = r.value();
    // The offset comes off before the conversion and goes back on unchanged.
    const double o = live.LiveOffset[k];
    live.LiveValueC[k] = Fix((live.LiveValueF[k] - o - 32) * 5 / 9 * 10) / 10 + o;
    live.LiveTextC[k] = TenthsText(std::llround(live.LiveValueC[k] * 10));
}

void SetRanges(LiveState& live, int k) {
    const auto type = thermocoupleType(live.TypeCode[k]);
    if (!type)
        return;
    live.RangeMaxC[k] = live.ScaleMaxC[k] = type->maxC;
    live.RangeMinC[k] = live.ScaleMinC[k] = type->minC;
    live.RangeMaxF[k] = live.ScaleMaxF[k] = type->maxF;
    live.RangeMinF[k] = live.ScaleMinF[k] = type->minF;
}

void DecodeFrame(LiveState& live, const QByteArray& frame) {
    DecodeChannelByte(live, at(frame, 1));
    DecodeTypeByte(live, at(frame, 2));
    DecodeStatusByte(live, at(frame, 3));
    for (int k = 0; k < kChannels; ++k)
        live.LiveOffset[k] = SignedTenths(at(frame, 7 + k));
    DecodeReading(live, at(frame, 4), at(frame, 5), at(frame, 6));
}

void DecodeResyncFrame(LiveState& live, const QByteArray& frame) {
    decodeUnit(live, at(frame, 1));
    DecodeTypeByte(live, at(frame, 2));
    SetRanges(live, live.CurrentChannel);
    live.ProbePresent[live.CurrentChannel] = (at(frame, 3) & 0x08) != 0;
    DecodeReading(live, at(frame, 4), at(frame, 5), at(frame, 6));
}

void ClearLiveChannels(LiveState& live) {
    for (int k = 0; k < kChannels; ++k) {
        live.LiveValueF[k] = 0;
        live.LiveValueC[k] = 0;
        live.LiveTextF[k].clear();
        live.LiveTextC[k].clear();
        live.PrevTypeCode[k] = 11;
        live.PrevProbePresent[k] = false;
    }
    live.PrevUnitText = QStringLiteral("X");
}

} // namespace quadtherm::meter_link
