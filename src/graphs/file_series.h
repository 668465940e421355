#pragma once

#include "recording/data_file.h"
#include "shared/live_state.h"

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace quadtherm::graphs {

// A whole data file as four series against its own clock: what the file
// plot draws.
struct FileSeries {
    bool celsius = true;
    // "T1 - K" … as the heading line names the channels.
    shared::PerChannel<QString> headings;
    // The "Date Time" of each record in seconds since 1970/01/01 00:00:00 of
    // the same clock, read as written (no time zone, no daylight saving
    // shift), in time order.
    std::vector<double> times;
    // One value per time; NaN where the cell is not a reading ("Over",
    // "Under", "- - -"), which the plot draws as a gap.
    shared::PerChannel<std::vector<double>> values;
    shared::PerChannel<qsizetype> readings{};
    // Record lines left out because their "Date Time" is not one.
    qsizetype undatedLines = 0;
};

// Line 0 is the heading; every later line a record.
FileSeries fileSeries(const recording::DataFileLines& lines);

// "yyyy/mm/dd hh:nn:ss" as seconds since 1970/01/01 00:00:00 of that clock;
// nothing for any other text or an impossible date.
std::optional<double> clockSeconds(QByteArrayView dateTime);

// The tick label format for a time axis spanning `seconds`.
QString timeAxisFormat(double seconds);

} // namespace quadtherm::graphs
