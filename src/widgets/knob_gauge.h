#pragma once

#include <QColor>
#include <QFontMetricsF>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <vector>

namespace quadtherm::widgets {

// A rotary knob over a scale from minimum to maximum with one pointer (the
// alarm setpoint). Drag, wheel and keys set the pointer; values the user picks
// land on tenths. Colours come from the palette, the accent from setAccentColor
// (the palette's Highlight until then).
class KnobGauge : public QWidget {
    Q_OBJECT
public:
    explicit KnobGauge(int index = 0, QWidget* parent = nullptr);

    int index() const { return m_index; }

    double axisMinimum() const { return m_minimum; }
    double axisMaximum() const { return m_maximum; }
    void setAxisMinimum(double v);
    void setAxisMaximum(double v);
    void setAxisRange(double minimum, double maximum);

    double value() const { return m_value; }
    void setValue(double v);

    QColor accentColor() const;
    void setAccentColor(const QColor& c);

    // Radius of the scale's outer edge in the widget's current size.
    double dialRadius() const { return layout().tickRadius; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void pointerValueChanged(int index, int pointer, double value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Label {
        QString text;
        QRectF rect;
    };
    struct Layout {
        QPointF centre;
        double tickRadius = 0.0; // outer end of the major ticks
        double majorLength = 0.0;
        double minorLength = 0.0;
        double arcRadius = 0.0;
        double arcWidth = 0.0;
        double knobRadius = 0.0;
        std::vector<double> majors;
        std::vector<double> minors;
        std::vector<Label> labels;
    };

    void storeValue(double v);
    void setUserValue(double v);
    void stepBy(double steps, double fraction);
    void invalidateLayout();
    const Layout& layout() const;
    Layout computeLayout() const;
    // The parts of the dial in proportion to the radius of its ticks.
    static void setProportions(Layout& out, double radius);
    // The largest dial that fits `area` with its labels, centred.
    void fitDial(Layout& out, const QRectF& area, const QFontMetricsF& metrics) const;
    // The major and minor ticks and the labels that fit beside them.
    void placeLabels(Layout& out, const QFontMetricsF& metrics) const;
    QFont labelFont() const;
    double pointAngle(QPointF pos) const;

    int m_index;
    double m_minimum = 0.0;
    double m_maximum = 100.0;
    double m_value = 0.0;
    QColor m_accent;
    bool m_dragging = false;
    double m_dragFraction = 0.0;
    double m_dragAngle = 0.0;
    int m_wheelRemainder = 0;
    mutable bool m_layoutValid = false;
    mutable Layout m_layout;
};

} // namespace quadtherm::widgets
