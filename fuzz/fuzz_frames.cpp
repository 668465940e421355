// The live stream: scanning for aligned reading frames and decoding them.
// Garbage never yields a frame off its markers, a channel outside T1 to T4, a
// type code outside 0 to 15 or a reading beyond what three bytes express; a
// frame built from a reading the meter can send decodes to that reading.

#include "fuzz_check.h"
#include "meter_link/frame_scanner.h"
#include "meter_link/live_reading.h"
#include "shared/reading_text.h"

#include <QStringList>

#include <cmath>
#include <cstdint>

using namespace quadtherm;
using meter_link::kFrameLength;

namespace {

quint8 byteAt(const QByteArray& bytes, qsizetype i) {
    return static_cast<quint8>(bytes[i]);
}

bool candidate(const QByteArray& bytes, qsizetype at) {
    return at + kFrameLength <= bytes.size() && byteAt(bytes, at) == meter_link::kStx &&
           byteAt(bytes, at + kFrameLength - 1) == meter_link::kEtx;
}

void checkScan(const QByteArray& bytes, const QList<int>& offsets) {
    for (qsizetype i = 0; i < offsets.size(); ++i) {
        const int at = offsets[i];
        FUZZ_CHECK(candidate(bytes, at));
        const bool chained = i > 0 && offsets[i - 1] + kFrameLength == at;
        FUZZ_CHECK(i == 0 || offsets[i - 1] + kFrameLength <= at); // in order, no overlap
        const bool confirmed = at + kFrameLength < bytes.size() &&
                               byteAt(bytes, at + kFrameLength) == meter_link::kStx;
        FUZZ_CHECK(chained || confirmed);
    }
    // No confirmed frame outside the ones found is missed.
    qsizetype next = 0;
    for (qsizetype at = 0; at + kFrameLength < bytes.size(); ++at) {
        while (next < offsets.size() && offsets[next] + kFrameLength <= at)
            ++next;
        const bool inside = next < offsets.size() && offsets[next] <= at;
        if (!inside && candidate(bytes, at) && byteAt(bytes, at + kFrameLength) == meter_link::kStx)
            FUZZ_CHECK(false);
    }
    for (int count = 1; count <= shared::kChannels; ++count) {
        int expected = -1;
        for (qsizetype first = 0; first + count <= offsets.size(); ++first)
            if (offsets[first + count - 1] - offsets[first] == (count - 1) * kFrameLength)
                expected = offsets[first];
        FUZZ_CHECK(meter_link::lastFrameRun(offsets, count) == expected);
    }
}

void checkDecoded(const shared::LiveState& live, const QByteArray& frame) {
    const int k = live.CurrentChannel;
    FUZZ_CHECK(k >= 0 && k < shared::kChannels && k == meter_link::frameChannel(frame));
    FUZZ_CHECK(live.TypeCode[k] >= 0 && live.TypeCode[k] <= 15);
    static const QStringList kLetters{"", "K", "J", "E", "T", "R", "S", "N", "L", "U", "B", "C"};
    FUZZ_CHECK(kLetters.contains(live.TypeLetter[k]));
    FUZZ_CHECK(live.UnitText ==
               (live.MeterFahrenheit ? QStringLiteral("°F") : QStringLiteral("°C")));
    // Two bytes and a sign give at most 65535; the tenths nibble adds under one.
    FUZZ_CHECK(std::abs(live.LiveValueF[k]) < 65536.0);
    bool number = false;
    FUZZ_CHECK(live.LiveTextF[k].toDouble(&number) == live.LiveValueF[k] && number);
    for (double offset : live.LiveOffset)
        FUZZ_CHECK(offset >= -12.8 && offset <= 12.7);
    // °C truncates toward zero to tenths, the offset taken off before and put back after.
    const double o = live.LiveOffset[k];
    const double exact = (live.LiveValueF[k] - o - 32) * 5 / 9 + o;
    FUZZ_CHECK(std::abs(live.LiveValueC[k] - exact) < 0.1 + 1e-6);
    FUZZ_CHECK(std::abs(live.LiveTextC[k].toDouble(&number) - live.LiveValueC[k]) < 0.05 + 1e-6);
    FUZZ_CHECK(number);
}

// A frame as the meter sends it, from fields drawn from the input.
void checkRoundTrip(const std::uint8_t* data) {
    const int channel = data[0] % 4;
    const bool fahrenheit = data[0] & 0x04;
    const bool recording = data[0] & 0x40;
    const int type = data[1] % 11;
    const quint8 status = data[2] & 0x68; // probe, over, under
    const int integer = data[3] << 8 | data[4];
    const bool negative = data[5] & 0x80;
    const int digit = (data[5] & 0x0F) % 10;
    const quint16 sent = negative && integer != 0 ? quint16(65536 - integer) : quint16(integer);
    QByteArray frame(kFrameLength, '\0');
    frame[0] = char(meter_link::kStx);
    frame[1] = char(channel | (fahrenheit ? 0x04 : 0) | (recording ? 0x40 : 0));
    frame[2] = char(type);
    frame[3] = char(status);
    frame[4] = char(sent >> 8);
    frame[5] = char(sent & 0xFF);
    frame[6] = char((negative ? 0x80 : 0) | digit);
    for (int j = 0; j < 4; ++j)
        frame[7 + j] = char(data[6 + j]);
    frame[11] = char(meter_link::kEtx);

    shared::LiveState live;
    meter_link::DecodeFrame(live, frame);
    FUZZ_CHECK(live.CurrentChannel == channel);
    FUZZ_CHECK(live.MeterFahrenheit == fahrenheit && live.MeterRecording == recording);
    FUZZ_CHECK(live.TypeCode[channel] == type);
    FUZZ_CHECK(live.TypeLetter[channel] == QLatin1String(shared::kThermocoupleTypes[type].letter));
    FUZZ_CHECK(live.ProbePresent[channel] == bool(status & 0x08));
    FUZZ_CHECK(live.OverRange[channel] == bool(status & 0x20));
    FUZZ_CHECK(live.UnderRange[channel] == bool(status & 0x40));
    const QString text = (negative ? QStringLiteral("-") : QString()) + QString::number(integer) +
                         u'.' + QString::number(digit);
    FUZZ_CHECK(live.LiveTextF[channel] == text);
    const double value = (negative ? -1 : 1) * (integer + digit / 10.0);
    FUZZ_CHECK(std::abs(live.LiveValueF[channel] - value) < 1e-9);
    for (int j = 0; j < 4; ++j)
        FUZZ_CHECK(live.LiveOffset[j] == std::int8_t(data[6 + j]) / 10.0);
    checkDecoded(live, frame);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<int> offsets = meter_link::findAlignedFrames(bytes);
    checkScan(bytes, offsets);

    // Every frame found, decoded as the live tick and the re-synchronisation do.
    shared::LiveState live, resync;
    for (int at : offsets) {
        const QByteArray frame = bytes.mid(at, kFrameLength);
        meter_link::DecodeFrame(live, frame);
        checkDecoded(live, frame);
        meter_link::DecodeResyncFrame(resync, frame);
        const int k = resync.CurrentChannel;
        FUZZ_CHECK(resync.RangeMinC[k] <= resync.RangeMaxC[k]);
        FUZZ_CHECK(resync.ScaleMinF[k] == resync.RangeMinF[k]);
        FUZZ_CHECK(std::abs(resync.LiveValueF[k]) < 65536.0);
    }
    if (size >= 10)
        checkRoundTrip(data);
    return 0;
}
