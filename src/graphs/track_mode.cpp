#include "graphs/track_mode.h"

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

} // namespace quadtherm::graphs
