#include "clock_keypad/ui/keypad_key.h"

#include "widgets/theme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace quadtherm::clock_keypad {

namespace {

constexpr QSize kKeySize(66, 32);
constexpr QSize kRoundSize(40, 40);
constexpr QSize kPlateSize(140, 32);
constexpr qreal kCornerRadius = 7;
constexpr qreal kFocusWidth = 2;
// Longer than the gap between two repeats of a held key (25 to 30 a second).
constexpr int kRepeatGapMs = 100;

} // namespace

KeypadKey::KeypadKey(const QString& objectName, const QString& caption, Shape shape,
                     QWidget* parent)
    : QAbstractButton(parent), m_shape(shape) {
    setObjectName(objectName);
    setText(caption);
    // Tab reaches every key; a mouse click leaves the focus where it was,
    // so no focus ring follows the pointer around.
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QFont f = font();
    f.setBold(true);
    f.setPointSizeF(shape == Shape::Plate ? 9.5 : 9);
    setFont(f);
}

void KeypadKey::holdThroughUnmarkedRepeats(shared::Clock& clock) {
    m_spaceRelease =
        std::make_unique<shared::ClockTimer>(clock, kRepeatGapMs, [this] { releaseSpace(); });
}

void KeypadKey::mousePressEvent(QMouseEvent* event) {
    QAbstractButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && isDown())
        Q_EMIT pressStarted();
}

void KeypadKey::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && m_spaceRelease && isDown()) {
        // A repeat of the Space still held: the release before it, if any,
        // was part of the repeat too.
        m_spaceRelease->stop();
        event->accept();
        return;
    }
    const bool wasDown = isDown();
    QAbstractButton::keyPressEvent(event);
    if (event->key() == Qt::Key_Space && !wasDown && isDown())
        Q_EMIT pressStarted();
}

void KeypadKey::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && m_spaceRelease && isDown() && !event->isAutoRepeat()) {
        m_spaceRelease->start();
        event->accept();
        return;
    }
    QAbstractButton::keyReleaseEvent(event);
}

void KeypadKey::focusOutEvent(QFocusEvent* event) {
    if (m_spaceRelease && m_spaceRelease->isActive())
        releaseSpace();
    QAbstractButton::focusOutEvent(event);
}

void KeypadKey::releaseSpace() {
    m_spaceRelease->stop();
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QAbstractButton::keyReleaseEvent(&up);
}

QSize KeypadKey::sizeHint() const {
    switch (m_shape) {
    case Shape::Round:
        return kRoundSize;
    case Shape::Plate:
        return kPlateSize;
    case Shape::Key:
        break;
    }
    return kKeySize;
}

QRectF KeypadKey::bodyRect() const {
    const qreal inset = kFocusWidth + 1;
    QRectF r = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    if (m_shape == Shape::Round) {
        const qreal side = std::min(r.width(), r.height());
        r = QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
    }
    return r;
}

bool KeypadKey::hitButton(const QPoint& pos) const {
    if (m_shape != Shape::Round)
        return QAbstractButton::hitButton(pos);
    const QRectF body = bodyRect();
    const QPointF d = QPointF(pos) - body.center();
    const qreal r = body.width() / 2 + kFocusWidth;
    return d.x() * d.x() + d.y() * d.y() <= r * r;
}

void KeypadKey::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // A key the meter cannot take now is plainly faded, not just greyed text.
    if (!isEnabled())
        p.setOpacity(0.4);
    const QRectF body = bodyRect();
    const bool down = isDown();
    const bool hover = underMouse() && isEnabled();
    const qreal radius = m_shape == Shape::Round ? body.width() / 2 : kCornerRadius;

    // The key sits in a moulded recess: a dark rim below, then the rubber.
    QPainterPath outline;
    outline.addRoundedRect(body, radius, radius);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x0e, 0x10, 0x13));
    p.drawPath(outline.translated(0, 1.5));

    const QRectF face = down ? body.translated(0, 1) : body;
    QLinearGradient rubber(face.topLeft(), face.bottomLeft());
    const QColor top = down    ? QColor(0x33, 0x39, 0x40)
                       : hover ? QColor(0x5b, 0x64, 0x6e)
                               : QColor(0x4f, 0x57, 0x60);
    const QColor bottom = down ? QColor(0x2a, 0x2f, 0x35) : QColor(0x38, 0x3e, 0x45);
    // A lighter band along the top edge gives the key its height.
    rubber.setColorAt(0, down ? top : top.lighter(122));
    rubber.setColorAt(0.14, top);
    rubber.setColorAt(1, bottom);
    QPainterPath facePath;
    facePath.addRoundedRect(face, radius, radius);
    p.setBrush(rubber);
    p.setPen(QPen(QColor(0x1a, 0x1e, 0x23), 1));
    p.drawPath(facePath);

    paintCaption(p, face);

    if (hasFocus()) {
        QPainterPath ring;
        const qreal grow = kFocusWidth / 2 + 1;
        ring.addRoundedRect(body.adjusted(-grow, -grow, grow, grow), radius + grow, radius + grow);
        p.setPen(QPen(widgets::theme::kCyan, kFocusWidth));
        p.setBrush(Qt::NoBrush);
        p.drawPath(ring);
    }
}

void KeypadKey::paintCaption(QPainter& p, const QRectF& face) {
    const QColor ink = isEnabled() ? widgets::theme::kText : widgets::theme::kMuted;
    if (!icon().isNull()) {
        const qreal side = face.height() * 0.55;
        const QRectF box(face.center().x() - side / 2, face.center().y() - side / 2, side, side);
        icon().paint(&p, box.toAlignedRect(), Qt::AlignCenter,
                     isEnabled() ? QIcon::Normal : QIcon::Disabled);
        return;
    }
    p.setFont(font());
    p.setPen(ink);
    if (m_shape != Shape::Plate) {
        p.drawText(face, Qt::AlignCenter, text().trimmed());
        return;
    }
    // "  MAX    MIN": one caption to each half, a groove between them.
    const QStringList words = text().simplified().split(u' ');
    const QRectF left(face.left(), face.top(), face.width() / 2, face.height());
    const QRectF right(face.center().x(), face.top(), face.width() / 2, face.height());
    p.drawText(left, Qt::AlignCenter, words.value(0));
    p.drawText(right, Qt::AlignCenter, words.value(1));
    p.setPen(QPen(QColor(0x1a, 0x1e, 0x23), 1.5));
    p.drawLine(QPointF(face.center().x(), face.top() + 7),
               QPointF(face.center().x(), face.bottom() - 7));
}

} // namespace quadtherm::clock_keypad
