#pragma once

#include <QString>

#include <optional>

namespace quadtherm::shared {

// A whole decimal number from `low` to `high` as a user typed it (spaces
// around it allowed). Nothing for a fraction, a number out of range or too
// large for any type, or text: a command line refuses these instead of
// rounding, clamping or wrapping them.
std::optional<qint64> wholeNumberIn(const QString& text, qint64 low, qint64 high);

} // namespace quadtherm::shared
