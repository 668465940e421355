#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace quadtherm::logger_memory {

// The memory size the meter reports in units of 64 K; a meter that gives
// no framed answer counts as 8 (512 K).
int memorySizeCode(std::optional<int> reply);
// "512 K".
QString memorySizeText(int sizeCode);
// Kilobytes left for record sets. The meter counts 65535 bytes a unit here,
// and keeps its last 4 K spare: past that, or with the memory-full bit of
// the live frames set, nothing is free.
double freeKilobytes(double memoryPointer, int sizeCode, bool memoryFull);
// "453.4 K".
QString freeMemoryText(double memoryPointer, int sizeCode, bool memoryFull);

// One decimal, halves away from zero: 37.25 gives "37.3".
QString oneDecimal(double value);
// "37.5% Completed": the share of a reply received so far.
QString progressText(qint64 received, qint64 total);
// "37.5": the share of a set's records listed so far.
QString percentText(qint64 done, qint64 total);

// The printed manual readings: five blank lines on top; every line five
// spaces, then the six cells right-aligned in these widths; a rule under
// the heading row.
inline constexpr int kManualListingBlankLines = 5;
inline constexpr std::array<int, 6> kManualListingWidths{7, 21, 11, 11, 11, 11};
// A cell longer than its field is printed whole, pushing the rest right.
QString manualListingLine(const QStringList& cells);
// Five spaces and 73 hyphens.
QString manualListingRule();

} // namespace quadtherm::logger_memory
