#pragma once

#include "shared/clock.h"

#include <QAbstractButton>

#include <memory>

namespace quadtherm::clock_keypad {

// One key of the on-screen front panel, painted like the meter's moulded
// keys. A button underneath: Tab reaches it, Space presses it (and holds it
// down for as long as Space is held). A key acts on clicked(): pressed and
// released on the key, by the mouse or by Space. pressStarted() marks where
// its press began; pressed() and released() are not used, as a press dragged
// off the key and back gives one of each on the way.
class KeypadKey : public QAbstractButton {
    Q_OBJECT
public:
    enum class Shape {
        Key,   // a rounded oblong with its caption
        Round, // a cursor key with its picture
        Plate, // a wide panel with two captions side by side
    };

    KeypadKey(const QString& objectName, const QString& caption, Shape shape,
              QWidget* parent = nullptr);

    Shape shape() const { return m_shape; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Space held down repeats. Where the window system does not mark the
    // repeats but sends a release and a press again, each would count as a
    // new press, and a held MEM would store a reading at every repeat. With
    // a clock, a Space release counts only when no press follows it within
    // a tenth of a second.
    void holdThroughUnmarkedRepeats(shared::Clock& clock);

Q_SIGNALS:
    // A press began on the key: the mouse went down on it, or Space did.
    void pressStarted();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QRectF bodyRect() const;
    void paintCaption(QPainter& p, const QRectF& face);
    void releaseSpace();

    Shape m_shape;
    std::unique_ptr<shared::ClockTimer> m_spaceRelease; // a release held back
};

} // namespace quadtherm::clock_keypad
