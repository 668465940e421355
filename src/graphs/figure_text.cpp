#include "graphs/figure_text.h"

#include <cmath>

namespace quadtherm::graphs {

namespace {

// Nine digits before the point still read at a glance.
constexpr double kLargestFixed = 1e9;

} // namespace

QString figureText(double value, int decimals, int significantDecimals) {
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    // Judged on the value as the fixed notation rounds it.
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale) / scale;
    const bool fixed = value == 0 || (rounded != 0 && std::abs(rounded) < kLargestFixed);
    if (!fixed)
        return QString::number(value, 'e', significantDecimals);
    QString text = QString::number(value, 'f', decimals);
    if (rounded == 0 && text.startsWith(QLatin1Char('-')))
        text.remove(0, 1);
    return text;
}

} // namespace quadtherm::graphs
