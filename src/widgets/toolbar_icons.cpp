#include "widgets/toolbar_icons.h"

#include "widgets/theme.h"
#include "widgets/vector_icon.h"

#include <QFont>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quadtherm::widgets {

namespace {

// Every image is drawn on a 24-unit square, the toolbar's own size, so one unit
// is one pixel there and strokes land where they were tuned.
constexpr qreal kGrid = kVectorIconGrid;
constexpr qreal kStroke = 2.0;

using theme::kAmber;
using theme::kCyan;
using theme::kGreen;
using theme::kMuted;
using theme::kRed;
const QColor& kLine = theme::kText;

struct Ink {
    QColor line;
    QColor accent;

    QColor wash() const {
        QColor tint = accent;
        tint.setAlphaF(0.3f);
        return tint;
    }
};

QPen stroke(const QColor& colour) {
    return QPen(colour, kStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QRectF around(QPointF centre, qreal radius) {
    return {centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius};
}

void arrowHead(QPainter& p, QPointF tip, qreal towardsDegrees, qreal size = 3.0) {
    const QPointF back1 = polar(tip, size, towardsDegrees + 180 - 45);
    const QPointF back2 = polar(tip, size, towardsDegrees + 180 + 45);
    p.drawPolyline(QPolygonF{back1, tip, back2});
}

void clockHands(QPainter& p, QPointF centre, qreal hour, qreal minute) {
    p.drawPolyline(
        QPolygonF{{centre.x(), centre.y() - minute}, centre, {centre.x() + hour, centre.y()}});
}

void drawDisk(QPainter& p, const Ink& ink) {
    QPainterPath body;
    body.moveTo(4, 6);
    body.quadTo(4, 4, 6, 4);
    body.lineTo(16, 4);
    body.lineTo(20, 8);
    body.lineTo(20, 18);
    body.quadTo(20, 20, 18, 20);
    body.lineTo(6, 20);
    body.quadTo(4, 20, 4, 18);
    body.closeSubpath();
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    p.drawPolyline(QPolygonF{{8, 4}, {8, 8}, {15, 8}, {15, 4}});
}

void drawStartRecording(QPainter& p, const Ink& ink) {
    drawDisk(p, ink);
    p.setPen(Qt::NoPen);
    p.setBrush(ink.accent);
    p.drawEllipse(around({12, 14}, 3.5));
}

void drawStopRecording(QPainter& p, const Ink& ink) {
    drawDisk(p, ink);
    p.setPen(Qt::NoPen);
    p.setBrush(ink.accent);
    p.drawRoundedRect(QRectF(9, 11, 6, 6), 1, 1);
}

void drawOpenFolder(QPainter& p, const Ink& ink) {
    QPainterPath back;
    back.moveTo(4, 19);
    back.lineTo(4, 7);
    back.quadTo(4, 5, 6, 5);
    back.lineTo(9, 5);
    back.lineTo(11, 7);
    back.lineTo(17, 7);
    back.quadTo(19, 7, 19, 9);
    back.lineTo(19, 11);
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawPath(back);

    p.setPen(stroke(ink.accent));
    p.drawPolygon(QPolygonF{{4, 19}, {7, 11}, {21, 11}, {18, 19}});
}

void drawStopwatch(QPainter& p, const Ink& ink) {
    const QPointF centre(12, 14);
    QPainterPath elapsed;
    elapsed.moveTo(centre);
    elapsed.arcTo(around(centre, 4.5), 90, -120);
    elapsed.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(ink.wash());
    p.drawPath(elapsed);

    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(around(centre, 7));
    p.drawLine(QPointF(12, 7), QPointF(12, 4));
    p.drawLine(QPointF(10, 3), QPointF(14, 3));
    p.drawLine(polar(centre, 7, 45), polar(centre, 9, 45));

    p.setPen(stroke(ink.accent));
    p.drawPolyline(QPolygonF{{12, 10}, centre, polar(centre, 4.5, -30)});
}

void drawTable(QPainter& p, const Ink& ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink.wash());
    p.drawRoundedRect(QRectF(4, 4, 16, 5), 2, 2);
    p.drawRect(QRectF(4, 6, 16, 3));

    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(4, 4, 16, 15), 2, 2);
    p.drawLine(QPointF(10, 9), QPointF(10, 19));
    p.drawLine(QPointF(4, 14), QPointF(20, 14));
    p.setPen(stroke(ink.accent));
    p.drawLine(QPointF(4, 9), QPointF(20, 9));
}

void drawLineChart(QPainter& p, const Ink& ink) {
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{{4, 4}, {4, 20}, {20, 20}});
    p.setPen(stroke(ink.accent));
    p.drawPolyline(QPolygonF{{7, 16}, {11, 11}, {14, 14}, {20, 7}});
}

