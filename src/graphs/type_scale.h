#pragma once

#include <QStringView>

namespace quadtherm::graphs {

// The temperature scale a graph opens with.
struct PlotScale {
    double PlotYMin = 0;
    double PlotYMax = 0;
};

// The scale of a thermocouple type in °C or °F (K: -200 to 1370 °C). A
// letter that names no type keeps `previous`, so a graph of a channel whose
// type the meter did not say keeps the scale of the graph before it.
PlotScale typeScale(QStringView typeLetter, bool fahrenheit, PlotScale previous);

} // namespace quadtherm::graphs
