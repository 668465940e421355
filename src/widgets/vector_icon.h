#pragma once

#include <QIcon>
#include <QPointF>
#include <QString>

#include <functional>

class QPainter;

namespace quadtherm::widgets {

// Draws a picture on a square of kVectorIconGrid units in an icon mode.
using VectorDrawing = std::function<void(QPainter& painter, QIcon::Mode mode)>;
inline constexpr qreal kVectorIconGrid = 24.0;

// An icon drawn as vectors at whatever size it is shown, so it stays sharp
// at any size and device pixel ratio. `key` names the family of pictures.
QIcon vectorIcon(VectorDrawing draw, const QString& key);

// The point `radius` from `centre` at `degrees` counter-clockwise from three
// o'clock, on screen (y down).
QPointF polar(QPointF centre, qreal radius, qreal degrees);

} // namespace quadtherm::widgets
