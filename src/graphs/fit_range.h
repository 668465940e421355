#pragma once

#include <QVector>

#include <optional>

namespace quadtherm::graphs {

struct AxisSpan {
    double lower = 0;
    double upper = 0;
};

// The values from `lowest` to `highest` with a little room above and below:
// 5 % of their span each side, and a window of at least one degree around
// them, so a flat trace is not blown up to full height out of its noise.
AxisSpan withHeadroom(double lowest, double highest);

// What "Fit" shows of a series plotted at X = 1, 2, …: X from the first
// sample to the last (a lone sample keeps a span to be drawn in), Y every
// sample with headroom. Samples that are no number are gaps, left out;
// with none left there is no Y to fit.
struct FitRanges {
    AxisSpan x;
    std::optional<AxisSpan> y;
};
FitRanges fitRanges(const QVector<float>& values);

} // namespace quadtherm::graphs
