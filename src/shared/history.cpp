#include "shared/history.h"

#include <algorithm>

namespace quadtherm::shared {

bool History::store(int channel, int cycle, float valueC, float valueF) {
    if (channel < 0 || channel >= kChannels || cycle < 1 || cycle > kCapacity)
        return false;
    auto& c = m_c[channel];
    auto& f = m_f[channel];
    const auto needed = static_cast<size_t>(cycle) + 1;
    if (c.size() < needed) {
        c.resize(needed);
        f.resize(needed);
    }
    c[cycle] = valueC;
    f[cycle] = valueF;
    return true;
}

QVector<float> History::copy(int channel, int count, bool fahrenheit) const {
    QVector<float> out(std::clamp(count, 0, kCapacity));
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = fahrenheit ? HistoryF(channel, int(i + 1)) : HistoryC(channel, int(i + 1));
    return out;
}

float History::at(const PerChannel<std::vector<float>>& values, int channel, int cycle) {
    if (channel < 0 || channel >= kChannels || cycle < 0)
        return 0.0f;
    const auto& v = values[channel];
    return static_cast<size_t>(cycle) < v.size() ? v[cycle] : 0.0f;
}

} // namespace quadtherm::shared
