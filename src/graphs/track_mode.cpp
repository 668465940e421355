#include "graphs/track_mode.h"

#include <algorithm>

namespace quadtherm::graphs {

std::optional<TrackModeEntry> trackModeAt(int index) {
    if (index < 0 || index >= int(kTrackModes.size()))
        return std::nullopt;
    return kTrackModes[size_t(index)];
}

TrackRules trackRules(TrackMode mode) {
    constexpr Qt::Orientations both = Qt::Horizontal | Qt::Vertical;
    constexpr Qt::Orientations none;
    switch (mode) {
    case TrackMode::Normal:
        break;
    case TrackMode::CursorCoordinates:
        return {none, none, none, true};
    case TrackMode::PanXY:
        return {both, none, both};
    case TrackMode::PanX:
        return {Qt::Horizontal, none, Qt::Horizontal};
    case TrackMode::PanY:
        return {Qt::Vertical, none, Qt::Vertical};
    case TrackMode::ZoomXY:
        return {none, both, both};
    case TrackMode::ZoomX:
        return {none, Qt::Horizontal, Qt::Horizontal};
    case TrackMode::ZoomY:
        return {none, Qt::Vertical, Qt::Vertical};
    }
    return {none, none, none};
}

QRect zoomBand(const QRect& dragged, const QRect& area, Qt::Orientations zoomed) {
    // The pixels from one corner to the other, whichever way the drag went
    // (QRect::normalized() moves the ends of a rectangle dragged backwards).
    const QPoint from(std::min(dragged.left(), dragged.right()),
                      std::min(dragged.top(), dragged.bottom()));
    const QPoint to(std::max(dragged.left(), dragged.right()),
                    std::max(dragged.top(), dragged.bottom()));
    if (zoomed == Qt::Horizontal)
        return {QPoint(from.x(), area.top()), QPoint(to.x(), area.bottom())};
    if (zoomed == Qt::Vertical)
        return {QPoint(area.left(), from.y()), QPoint(area.right(), to.y())};
    return {from, to};
}

} // namespace quadtherm::graphs
