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
    // For values that may run far beyond any scale (a graph's axis range):
    // the range becomes ±limit, and numbers of 1e9 and above are shown and
    // may be typed in scientific notation ("1.234568e+12"), which fixed
    // notation would make a row of digits wider than the box.
    void setWideRange(double limit);
    // Decimals shown and kept (1 at first); 0 for whole numbers.
    void setDecimals(int decimals);

    QDoubleSpinBox* spinBox() const { return m_spin; }

Q_SIGNALS:
    void valueChanged(int index, double value);

private:
    int m_index;
    QDoubleSpinBox* m_spin;
};

} // namespace quadtherm::widgets
