#pragma once

#include <QString>
#include <QVector>

namespace quadtherm::shared {
class History;
}

namespace quadtherm::graphs {

// "1°C" for channel 0 in °C, "4°F" for channel 3 in °F.
QString channelPlotTag(int channel, bool fahrenheit);

// Cycles 1 to `count` of a channel's °C or °F history, as the graph's own
// copy (element 0 is cycle 1): later cycles do not change an open graph.
QVector<float> historyCopy(const shared::History& history, int channel, int count, bool fahrenheit);

} // namespace quadtherm::graphs
