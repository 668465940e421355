#include "graphs/fit_range.h"

#include <algorithm>
#include <cmath>

namespace quadtherm::graphs {

namespace {

constexpr double kHeadroom = 0.05;
// Readings move in tenths: a narrower window shows their noise as swings.
constexpr double kNarrowestWindow = 1.0;

} // namespace

AxisSpan withHeadroom(double lowest, double highest) {
    if (lowest > highest)
        std::swap(lowest, highest);
    const double span = highest - lowest;
    const double middle = lowest / 2 + highest / 2;
    // Far from zero a degree is below a double's resolution: the window
    // then keeps a span the axis can draw.
    const double narrowest = std::max(kNarrowestWindow, std::abs(middle) * 1e-9);
    if (span * (1 + 2 * kHeadroom) < narrowest)
        return {middle - narrowest / 2, middle + narrowest / 2};
    return {lowest - span * kHeadroom, highest + span * kHeadroom};
}

FitRanges fitRanges(const QVector<float>& values) {
    FitRanges fit;
    fit.x = {1, double(std::max<qsizetype>(values.size(), 2))};
    bool any = false;
    double lowest = 0, highest = 0;
    for (const float v : values) {
        if (!std::isfinite(v))
            continue;
        lowest = any ? std::min(lowest, double(v)) : double(v);
        highest = any ? std::max(highest, double(v)) : double(v);
        any = true;
    }
    if (any)
        fit.y = withHeadroom(lowest, highest);
    return fit;
}

} // namespace quadtherm::graphs
