#include "widgets/keypad_images.h"

#include "widgets/theme.h"
#include "widgets/vector_icon.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace quadtherm::widgets {

namespace {

// A solid arrow head pointing up, with rounded corners like a moulded key
// legend; the other arrows are this one turned.
void drawArrow(QPainter& p, const QColor& ink) {
    QPainterPath head;
    head.moveTo(12, 5.5);
    head.lineTo(19.5, 16.5);
    head.lineTo(4.5, 16.5);
    head.closeSubpath();
    p.setPen(QPen(ink, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(ink);
    p.drawPath(head);
}

// The return symbol: down from the top right, then left into an arrow head.
void drawEnter(QPainter& p, const QColor& ink) {
    p.setPen(QPen(ink, 2.25, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{{18.5, 4.5}, {18.5, 14}, {8.5, 14}});
    QPainterPath head;
    head.moveTo(4, 14);
    head.lineTo(9.5, 9.5);
    head.lineTo(9.5, 18.5);
    head.closeSubpath();
    p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(ink);
    p.drawPath(head);
}

qreal turnOf(KeyPicture picture) {
    switch (picture) {
    case KeyPicture::Right:
        return 90;
    case KeyPicture::Down:
        return 180;
    case KeyPicture::Left:
        return 270;
    case KeyPicture::Up:
    case KeyPicture::Enter:
        break;
    }
    return 0;
}

} // namespace

QIcon keypadImage(KeyPicture picture) {
    return vectorIcon(
        [picture](QPainter& painter, QIcon::Mode mode) {
            const QColor ink = mode == QIcon::Disabled ? theme::kMuted
                               : mode == QIcon::Normal ? theme::kText
                                                       : QColor(Qt::white);
            if (picture == KeyPicture::Enter) {
                drawEnter(painter, ink);
                return;
            }
            painter.translate(kVectorIconGrid / 2, kVectorIconGrid / 2);
            painter.rotate(turnOf(picture));
            painter.translate(-kVectorIconGrid / 2, -kVectorIconGrid / 2);
            drawArrow(painter, ink);
        },
        QStringLiteral("quadtherm-keypad"));
}

} // namespace quadtherm::widgets
