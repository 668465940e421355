#pragma once

#include <QIcon>

class QPainter;

namespace quadtherm::widgets {

// The program's own icon: four thermometers, one per channel in its colour,
// on a tile of the panel's dark face. It covers the square (0, 0) to
// (pixels, pixels); below 48 pixels the glass outlines and the scale give way
// to columns fitted to whole pixels, so the four colours stay apart.
void paintApplicationIcon(QPainter& painter, int pixels);

// The same drawing as a window icon, sharp at whatever size the desktop asks.
QIcon applicationIcon();

} // namespace quadtherm::widgets
