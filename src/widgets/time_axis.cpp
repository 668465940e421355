#include "widgets/time_axis.h"

#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cmath>

namespace quadtherm::widgets {

namespace {

constexpr qint64 kMinute = 60;
constexpr qint64 kHour = 3600;
constexpr qint64 kDay = 86400;
// Steps that land on round clock readings, below a day.
constexpr std::array<qint64, 17> kClockSteps{
    1,       2,           5,           10,           15,           30,
    kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
    kHour,   2 * kHour,   3 * kHour,   6 * kHour,    12 * kHour};
// A hair of the step: positions computed in floating point may land just
// outside the view they belong to.
constexpr double kSlack = 1e-9;
constexpr qint64 kLongestDays = 1'000'000'000'000;

qint64 floorDiv(qint64 a, qint64 b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// The unit the labels of a step count in, and its name.
std::pair<qint64, QString> unitOf(qint64 step) {
    if (step < kMinute)
        return {1, QStringLiteral("s")};
    if (step < kHour)
        return {kMinute, QStringLiteral("min")};
    if (step < kDay)
        return {kHour, QStringLiteral("h")};
    return {kDay, QStringLiteral("d")};
}

QString beforeNowLabel(qint64 secondsBefore, qint64 step) {
    if (secondsBefore == 0)
        return QStringLiteral("now");
    const auto [unit, name] = unitOf(step);
    // A true minus sign: a hyphen reads as a dash between two labels.
    return QStringLiteral("\u2212%1 %2").arg(secondsBefore / unit).arg(name);
}

QString clockLabel(qint64 localSeconds, qint64 step) {
    // The local reading itself, so no zone shifts it a second time.
    const QDateTime at = QDateTime::fromSecsSinceEpoch(localSeconds, QTimeZone::utc());
    if (step < kMinute)
        return at.toString(QStringLiteral("hh:mm:ss"));
    if (step < kDay)
        return at.toString(QStringLiteral("hh:mm"));
    return at.toString(QStringLiteral("d MMM"));
}

} // namespace

qint64 timeAxisStep(double spanSeconds, int maxTicks) {
    if (!std::isfinite(spanSeconds) || spanSeconds <= 0)
        return kClockSteps.front();
    const int most = std::max(maxTicks, 2);
    const auto fits = [&](double step) {
        return std::floor(spanSeconds / step + kSlack) + 1 <= most;
    };
    for (const qint64 step : kClockSteps)
        if (fits(double(step)))
            return step;
    // A step as long as the span always fits; past the range of qint64 no
    // span of a chart reaches.
    for (qint64 days = 1; days < kLongestDays; days *= 10)
        for (const qint64 factor : {1, 2, 5})
            if (fits(double(factor * days * kDay)))
                return factor * days * kDay;
    return kLongestDays * kDay;
}

std::vector<TimeTick> timeAxisTicks(const TimeAxisView& view, TimeAxisMode mode, int maxTicks) {
    std::vector<TimeTick> ticks;
    const double interval = view.intervalSeconds;
    if (!(interval > 0) || !std::isfinite(view.lower) || !std::isfinite(view.upper) ||
        !std::isfinite(view.newestX) || view.upper < view.lower)
        return ticks;
    if (mode == TimeAxisMode::ClockTime && !view.newestTime.isValid())
        return ticks;
    const qint64 step = timeAxisStep((view.upper - view.lower) * interval, maxTicks);
    const double last = std::min(view.upper, view.newestX) + kSlack;
    const double first = view.lower - kSlack;
    // Seconds of the newest point on the local clock, and the first labelled
    // time at or before it.
    qint64 newest = 0;
    qint64 latest = 0;
    if (mode == TimeAxisMode::ClockTime) {
        // One offset for the whole span: across a change to or from summer
        // time the older labels are an hour out, as a wall clock was.
        newest = view.newestTime.toSecsSinceEpoch() + view.newestTime.offsetFromUtc();
        latest = floorDiv(newest, step) * step;
    }
    // The newest point may lie right of the view; start at the first
    // labelled time inside it.
    const double hidden = std::max(0.0, (view.newestX - view.upper) * interval);
    if (!(hidden / double(step) < 1e15))
        return ticks; // no chart is that far on
    for (qint64 before = qint64(std::floor(hidden / double(step))) * step;; before += step) {
        const qint64 secondsBefore =
            mode == TimeAxisMode::ClockTime ? newest - latest + before : before;
        const double x = view.newestX - double(secondsBefore) / interval;
        if (x < first)
            break;
        if (x <= last)
            ticks.push_back({x, mode == TimeAxisMode::ClockTime
                                    ? clockLabel(latest - before, step)
                                    : beforeNowLabel(secondsBefore, step)});
    }
    std::reverse(ticks.begin(), ticks.end());
    return ticks;
}

} // namespace quadtherm::widgets
