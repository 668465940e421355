#include "widgets/app_icon.h"

#include "widgets/theme.h"
#include "widgets/vector_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quadtherm::widgets {

namespace {

// Drawn on a 64-unit square, the detailed drawing from 48 pixels up; below
// that the columns are fitted to whole pixels.
constexpr qreal kIconGrid = 64.0;
constexpr int kDetailedFrom = 48;

// Each channel's reading, as the part of its tube the liquid fills: four
// different temperatures.
const qreal kFilled[] = {0.5, 0.8, 0.38, 0.65};

constexpr qreal kColumnSpacing = 13;
constexpr qreal kTubeTop = 11;
constexpr qreal kBulbY = 48;

QRectF circleAround(QPointF centre, qreal radius) {
    return {centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius};
}

// A tube with a rounded top ending in a bulb, as one outline of arcs (a
// path union would flatten the curves into facets).
QPainterPath thermometer(qreal x, qreal top, qreal halfWidth, qreal bulbRadius) {
    const qreal rise = std::sqrt(bulbRadius * bulbRadius - halfWidth * halfWidth);
    const qreal joinDegrees = std::atan2(rise, halfWidth) * 180 / std::numbers::pi;
    QPainterPath outline;
    outline.moveTo(x - halfWidth, kBulbY - rise);
    outline.lineTo(x - halfWidth, top + halfWidth);
    outline.arcTo(circleAround({x, top + halfWidth}, halfWidth), 180, -180);
    outline.lineTo(x + halfWidth, kBulbY - rise);
    outline.arcTo(circleAround({x, kBulbY}, bulbRadius), joinDegrees, -(180 + 2 * joinDegrees));
    outline.closeSubpath();
    return outline;
}

QBrush tileFace(qreal top, qreal bottom) {
    QLinearGradient face(0, top, 0, bottom);
    face.setColorAt(0, theme::kToolbarFace);
    face.setColorAt(1, theme::kPanelFace);
    return face;
}

QPen iconLine(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawDetailed(QPainter& p, qreal unitsPerPixel) {
    p.setPen(iconLine(theme::kFrameLine, std::max(2.0, unitsPerPixel)));
    p.setBrush(tileFace(4, 60));
    p.drawRoundedRect(QRectF(4, 4, 56, 56), 12, 12);

    // A scale behind the glass.
    QColor tick = theme::kFrameLine;
    tick.setAlphaF(0.6f);
    p.setPen(QPen(tick, std::max(1.0, unitsPerPixel), Qt::SolidLine, Qt::FlatCap));
    for (qreal y : {18.0, 26.0, 34.0, 42.0})
        p.drawLine(QPointF(9, y), QPointF(55, y));

    for (int k = 0; k < 4; ++k) {
        const qreal x = kIconGrid / 2 + (k - 1.5) * kColumnSpacing;
        p.setPen(iconLine(theme::kMuted, std::max(1.5, unitsPerPixel)));
        p.setBrush(theme::kWell);
        p.drawPath(thermometer(x, kTubeTop, 3, 5));
        const qreal level = kBulbY - kFilled[k] * (kBulbY - kTubeTop);
        p.setPen(Qt::NoPen);
        p.setBrush(theme::kChannelColors[size_t(k)]);
        p.drawPath(thermometer(x, level, 1.6, 3.2));
    }
}

// In whole pixels: a stem one or two pixels wide, a bulb with its corners cut
// and an empty tube above the liquid.
void drawSmall(QPainter& p, int pixels) {
    p.setPen(QPen(theme::kFrameLine, 1));
    p.setBrush(tileFace(0, pixels));
    p.drawRoundedRect(QRectF(0.5, 0.5, pixels - 1, pixels - 1), pixels / 6.0, pixels / 6.0);

    const int stem = pixels >= 32 ? 2 : 1;
    const int bulb = stem + 2;
    const int spacing = pixels * 13 / 64;
    const int left = (pixels - 3 * spacing - stem) / 2;
    const int top = int(std::lround(pixels * 0.15));
    const int bulbTop = pixels - top - bulb;
    p.setPen(Qt::NoPen);
    for (int k = 0; k < 4; ++k) {
        const int x = left + k * spacing;
        const int level = bulbTop - int(std::lround(kFilled[k] * (bulbTop - top)));
        p.setBrush(theme::kMuted.darker(170));
        p.drawRect(x, top, stem, level - top);
        p.setBrush(theme::kChannelColors[size_t(k)]);
        p.drawRect(x, level, stem, bulbTop + bulb - level);
        // Bulbs side by side need a pixel between them; at 16 pixels there
        // is none, and the columns alone read better than a band of bulbs.
        if (spacing - bulb >= 1)
            p.drawEllipse(circleAround({x + stem / 2.0, bulbTop + bulb / 2.0}, bulb / 2.0));
    }
}

} // namespace

void paintApplicationIcon(QPainter& painter, int pixels) {
    if (pixels <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (pixels >= kDetailedFrom) {
        painter.scale(pixels / kIconGrid, pixels / kIconGrid);
        drawDetailed(painter, kIconGrid / pixels);
    } else {
        drawSmall(painter, pixels);
    }
    painter.restore();
}

QIcon applicationIcon() {
    return vectorIcon(
        [](QPainter& painter, QIcon::Mode) {
            // vectorIcon has scaled its square onto the pixels asked for; the
            // drawing wants those pixels to choose its detail.
            const qreal scale = painter.worldTransform().m11();
            if (scale <= 0)
                return;
            painter.scale(1 / scale, 1 / scale);
            paintApplicationIcon(painter, int(std::lround(kVectorIconGrid * scale)));
        },
        QStringLiteral("quadtherm-application"));
}

} // namespace quadtherm::widgets
