#include "widgets/keypad_images.h"

#include "widgets/theme.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>

namespace quadtherm::widgets {

namespace {

// Drawn on a 24-unit square, like the toolbar images.
constexpr qreal kGrid = 24.0;

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

class KeypadIconEngine : public QIconEngine {
public:
    explicit KeypadIconEngine(KeyPicture picture) : m_picture(picture) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const qreal side = std::min(rect.width(), rect.height());
        if (side <= 0)
            return;
        const QColor ink = mode == QIcon::Disabled ? theme::kMuted
                           : mode == QIcon::Normal ? theme::kText
                                                   : QColor(Qt::white);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.x() + (rect.width() - side) / 2.0,
                           rect.y() + (rect.height() - side) / 2.0);
        painter->scale(side / kGrid, side / kGrid);
        if (m_picture == KeyPicture::Enter) {
            drawEnter(*painter, ink);
        } else {
            painter->translate(kGrid / 2, kGrid / 2);
            painter->rotate(turnOf(m_picture));
            painter->translate(-kGrid / 2, -kGrid / 2);
            drawArrow(*painter, ink);
        }
        painter->restore();
    }

    // The size arrives in device pixels: QIcon has already applied the ratio.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        if (size.isEmpty())
            return {};
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        }
        return pixmap;
    }

    QIconEngine* clone() const override { return new KeypadIconEngine(m_picture); }
    QString key() const override { return QStringLiteral("quadtherm-keypad"); }
    bool isNull() override { return false; }

private:
    KeyPicture m_picture;
};

} // namespace

QIcon keypadImage(KeyPicture picture) {
    return QIcon(new KeypadIconEngine(picture));
}

} // namespace quadtherm::widgets
