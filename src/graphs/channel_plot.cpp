#include "graphs/channel_plot.h"

#include "shared/reading_text.h"

namespace quadtherm::graphs {

QString channelPlotTag(int channel, bool fahrenheit) {
    return QString::number(channel + 1) + shared::unitText(fahrenheit);
}

} // namespace quadtherm::graphs
