#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace quadtherm::recording {

// The printed listing's columns: record number, date and time, four channels.
inline constexpr std::array<int, 6> kListingWidths{8, 21, 8, 8, 8, 8};

// The six cells right-aligned in their widths, with no separators. A cell
// longer than its field is printed whole, pushing the rest of the line
// right: a misaligned line loses nothing, a cut one would.
QString listingLine(const QStringList& six);
// Printed under the heading: one space and 62 hyphens.
QString listingRule();
// Shown before the first page, with CR between its lines.
QString listingPrinterNote();

} // namespace quadtherm::recording
