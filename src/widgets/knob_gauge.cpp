#include "widgets/knob_gauge.h"

#include "widgets/knob_scale.h"
#include "widgets/theme.h"
#include "widgets/vector_icon.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quadtherm::widgets {

namespace {

constexpr double kSmallStep = 0.01;
constexpr double kPageStep = 0.1;
constexpr int kWheelNotch = 120;
constexpr int kMaxMajorTicks = 11;
constexpr double kMargin = 1.5;
// Closer to the centre than this the mouse angle jumps about with every pixel.
constexpr double kDeadCentre = 3.0;

QRectF square(QPointF centre, double radius) {
    return {centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius};
}

// Label centre such that its box just clears the circle of `radius`.
QRectF labelBox(QPointF centre, double radius, double degrees, double width, double height) {
    const double rad = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(rad);
    const double s = std::sin(rad);
    const double reach = radius + std::abs(c) * width / 2 + std::abs(s) * height / 2;
    const QPointF mid(centre.x() + reach * c, centre.y() - reach * s);
    return {mid.x() - width / 2, mid.y() - height / 2, width, height};
}

// A label's box at `degrees` outside a scale of `radius`.
QRectF scaleLabelBox(const QFontMetricsF& metrics, QPointF centre, double radius, double degrees,
                     double width) {
    const double textHeight = metrics.capHeight();
    const double gap = std::max(2.0, textHeight * 0.45);
    return labelBox(centre, radius + gap, degrees, width, textHeight);
}

bool overlapsAny(const QRectF& box, const std::vector<QRectF>& taken, double padding) {
    const QRectF padded = box.adjusted(-padding, -padding / 2, padding, padding / 2);
    return std::any_of(taken.begin(), taken.end(),
                       [&](const QRectF& other) { return padded.intersects(other); });
}

} // namespace

KnobGauge::KnobGauge(int index, QWidget* parent) : QWidget(parent), m_index(index) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void KnobGauge::setAxisMinimum(double v) {
    setAxisRange(v, m_maximum);
}

void KnobGauge::setAxisMaximum(double v) {
    setAxisRange(m_minimum, v);
}

void KnobGauge::setAxisRange(double minimum, double maximum) {
    if (!std::isfinite(minimum) || !std::isfinite(maximum))
        return;
    if (minimum == m_minimum && maximum == m_maximum)
        return;
    m_minimum = minimum;
    m_maximum = maximum;
    invalidateLayout();
    storeValue(m_value);
}

void KnobGauge::setValue(double v) {
    storeValue(v);
}

QColor KnobGauge::accentColor() const {
    return m_accent.isValid() ? m_accent : palette().color(QPalette::Highlight);
}

void KnobGauge::setAccentColor(const QColor& c) {
    m_accent = c;
    update();
}

QSize KnobGauge::sizeHint() const {
    return {130, 130};
}

QSize KnobGauge::minimumSizeHint() const {
    return {100, 100};
}

void KnobGauge::storeValue(double v) {
    if (std::isnan(v))
        return;
    v = std::clamp(v, std::min(m_minimum, m_maximum), std::max(m_minimum, m_maximum));
    if (v == m_value)
        return;
    m_value = v;
    update();
    Q_EMIT pointerValueChanged(m_index, 0, m_value);
}

void KnobGauge::setUserValue(double v) {
    storeValue(roundUserValue(v));
}

void KnobGauge::stepBy(double steps, double fraction) {
    setUserValue(m_value + steps * knobUserStep(m_minimum, m_maximum, fraction));
}

void KnobGauge::invalidateLayout() {
    m_layoutValid = false;
    update();
}

const KnobGauge::Layout& KnobGauge::layout() const {
    if (!m_layoutValid) {
        m_layout = computeLayout();
        m_layoutValid = true;
    }
    return m_layout;
}

QFont KnobGauge::labelFont() const {
    if (testAttribute(Qt::WA_SetFont))
        return font();
    QFont f = font();
    const double side = std::min(width(), height());
    f.setPixelSize(static_cast<int>(std::clamp(std::round(side * 0.085), 9.0, 15.0)));
    return f;
}

void KnobGauge::setProportions(Layout& out, double radius) {
    out.tickRadius = radius;
    out.majorLength = std::max(3.0, radius * 0.13);
    out.minorLength = out.majorLength * 0.55;
    const double gap = std::max(2.0, radius * 0.05);
    out.arcWidth = std::max(2.5, radius * 0.075);
    out.arcRadius = radius - out.majorLength - gap - out.arcWidth / 2;
    out.knobRadius = std::max(2.0, out.arcRadius - out.arcWidth / 2 - gap * 1.2);
}

