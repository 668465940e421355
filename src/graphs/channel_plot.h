#pragma once

#include <QString>

namespace quadtherm::graphs {

// "1°C" for channel 0 in °C, "4°F" for channel 3 in °F.
QString channelPlotTag(int channel, bool fahrenheit);

} // namespace quadtherm::graphs
