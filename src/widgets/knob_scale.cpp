#include "widgets/knob_scale.h"

#include <algorithm>
#include <cmath>

namespace quadtherm::widgets {

namespace {

// Tick positions are found by dividing by the step: allow for the rounding of
// bounds such as 0.3 / 0.1.
constexpr double kTickSlack = 1e-9;
// A pathological span with a tiny step must not build a huge tick list.
constexpr double kMaxMinorTicks = 1000;
// Tick indices are whole numbers counted in doubles, exact only well below 2^53.
constexpr double kMaxTickIndex = 1e15;

bool sortedFinite(double minimum, double maximum, double& lo, double& hi) {
    if (!std::isfinite(minimum) || !std::isfinite(maximum) || !std::isfinite(maximum - minimum))
        return false;
    lo = std::min(minimum, maximum);
    hi = std::max(minimum, maximum);
    return true;
}

double firstIndex(double lo, double step) {
    return std::ceil(lo / step - kTickSlack);
}

double lastIndex(double hi, double step) {
    return std::floor(hi / step + kTickSlack);
}

// k * 0.1 is not exactly a tenth: round the product to the step's own decimals.
double tickValue(double k, double step) {
    const double value = k * step;
    if (step >= 1.0)
        return value;
    const double scale = std::pow(10.0, std::ceil(-std::log10(step)) + 1.0);
    return std::round(value * scale) / scale;
}

double decade(double value) {
    return std::pow(10.0, std::floor(std::log10(value)));
}

bool indexable(double lo, double hi, double step) {
    return std::abs(lo / step) < kMaxTickIndex && std::abs(hi / step) < kMaxTickIndex;
}

} // namespace

double knobTickStep(double minimum, double maximum, int maxTicks) {
    double lo = 0.0;
    double hi = 0.0;
    if (!sortedFinite(minimum, maximum, lo, hi) || hi - lo <= 0.0)
        return 0.0;
    const int allowed = std::clamp(maxTicks, 2, 1000);
    double magnitude = decade((hi - lo) / allowed) / 10.0;
    if (!(magnitude > 0.0))
        return 0.0;
    for (;;) {
        for (const double mantissa : {1.0, 2.0, 5.0}) {
            const double step = mantissa * magnitude;
            if (lastIndex(hi, step) - firstIndex(lo, step) + 1 <= allowed)
                return step;
        }
        magnitude *= 10.0;
    }
}

std::vector<double> knobMajorTicks(double minimum, double maximum, int maxTicks) {
    double lo = 0.0;
    double hi = 0.0;
    if (!sortedFinite(minimum, maximum, lo, hi))
        return {};
    const double step = knobTickStep(lo, hi, maxTicks);
    if (step <= 0.0 || !indexable(lo, hi, step))
        return {lo};
    std::vector<double> ticks;
    for (double k = firstIndex(lo, step), last = lastIndex(hi, step); k <= last; ++k)
        ticks.push_back(tickValue(k, step));
    return ticks;
}

std::vector<double> knobMinorTicks(double minimum, double maximum, double majorStep) {
    double lo = 0.0;
    double hi = 0.0;
    if (!sortedFinite(minimum, maximum, lo, hi) || !(majorStep > 0.0) || !std::isfinite(majorStep))
        return {};
    const double mantissa = std::round(majorStep / decade(majorStep));
    const int divisions = mantissa == 2.0 ? 4 : 5;
    const double step = majorStep / divisions;
    if (!indexable(lo, hi, step))
        return {};
    const double first = firstIndex(lo, step);
    const double last = lastIndex(hi, step);
    if (last - first > kMaxMinorTicks)
        return {};
    std::vector<double> ticks;
    for (double k = first; k <= last; ++k) {
        if (std::fmod(k, divisions) != 0.0)
            ticks.push_back(tickValue(k, step));
    }
    return ticks;
}

double knobAngleForValue(double value, double minimum, double maximum) {
    const double span = maximum - minimum;
    if (span == 0.0 || !std::isfinite(span) || std::isnan(value))
        return kKnobStartAngle;
    return kKnobStartAngle - kKnobSweep * std::clamp((value - minimum) / span, 0.0, 1.0);
}

double knobFractionForAngle(double angle) {
    if (!std::isfinite(angle))
        return 0.0;
    double along = std::fmod(kKnobStartAngle - angle, 360.0);
    if (along < 0.0)
        along += 360.0;
    if (along <= kKnobSweep)
        return along / kKnobSweep;
    return along < kKnobSweep + (360.0 - kKnobSweep) / 2.0 ? 1.0 : 0.0;
}

double knobDragFraction(double fraction, double fromAngle, double toAngle) {
    double turn = std::fmod(toAngle - fromAngle, 360.0);
    if (!std::isfinite(turn))
        return fraction;
    if (turn > 180.0)
        turn -= 360.0;
    else if (turn <= -180.0)
        turn += 360.0;
    return fraction - turn / kKnobSweep;
}

double knobValueForFraction(double fraction, double minimum, double maximum) {
    return minimum + std::clamp(fraction, 0.0, 1.0) * (maximum - minimum);
}

double roundUserValue(double value) {
    return std::round(value * 10.0) / 10.0;
}

double knobUserStep(double minimum, double maximum, double fraction) {
    constexpr double kSmallest = 0.1;
    const double target = std::abs(maximum - minimum) * fraction;
    if (!std::isfinite(target) || target <= kSmallest)
        return kSmallest;
    const double magnitude = decade(target);
    double best = magnitude;
    for (const double mantissa : {2.0, 5.0, 10.0}) {
        const double candidate = mantissa * magnitude;
        if (std::abs(std::log(target / candidate)) < std::abs(std::log(target / best)))
            best = candidate;
    }
    return best;
}

QString knobTickLabel(double value, double step) {
    if (!std::isfinite(value))
        return {};
    if (std::abs(value) >= 1e6)
        return QString::number(value, 'g', 3);
    if (std::abs(value) >= 10000.0 && std::fmod(value, 1000.0) == 0.0)
        return QString::number(value / 1000.0, 'f', 0) + QLatin1Char('k');
    const int decimals =
        step > 0.0 && step < 1.0 ? static_cast<int>(std::ceil(-std::log10(step) - 1e-9)) : 0;
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

} // namespace quadtherm::widgets
