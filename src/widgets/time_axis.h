#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

namespace quadtherm::widgets {

// How a strip chart's X axis reads: the time before the newest point, or
// the time of day each point was taken.
enum class TimeAxisMode { BeforeNow, ClockTime };

struct TimeTick {
    double x = 0; // on the chart's X axis, which counts points
    QString label;
};

// A strip chart's X axis: points `intervalSeconds` apart, the newest at
// `newestX`, taken at `newestTime` (only the clock time needs it).
struct TimeAxisView {
    double lower = 0;
    double upper = 0;
    double newestX = 0;
    int intervalSeconds = 1;
    QDateTime newestTime;
};

// The time between two labels, in seconds: the smallest step of 1, 2, 5,
// 10, 15 or 30 seconds or minutes, 1, 2, 3, 6 or 12 hours, or 1, 2 or 5
// × 10^n days that puts at most `maxTicks` labels on `spanSeconds`.
qint64 timeAxisStep(double spanSeconds, int maxTicks);

// The labelled times of the view, ascending: whole steps before the newest
// point ("−4 min", "−2 min", "now"), or whole steps of the local clock
// ("14:04", "14:06"; "hh:mm:ss" below a minute, "4 Mar" from a day on).
// The step follows the whole visible span, so it keeps still while the
// chart fills; nothing right of the newest point, which is not yet taken,
// and nothing in clock time without `newestTime`.
std::vector<TimeTick> timeAxisTicks(const TimeAxisView& view, TimeAxisMode mode, int maxTicks);

} // namespace quadtherm::widgets
