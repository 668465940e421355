#pragma once

#include <QString>

#include <optional>

namespace quadtherm::shared {

// A whole decimal number from `low` to `high`, written as ASCII digits with
// at most a minus sign before them ("05" is 5). Nothing for spaces around
// it, a plus sign, a fraction, a number out of range or too large for any
// type, or text: a command line refuses these instead of trimming,
// rounding, clamping or wrapping them. A caller reading text meant for the
// eye (a grid cell) trims it first.
std::optional<qint64> wholeNumberIn(QStringView text, qint64 low, qint64 high);

} // namespace quadtherm::shared
