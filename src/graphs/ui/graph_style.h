#pragma once

#include <QColor>

class QCustomPlot;

namespace quadtherm::graphs {

// The two looks of a large graph: the dark instrument panel on screen, and
// black on white for paper and for saved pictures that go into documents.
enum class GraphLook { Screen, Paper };

// Background, axes, grid, tick labels, captions and legend of the plot.
// Traces keep their colours; the paper look darkens them so that the light
// channel colours stay readable on white.
void applyGraphLook(QCustomPlot& plot, GraphLook look);

// A channel's trace colour in a look.
QColor traceColor(int channel, GraphLook look);

// A window's style sheet while it is printed: white, black text, the frames
// of group boxes without their border.
QString paperStyleSheet();

} // namespace quadtherm::graphs
