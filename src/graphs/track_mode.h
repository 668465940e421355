#pragma once

#include <QRect>
#include <QString>
#include <Qt>

#include <array>
#include <optional>

namespace quadtherm::graphs {

// What a drag, the mouse wheel and a dragged rectangle do on a graph. The
// values are the graph's own track mode numbers.
enum class TrackMode {
    Normal = 1,
    CursorCoordinates = 2,
    PanXY = 3,
    PanX = 4,
    PanY = 5,
    ZoomXY = 6,
    ZoomX = 7,
    ZoomY = 8,
};

// One entry of the track mode list, in list order.
struct TrackModeEntry {
    const char* entry;
    TrackMode mode;
    const char* description;
};

inline constexpr std::array<TrackModeEntry, 8> kTrackModes{{
    {"Normal", TrackMode::Normal, "Normal mode"},
    {"Cursor Coordinates", TrackMode::CursorCoordinates,
     "Drag the cursor with your mouse to get X (Count) and Y (Temperature) position."},
    {"PanXY", TrackMode::PanXY,
     "Click anywhere on the plot area and drag to pan the graph both horizontally and "
     "vertically."},
    {"PanX", TrackMode::PanX,
     "Click anywhere on the plot area and drag to pan the graph horizontally."},
    {"PanY", TrackMode::PanY,
     "Click anywhere on the plot area and drag to pan the graph vertically."},
    {"ZoomXY", TrackMode::ZoomXY,
     "Select a region on the graph to zoom both horizontally and vertically."},
    {"ZoomX", TrackMode::ZoomX, "Select a region on the graph to zoom horizontally."},
    {"ZoomY", TrackMode::ZoomY, "Select a region on the graph to zoom vertically."},
}};

// The entry at a list index; nothing outside 0 to 7.
std::optional<TrackModeEntry> trackModeAt(int index);

// Which axes each gesture moves in a mode. A pan mode drags its axes and its
// wheel zooms them; a zoom mode zooms them to a dragged rectangle and with
// the wheel. "Normal" and "Cursor Coordinates" leave the view still; the
// cursor follows a drag only in "Cursor Coordinates".
struct TrackRules {
    Qt::Orientations drag;
    Qt::Orientations rectangleZoom;
    Qt::Orientations wheel;
    bool cursor = false;
};
TrackRules trackRules(TrackMode mode);

// What a zoom mode draws while a rectangle is dragged over the plotting
// area `area`: the rectangle itself when it zooms both axes; when it zooms
// one, a band across the whole area along the other (ZoomX a band of the
// dragged width and the area's full height, ZoomY the other way round),
// since that is the view it will show.
QRect zoomBand(const QRect& dragged, const QRect& area, Qt::Orientations zoomed);

} // namespace quadtherm::graphs
