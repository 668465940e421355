#include "widgets/numeric_edit.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>

#include <cmath>

namespace quadtherm::widgets {

NumericEdit::NumericEdit(int index, QWidget* parent)
    : QWidget(parent), m_index(index), m_spin(new QDoubleSpinBox(this)) {
    m_spin->setDecimals(1);
    m_spin->setSingleStep(1.0);
    m_spin->setKeyboardTracking(false);
    m_spin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // One width whatever the range: a spin box sizes itself to the longest
    // of its limits, and a limit of many digits would widen the box and
    // the window around it. Longer numbers scroll inside it.
    m_spin->setRange(-999.9, 9999.9); // as wide as the widest scale, "-328.0" or "4190.0"
    m_spin->setFixedWidth(m_spin->sizeHint().width());
    m_spin->setRange(0.0, 99.99);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_spin);
    setFocusProxy(m_spin);
    setSizePolicy(m_spin->sizePolicy());
    connect(m_spin, &QDoubleSpinBox::valueChanged, this,
            [this](double v) { Q_EMIT valueChanged(m_index, v); });
}

double NumericEdit::value() const {
    return m_spin->value();
}

// A NaN from a failed conversion must not land in the box as its minimum.
void NumericEdit::setValue(double v) {
    if (!std::isnan(v))
        m_spin->setValue(v);
}

double NumericEdit::minimum() const {
    return m_spin->minimum();
}

double NumericEdit::maximum() const {
    return m_spin->maximum();
}

void NumericEdit::setMinimum(double v) {
    if (std::isfinite(v))
        m_spin->setMinimum(v);
}

void NumericEdit::setMaximum(double v) {
    if (std::isfinite(v))
        m_spin->setMaximum(v);
}

void NumericEdit::setRange(double minimum, double maximum) {
    if (std::isfinite(minimum) && std::isfinite(maximum))
        m_spin->setRange(minimum, maximum);
}

} // namespace quadtherm::widgets
