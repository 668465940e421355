#pragma once

#include <QString>

#include <optional>

namespace quadtherm::main_window {

inline constexpr int kPcIntervalMax = 86400;
inline constexpr int kMeterIntervalMax = 255;

// The answer that opens the memory size service instead of setting an interval.
bool isMemorySizeCode(const QString& answer);

// A sampling interval typed into the input box: rounded to a whole number
// (halves to even: 2.5 gives 2, 3.5 gives 4), then held to 1..`maximum`.
// Nothing for an answer that is not a number, so the box can ask again.
std::optional<int> intervalFromAnswer(const QString& answer, int maximum);

// The memory size typed into its input box: 1, 2, 4 or 8; any other number
// becomes 1; 0 when the answer does not start with a number (which cancels).
int memorySizeFromAnswer(const QString& answer);

} // namespace quadtherm::main_window