KnobGauge::Layout KnobGauge::computeLayout() const {
    const QRectF area = QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QFontMetricsF metrics(labelFont());
    Layout out;
    fitDial(out, area, metrics);
    placeLabels(out, metrics);
    return out;
}

void KnobGauge::fitDial(Layout& out, const QRectF& area, const QFontMetricsF& metrics) const {
    // The dial's size leaves room for a four-digit label anywhere along the
    // scale, whatever the labels of this range are: the knobs of a row keep
    // one size, and a knob keeps it when its range changes.
    const double referenceWidth = metrics.horizontalAdvance(QStringLiteral("0000"));
    auto extent = [&](double radius) {
        setProportions(out, radius);
        // The bottom quarter is the dead zone: the scale reaches down to the
        // knob body or the end labels only.
        const double bottom = std::max(radius * std::numbers::sqrt2 / 2, out.knobRadius);
        QRectF box(-radius, -radius, 2 * radius, radius + bottom);
        for (double degrees = kKnobStartAngle; degrees >= kKnobStartAngle - kKnobSweep;
             degrees -= 15.0)
            box |= scaleLabelBox(metrics, {}, radius, degrees, referenceWidth);
        return box;
    };
    double radius = 4.0;
    for (double large = std::min(area.width(), area.height()) / 2, step = 0; step < 24; ++step) {
        if (large <= radius)
            break;
        const double mid = (radius + large) / 2;
        const QRectF box = extent(mid);
        (box.width() <= area.width() && box.height() <= area.height() ? radius : large) = mid;
    }
    out.centre = area.center() - extent(radius).center();
    setProportions(out, radius);
}

void KnobGauge::placeLabels(Layout& out, const QFontMetricsF& metrics) const {
    // As many round values as fit along the arc without touching, then the
    // ends where they have room beside them; a label that would leave the
    // widget is left out rather than clipped.
    const double lo = std::min(m_minimum, m_maximum);
    const double hi = std::max(m_minimum, m_maximum);
    const double textHeight = metrics.capHeight();
    const double radius = out.tickRadius;
    auto candidate = [&](double v, double step) {
        const QString text = knobTickLabel(v, step);
        return Label{text, scaleLabelBox(metrics, out.centre, radius,
                                         knobAngleForValue(v, m_minimum, m_maximum),
                                         metrics.horizontalAdvance(text))};
    };
    std::vector<double> endValues{m_minimum};
    if (hi > lo)
        endValues.push_back(m_maximum);
    double widest = 0.0;
    for (double v : endValues)
        widest = std::max(widest, candidate(v, 0.1).rect.width());
    const double arcLength = radius * kKnobSweep * std::numbers::pi / 180.0;
    int maxTicks = std::clamp(static_cast<int>(arcLength / (widest + textHeight * 1.5)) + 1, 2,
                              kMaxMajorTicks);
    std::vector<Label> labels;
    std::vector<QRectF> taken;
    for (;; --maxTicks) {
        const double step = knobTickStep(lo, hi, maxTicks);
        out.majors = knobMajorTicks(lo, hi, maxTicks);
        out.minors = knobMinorTicks(lo, hi, step);
        labels.clear();
        taken.clear();
        bool clash = false;
        for (double v : out.majors) {
            labels.push_back(candidate(v, step));
            clash = clash || overlapsAny(labels.back().rect, taken, textHeight * 0.5);
            taken.push_back(labels.back().rect);
        }
        if (!clash || maxTicks <= 2)
            break;
    }
    for (double v : endValues)
        if (std::find(out.majors.begin(), out.majors.end(), v) == out.majors.end())
            labels.push_back(candidate(v, 0.1));
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    taken.clear();
    for (const Label& label : labels) {
        if (!bounds.contains(label.rect) || overlapsAny(label.rect, taken, textHeight * 0.5))
            continue;
        taken.push_back(label.rect);
        out.labels.push_back(label);
    }
}

double KnobGauge::pointAngle(QPointF pos) const {
    const QPointF centre = layout().centre;
    return std::atan2(centre.y() - pos.y(), pos.x() - centre.x()) * 180.0 / std::numbers::pi;
}

