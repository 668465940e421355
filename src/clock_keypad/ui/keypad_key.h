#pragma once

#include <QAbstractButton>

namespace quadtherm::clock_keypad {

// One key of the on-screen front panel, painted like the meter's moulded
// keys. A button underneath: Tab reaches it, Space presses it (and holds it
// down for as long as Space is held), and pressed() / released() / clicked()
// come alike from the mouse and the keyboard.
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

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QRectF bodyRect() const;
    void paintCaption(QPainter& p, const QRectF& face);

    Shape m_shape;
};

} // namespace quadtherm::clock_keypad