void drawClockSync(QPainter& p, const Ink& ink) {
    const QPointF centre(10, 14);
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(around(centre, 6));
    clockHands(p, centre, 2.5, 3.5);

    QPainterPath sweep;
    sweep.arcMoveTo(around(centre, 10), 105);
    sweep.arcTo(around(centre, 10), 105, -100);
    p.setPen(stroke(ink.accent));
    p.drawPath(sweep);
    arrowHead(p, polar(centre, 10, 5), -95);
}

void drawChip(QPainter& p, const Ink& ink) {
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(7, 4, 10, 16), 1.5, 1.5);
    for (qreal y : {8.0, 12.0, 16.0}) {
        p.drawLine(QPointF(4, y), QPointF(7, y));
        p.drawLine(QPointF(17, y), QPointF(20, y));
    }
}

void drawLoggerDownload(QPainter& p, const Ink& ink) {
    drawChip(p, ink);
    p.setPen(stroke(ink.accent));
    p.drawLine(QPointF(12, 8), QPointF(12, 15));
    arrowHead(p, {12, 15}, -90, 2.75);
}

void drawLoggerErase(QPainter& p, const Ink& ink) {
    drawChip(p, ink);
    p.setPen(stroke(ink.accent));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
    p.drawLine(QPointF(14.5, 9.5), QPointF(9.5, 14.5));
}

void drawKeypad(QPainter& p, const Ink& ink) {
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5, 3, 14, 19), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(ink.accent);
    p.drawRoundedRect(QRectF(8, 6, 8, 4), 0.75, 0.75);
    p.setBrush(ink.line);
    for (qreal y : {13.0, 16.0, 19.0})
        for (qreal x : {9.0, 12.0, 15.0})
            p.drawRect(QRectF(x - 1, y - 1, 2, 2));
}

void drawPowerOffTime(QPainter& p, const Ink& ink) {
    const QPointF power(10, 12);
    const QPointF clock(18, 18);
    const qreal clockRadius = 4;

    // The clock sits on the power ring: keep a gap around it instead of
    // painting over, which would need an opaque background.
    QPainterPath outside;
    outside.addRect(QRectF(0, 0, kGrid, kGrid));
    QPainterPath gap;
    gap.addEllipse(around(clock, clockRadius + 2.5));
    p.save();
    p.setClipPath(outside.subtracted(gap), Qt::IntersectClip);
    QPainterPath ring;
    ring.arcMoveTo(around(power, 7), 60);
    ring.arcTo(around(power, 7), 60, -300);
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawPath(ring);
    p.drawLine(QPointF(power.x(), 3), QPointF(power.x(), 11));
    p.restore();

    p.setPen(stroke(ink.accent));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(around(clock, clockRadius));
    // Full-weight hands would fill so small a face.
    QPen hands = stroke(ink.accent);
    hands.setWidthF(kStroke * 0.75);
    p.setPen(hands);
    clockHands(p, clock, 1.5, 2);
}

// Glyphs go through a path fitted to a box, so the text scales like the strokes
// and does not depend on the font's hinting at small sizes.
void drawFittedText(QPainter& p, const QString& text, const QRectF& box, const QColor& colour) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(100);
    font.setBold(true);
    QPainterPath glyphs;
    glyphs.addText(0, 0, font, text);
    const QRectF bounds = glyphs.boundingRect();
    if (bounds.isEmpty())
        return;
    const qreal scale = std::min(box.width() / bounds.width(), box.height() / bounds.height());
    QTransform fit;
    fit.translate(box.center().x(), box.center().y());
    fit.scale(scale, scale);
    fit.translate(-bounds.center().x(), -bounds.center().y());
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(fit.map(glyphs));
}

void drawDegreeUnits(QPainter& p, const Ink& ink) {
    drawFittedText(p, QStringLiteral("\u00b0C"), QRectF(4, 1.5, 16, 8), ink.line);
    drawFittedText(p, QStringLiteral("\u00b0F"), QRectF(4, 14.5, 16, 8), ink.accent);
    p.setPen(stroke(ink.accent));
    p.drawLine(QPointF(6, 12), QPointF(18, 12));
}

void drawAlarmRange(QPainter& p, const Ink& ink) {
    QPainterPath bell;
    bell.moveTo(3, 17);
    bell.quadTo(4.5, 15.5, 4.5, 11.5);
    bell.arcTo(around({9, 11.5}, 4.5), 180, -180);
    bell.quadTo(13.5, 15.5, 15, 17);
    bell.closeSubpath();
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawPath(bell);
    p.drawLine(QPointF(9, 7), QPointF(9, 4));
    QPainterPath clapper;
    clapper.arcMoveTo(around({9, 18.5}, 2), 180);
    clapper.arcTo(around({9, 18.5}, 2), 180, 180);
    p.drawPath(clapper);

    p.setPen(stroke(ink.accent));
    p.drawLine(QPointF(20, 3), QPointF(20, 10));
    arrowHead(p, {20, 3}, 90, 2.75);
    p.drawLine(QPointF(20, 14), QPointF(20, 21));
    arrowHead(p, {20, 21}, -90, 2.75);
}

