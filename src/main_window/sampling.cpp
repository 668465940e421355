#include "main_window/sampling.h"

#include "meter_link/meter_protocol.h"
#include "shared/reading_text.h"

#include <cmath>

namespace quadtherm::main_window {

bool isMemorySizeCode(const QString& answer) {
    return answer == QLatin1String("QMX7391") || answer == QLatin1String("qmx7391");
}

std::optional<int> intervalFromAnswer(const QString& answer, int maximum) {
    bool ok = false;
    const double value = answer.trimmed().toDouble(&ok);
    if (!ok || std::isnan(value))
        return std::nullopt;
    // nearbyint rounds halves to even in the default rounding mode.
    const double whole = std::nearbyint(value);
    if (whole > maximum)
        return maximum;
    if (whole < 1)
        return 1;
    return static_cast<int>(whole);
}

int memorySizeFromAnswer(const QString& answer) {
    const double value = shared::leadingNumber(answer);
    if (value == 0)
        return 0;
    for (const int size : meter_link::kMemorySizes)
        if (value == size)
            return size;
    return 1;
}

} // namespace quadtherm::main_window
