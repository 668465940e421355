#include "graphs/nice_numbers.h"

#include <algorithm>
#include <cmath>

namespace quadtherm::graphs {

double niceStep(double rough) {
    if (!(rough > 0) || !std::isfinite(rough))
        return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double mantissa : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        // A hair of slack: 0.3 / 0.1 is 2.9999999999999996.
        if (mantissa * power >= rough * (1 - 1e-12))
            return mantissa * power;
    }
    return 10.0 * power;
}

double wholeNumberStep(double rough) {
    if (!(rough > 1) || !std::isfinite(rough))
        return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double mantissa : {1.0, 2.0, 5.0}) {
        if (mantissa * power >= rough * (1 - 1e-12))
            return mantissa * power;
    }
    return 10.0 * power;
}

std::vector<double> niceTicks(double lower, double upper, int maxTicks) {
    std::vector<double> ticks;
    if (!std::isfinite(lower) || !std::isfinite(upper) || !(upper > lower))
        return ticks;
    const double step = niceStep((upper - lower) / std::max(1, maxTicks));
    const double first = std::ceil(lower / step - 1e-9);
    const double last = std::floor(upper / step + 1e-9);
    // A range too wide for a double's step (its span overflows) gives none.
    if (!(last - first < 10.0 * std::max(1, maxTicks) + 10))
        return ticks;
    for (double i = first; i <= last; ++i) {
        // Multiples, not sums, so no error builds up; and no "-0".
        const double tick = i * step;
        ticks.push_back(tick == 0 ? 0.0 : tick);
    }
    return ticks;
}

std::vector<double> scaleTicks(double lower, double upper, int maxTicks) {
    const std::vector<double> inner = niceTicks(lower, upper, maxTicks);
    if (inner.empty())
        return inner;
    const double step = niceStep((upper - lower) / std::max(1, maxTicks));
    // A span of whole steps is labelled from its lower end: 30 to 130 by
    // 30, 50, 70 … rather than 30, 40, 60 … 120, 130.
    const double steps = (upper - lower) / step;
    if (std::abs(steps - std::round(steps)) < 1e-9 * std::max(1.0, steps)) {
        std::vector<double> ticks;
        for (double k = 0; k < std::round(steps); ++k)
            ticks.push_back(lower + k * step);
        ticks.push_back(upper);
        return ticks;
    }
    std::vector<double> ticks{lower};
    for (const double tick : inner)
        if (tick - lower >= step / 2 && upper - tick >= step / 2)
            ticks.push_back(tick);
    ticks.push_back(upper);
    return ticks;
}

} // namespace quadtherm::graphs
