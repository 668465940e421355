#include "widgets/vector_icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quadtherm::widgets {

namespace {

class VectorIconEngine final : public QIconEngine {
public:
    VectorIconEngine(VectorDrawing draw, QString key)
        : m_draw(std::move(draw)), m_key(std::move(key)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const qreal side = std::min(rect.width(), rect.height());
        if (side <= 0)
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.x() + (rect.width() - side) / 2.0,
                           rect.y() + (rect.height() - side) / 2.0);
        painter->scale(side / kVectorIconGrid, side / kVectorIconGrid);
        m_draw(*painter, mode);
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

    QIconEngine* clone() const override { return new VectorIconEngine(m_draw, m_key); }
    QString key() const override { return m_key; }
    bool isNull() override { return false; }

private:
    VectorDrawing m_draw;
    QString m_key;
};

} // namespace

QIcon vectorIcon(VectorDrawing draw, const QString& key) {
    return QIcon(new VectorIconEngine(std::move(draw), key));
}

QPointF polar(QPointF centre, qreal radius, qreal degrees) {
    const qreal a = degrees * std::numbers::pi / 180.0;
    return {centre.x() + radius * std::cos(a), centre.y() - radius * std::sin(a)};
}

} // namespace quadtherm::widgets
