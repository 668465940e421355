#pragma once

#include "graphs/track_mode.h"

#include <QObject>
#include <QPointF>

class QColor;
class QComboBox;
class QCPSelectionRect;
class QCustomPlot;
class QGroupBox;
class QMouseEvent;
class QPlainTextEdit;
class QRect;
class QWidget;

namespace quadtherm::graphs {

// The "Track Mode" frame of a plot window: `Combo1` with the eight track
// modes (none chosen yet) above the read-only `txtDescription`.
QGroupBox* trackModeBox(QWidget* parent, QComboBox*& combo, QPlainTextEdit*& description);

// A track mode on a plot, through QCustomPlot's own interactions: dragging
// pans and the wheel zooms only the mode's axes, a dragged rectangle zooms
// them in the zoom modes (drawn as the band it zooms to), and in "Cursor
// Coordinates" a left drag reports where the mouse is, in axis coordinates,
// for the cursor to follow.
class TrackControl : public QObject {
    Q_OBJECT
public:
    explicit TrackControl(QCustomPlot& plot);

    TrackMode mode() const { return m_mode; }
    void setMode(TrackMode mode);
    // The rectangle (in the plot's pixels) as a zoom of the mode's axes.
    void zoomTo(const QRect& pixels);
    // The band drawn while a zoom rectangle is dragged; empty otherwise.
    QRect zoomBandShown() const;
    // Its outline colour; the fill is a faint wash of it.
    void setZoomBandLook(const QColor& colour);

Q_SIGNALS:
    // A left press or drag in "Cursor Coordinates"; `pressed` on the press.
    void cursorDragged(QPointF coordinates, bool pressed);

private:
    void mousePressed(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);

    QCustomPlot& m_plot;
    QCPSelectionRect* m_band = nullptr;
    TrackMode m_mode = TrackMode::Normal;
    bool m_dragging = false;
};

} // namespace quadtherm::graphs
