#include "graphs/channel_plot.h"

#include "shared/history.h"
#include "shared/reading_text.h"

#include <algorithm>

namespace quadtherm::graphs {

QString channelPlotTag(int channel, bool fahrenheit) {
    return QString::number(channel + 1) + shared::unitText(fahrenheit);
}

QVector<float> historyCopy(const shared::History& history, int channel, int count,
                           bool fahrenheit) {
    QVector<float> copy(std::clamp(count, 0, shared::History::kCapacity));
    for (qsizetype i = 0; i < copy.size(); ++i)
        copy[i] = fahrenheit ? history.HistoryF(channel, int(i + 1))
                             : history.HistoryC(channel, int(i + 1));
    return copy;
}

} // namespace quadtherm::graphs