void KnobGauge::paintEvent(QPaintEvent*) {
    const Layout& geometry = layout();
    const QPalette& pal = palette();
    const QColor back = pal.color(QPalette::Window);
    const QColor text = pal.color(QPalette::WindowText);
    const QColor muted = theme::mix(text, back, 0.6);
    const QColor accent = isEnabled() ? accentColor() : muted;
    const QPointF centre = geometry.centre;
    const double radius = geometry.tickRadius;

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    auto tick = [&](double v, double length, const QPen& pen) {
        const double angle = knobAngleForValue(v, m_minimum, m_maximum);
        p.setPen(pen);
        p.drawLine(polar(centre, radius - length, angle), polar(centre, radius, angle));
    };
    const QPen minorPen(muted, std::max(1.0, radius * 0.018), Qt::SolidLine, Qt::FlatCap);
    const QPen majorPen(theme::mix(text, back, 0.85), std::max(1.4, radius * 0.03), Qt::SolidLine,
                        Qt::FlatCap);
    if (radius * kKnobSweep / 180.0 * std::numbers::pi / (geometry.minors.size() + 1) >= 3.0) {
        for (double v : geometry.minors)
            tick(v, geometry.minorLength, minorPen);
    }
    for (double v : geometry.majors)
        tick(v, geometry.majorLength, majorPen);
    tick(m_minimum, geometry.majorLength, majorPen);
    tick(m_maximum, geometry.majorLength, majorPen);

    p.setFont(labelFont());
    p.setPen(theme::mix(text, back, 0.9));
    const double baselineDrop = QFontMetricsF(p.font()).capHeight();
    for (const Label& label : geometry.labels)
        p.drawText(QPointF(label.rect.left(), label.rect.top() + baselineDrop), label.text);

    const QRectF arcRect = square(centre, geometry.arcRadius);
    const double valueAngle = knobAngleForValue(m_value, m_minimum, m_maximum);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(theme::mix(text, back, 0.16), geometry.arcWidth, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(arcRect, static_cast<int>(kKnobStartAngle * 16), static_cast<int>(-kKnobSweep * 16));
    const int filled = static_cast<int>(std::round((valueAngle - kKnobStartAngle) * 16));
    if (filled != 0) {
        p.setPen(QPen(accent, geometry.arcWidth, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(arcRect, static_cast<int>(kKnobStartAngle * 16), filled);
    }

    const double knob = geometry.knobRadius;
    const QColor body = pal.color(QPalette::Button);
    QLinearGradient shade(centre.x(), centre.y() - knob, centre.x(), centre.y() + knob);
    shade.setColorAt(0.0, body.lighter(125));
    shade.setColorAt(1.0, body.darker(115));
    const bool focused = hasFocus();
    p.setPen(QPen(focused ? pal.color(QPalette::Highlight) : theme::mix(text, body, 0.22),
                  focused ? 1.6 : 1.0));
    p.setBrush(shade);
    p.drawEllipse(centre, knob, knob);

    p.setPen(QPen(accent, std::max(2.0, knob * 0.1), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(polar(centre, knob * 0.35, valueAngle), polar(centre, knob * 0.8, valueAngle));
}

void KnobGauge::resizeEvent(QResizeEvent* event) {
    invalidateLayout();
    QWidget::resizeEvent(event);
}

void KnobGauge::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        invalidateLayout();
    else if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

void KnobGauge::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_dragAngle = pointAngle(event->position());
    m_dragFraction = knobFractionForAngle(m_dragAngle);
    if (QLineF(layout().centre, event->position()).length() >= kDeadCentre)
        setUserValue(knobValueForFraction(m_dragFraction, m_minimum, m_maximum));
    event->accept();
}

void KnobGauge::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging || QLineF(layout().centre, event->position()).length() < kDeadCentre)
        return;
    const double angle = pointAngle(event->position());
    m_dragFraction = knobDragFraction(m_dragFraction, m_dragAngle, angle);
    m_dragAngle = angle;
    setUserValue(knobValueForFraction(m_dragFraction, m_minimum, m_maximum));
}

void KnobGauge::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void KnobGauge::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    m_wheelRemainder += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = m_wheelRemainder / kWheelNotch;
    m_wheelRemainder %= kWheelNotch;
    if (notches != 0)
        stepBy(notches, kSmallStep);
    event->accept();
}

void KnobGauge::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        stepBy(1, kSmallStep);
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        stepBy(-1, kSmallStep);
        break;
    case Qt::Key_PageUp:
        stepBy(1, kPageStep);
        break;
    case Qt::Key_PageDown:
        stepBy(-1, kPageStep);
        break;
    case Qt::Key_Home:
        storeValue(std::min(m_minimum, m_maximum));
        break;
    case Qt::Key_End:
        storeValue(std::max(m_minimum, m_maximum));
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace quadtherm::widgets
