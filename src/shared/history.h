#pragma once

#include "shared/live_state.h"

#include <QVector>

#include <vector>

namespace quadtherm::shared {

// Every channel's °C and °F reading at each recording cycle, for the graph.
// Cycles are numbered from 1; the arrays grow as cycles arrive, up to the
// capacity, so a short run does not hold the full 27 MB.
class History {
public:
    static constexpr int kCapacity = 864000;

    // False (and nothing stored) when `cycle` is outside 1..kCapacity.
    bool store(int channel, int cycle, float valueC, float valueF);
    // The stored reading, 0 for a cycle never written.
    float HistoryC(int channel, int cycle) const { return at(m_c, channel, cycle); }
    float HistoryF(int channel, int cycle) const { return at(m_f, channel, cycle); }
    // Cycles 1 to `count` of a channel's °C or °F readings, as a copy of
    // its own (element 0 is cycle 1): later cycles do not change it.
    QVector<float> copy(int channel, int count, bool fahrenheit) const;

private:
    static float at(const PerChannel<std::vector<float>>& values, int channel, int cycle);

    PerChannel<std::vector<float>> m_c, m_f;
};

} // namespace quadtherm::shared
