#pragma once

#include <QString>

#include <array>

namespace quadtherm::shared {

inline constexpr int kChannels = 4;

template <typename T> using PerChannel = std::array<T, kChannels>;

// The live state of the four channels as the meter's reading frames describe
// them. Index 0 is T1 ... 3 is T4. Refreshed by the live tick, shown and
// recorded by the once-a-second cycle.
struct LiveState {
    int CurrentChannel = 0;
    bool MeterFahrenheit = false;
    QString UnitText = QStringLiteral("°C");
    bool MeterRecording = false;
    bool MemoryFull = false;

    PerChannel<int> TypeCode{};
    PerChannel<QString> TypeLetter{};
    PerChannel<int> RangeMinC{}, RangeMaxC{}, RangeMinF{}, RangeMaxF{};
    PerChannel<int> ScaleMinC{}, ScaleMaxC{}, ScaleMinF{}, ScaleMaxF{};
    PerChannel<bool> ProbePresent{}, OverRange{}, UnderRange{};
    PerChannel<double> LiveOffset{};
    PerChannel<QString> LiveTextF{}, LiveTextC{};
    PerChannel<double> LiveValueF{}, LiveValueC{};

    // What the channel displays were last set up for; a difference is a change.
    QString PrevUnitText = QStringLiteral("X");
    PerChannel<int> PrevTypeCode{11, 11, 11, 11};
    PerChannel<bool> PrevProbePresent{};
};

// One channel of the live state as its last frame left it.
struct LiveChannel {
    int channel = 0; // 0 is T1
    bool present = false;
    bool over = false;
    bool under = false;
    QString type; // the thermocouple letter, empty when unknown
    QString textC, textF;
};

inline LiveChannel liveChannel(const LiveState& live, int k) {
    return {k,
            live.ProbePresent[k],
            live.OverRange[k],
            live.UnderRange[k],
            live.TypeLetter[k],
            live.LiveTextC[k],
            live.LiveTextF[k]};
}

} // namespace quadtherm::shared
