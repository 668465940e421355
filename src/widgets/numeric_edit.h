#pragma once

#include <QWidget>

class QDoubleSpinBox;

namespace quadtherm::widgets {

// A value between a minimum and a maximum, edited in tenths. Typing takes effect
// on Enter or when the box loses focus; the arrows step by one.
class NumericEdit : public QWidget {
    Q_OBJECT
public:
    explicit NumericEdit(int index = 0, QWidget* parent = nullptr);

    int index() const { return m_index; }

    double value() const;
    void setValue(double v);

    double minimum() const;
    double maximum() const;
    void setMinimum(double v);
    void setMaximum(double v);
    void setRange(double minimum, double maximum);

    QDoubleSpinBox* spinBox() const { return m_spin; }

Q_SIGNALS:
    void valueChanged(int index, double value);

private:
    int m_index;
    QDoubleSpinBox* m_spin;
};

} // namespace quadtherm::widgets
