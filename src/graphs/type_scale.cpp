#include "graphs/type_scale.h"

#include "shared/reading_text.h"

namespace quadtherm::graphs {

PlotScale typeScale(QStringView typeLetter, bool fahrenheit, PlotScale previous) {
    // The graph's scale is the type's measuring range.
    for (const auto& type : shared::kThermocoupleTypes) {
        if (typeLetter != QLatin1String(type.letter))
            continue;
        return fahrenheit ? PlotScale{double(type.minF), double(type.maxF)}
                          : PlotScale{double(type.minC), double(type.maxC)};
    }
    return previous;
}

} // namespace quadtherm::graphs
