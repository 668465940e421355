#pragma once

#include <vector>

namespace quadtherm::graphs {

// The smallest of 1, 2, 2.5 and 5 times a power of ten that is at least
// `rough` (positive and finite; anything else gives 1).
double niceStep(double rough);

// The smallest of 1, 2 and 5 times a whole power of ten that is at least
// `rough`: a step between counts, which has no fractions (1 when `rough` is
// not positive and finite).
double wholeNumberStep(double rough);

// Tick values at a nice step, every multiple of the step from `lower` to
// `upper` inclusive, at most about `maxTicks` of them. Empty when the range
// is empty or not finite.
std::vector<double> niceTicks(double lower, double upper, int maxTicks);

// The labelled values of a scale: both ends, and between them every nice
// step from the lower end when the span is a whole number of steps, or else
// the nice ticks that keep at least half a step away from either end, so no
// two labels crowd each other.
std::vector<double> scaleTicks(double lower, double upper, int maxTicks);

} // namespace quadtherm::graphs