// The child windows' own keys.

void drawSaveFile(QPainter& p, const Ink& ink) {
    drawDisk(p, ink);
    p.setPen(stroke(ink.accent));
    p.drawLine(QPointF(12, 11), QPointF(12, 17));
    arrowHead(p, {12, 17}, -90, 2.5);
}

void drawPrinter(QPainter& p, const Ink& ink) {
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{{7, 9}, {7, 3.5}, {17, 3.5}, {17, 9}});
    QPainterPath body;
    body.moveTo(7, 17);
    body.lineTo(5, 17);
    body.quadTo(3, 17, 3, 15);
    body.lineTo(3, 11);
    body.quadTo(3, 9, 5, 9);
    body.lineTo(19, 9);
    body.quadTo(21, 9, 21, 11);
    body.lineTo(21, 15);
    body.quadTo(21, 17, 19, 17);
    body.lineTo(17, 17);
    p.drawPath(body);
    p.setPen(stroke(ink.accent));
    p.drawRect(QRectF(7, 14, 10, 7));
    p.setPen(Qt::NoPen);
    p.setBrush(ink.accent);
    p.drawEllipse(around({17.5, 12}, 1));
}

void drawHistogram(QPainter& p, const Ink& ink) {
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(3, 20.5), QPointF(21, 20.5));
    p.setPen(QPen(ink.accent, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(ink.wash());
    const qreal heights[] = {5, 11, 15, 8};
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(4.5 + i * 4, 18.5 - heights[i], 3, heights[i]));
}

void drawLimits(QPainter& p, const Ink& ink) {
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{{4, 20}, {20, 20}});
    p.setPen(QPen(ink.line, 1.5, Qt::DashLine, Qt::FlatCap));
    p.drawLine(QPointF(4, 5), QPointF(20, 5));
    p.drawLine(QPointF(4, 15), QPointF(20, 15));
    p.setPen(stroke(ink.accent));
    p.drawLine(QPointF(12, 7.5), QPointF(12, 12.5));
    arrowHead(p, {12, 7.5}, 90, 2.5);
    arrowHead(p, {12, 12.5}, -90, 2.5);
}

void drawSaveImage(QPainter& p, const Ink& ink) {
    p.setPen(stroke(ink.line));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(3, 4, 18, 15), 2, 2);
    p.setPen(stroke(ink.accent));
    p.drawPolyline(QPolygonF{{6, 15}, {10, 10}, {13, 13}, {18, 7.5}});
    p.setPen(Qt::NoPen);
    p.setBrush(ink.line);
    p.drawEllipse(around({8, 8}, 1.4));
}

using Drawing = void (*)(QPainter&, const Ink&);

struct Image {
    int index;
    Drawing draw;
    QColor accent;
};

const Image* findImage(int imageIndex) {
    static const Image kImages[] = {
        {1, drawStartRecording, kRed},    {2, drawOpenFolder, kAmber},
        {3, drawStopwatch, kCyan},        {4, drawTable, kCyan},
        {5, drawLineChart, kGreen},       {11, drawClockSync, kCyan},
        {12, drawLoggerDownload, kGreen}, {13, drawKeypad, kAmber},
        {14, drawLoggerErase, kRed},      {16, drawStopRecording, kRed},
        {17, drawPowerOffTime, kAmber},   {18, drawDegreeUnits, kCyan},
        {19, drawAlarmRange, kRed},
        {kImageSaveFile, drawSaveFile, kCyan},
        {kImagePrint, drawPrinter, kCyan},
        {kImageHistogram, drawHistogram, kGreen},
        {kImageLimits, drawLimits, kAmber},
        {kImageSaveImage, drawSaveImage, kGreen},
    };
    for (const Image& image : kImages)
        if (image.index == imageIndex)
            return &image;
    return nullptr;
}

Ink inkFor(const Image& image, QIcon::Mode mode) {
    switch (mode) {
    case QIcon::Disabled:
        return {kMuted, kMuted};
    case QIcon::Active:
    case QIcon::Selected:
        return {Qt::white, image.accent.lighter(115)};
    case QIcon::Normal:
        break;
    }
    return {kLine, image.accent};
}

} // namespace

QIcon toolbarImage(int imageIndex) {
    const Image* image = findImage(imageIndex);
    if (image == nullptr)
        return {};
    return vectorIcon(
        [image](QPainter& painter, QIcon::Mode mode) {
            // Faded as well as greyed: the muted grey alone is the colour of
            // the panel's secondary text and would still read as a live button.
            if (mode == QIcon::Disabled)
                painter.setOpacity(painter.opacity() * 0.55);
            image->draw(painter, inkFor(*image, mode));
        },
        QStringLiteral("quadtherm-toolbar"));
}

} // namespace quadtherm::widgets
