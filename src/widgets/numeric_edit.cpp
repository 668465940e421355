#include "widgets/numeric_edit.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <optional>

namespace quadtherm::widgets {

namespace {

// From here on a number is shown in scientific notation.
constexpr double kLargestFixed = 1e9;
// As many as the graph's axes show.
constexpr int kSignificantDigits = 7;

// A spin box that, once wide, shows and takes large numbers in scientific
// notation.
class NumericSpinBox final : public QDoubleSpinBox {
public:
    using QDoubleSpinBox::QDoubleSpinBox;
    bool wide = false;

    QString textFromValue(double value) const override {
        if (!wide || std::abs(value) < kLargestFixed)
            return QDoubleSpinBox::textFromValue(value);
        return locale().toString(value, 'g', kSignificantDigits);
    }
    double valueFromText(const QString& text) const override {
        if (!wide)
            return QDoubleSpinBox::valueFromText(text);
        // The shown text stands for the value it shows, not for the value
        // rounded to its digits: Enter on an untouched box moves nothing.
        if (text == textFromValue(value()))
            return value();
        return parse(text).value_or(value());
    }
    QValidator::State validate(QString& text, int& pos) const override {
        if (!wide)
            return QDoubleSpinBox::validate(text, pos);
        if (const auto v = parse(text))
            return *v >= minimum() && *v <= maximum() ? QValidator::Acceptable
                                                      : QValidator::Intermediate;
        // What may still become a number as the user types on.
        static const QRegularExpression partial(
            QStringLiteral("^[-+]?[0-9]*[.,]?[0-9]*([eE][-+]?)?$"));
        return partial.match(text.trimmed()).hasMatch() ? QValidator::Intermediate
                                                        : QValidator::Invalid;
    }

private:
    std::optional<double> parse(const QString& text) const {
        bool ok = false;
        double v = locale().toDouble(text.trimmed(), &ok);
        if (!ok)
            v = QLocale::c().toDouble(text.trimmed(), &ok);
        if (!ok || !std::isfinite(v))
            return std::nullopt;
        return v;
    }
};

} // namespace

NumericEdit::NumericEdit(int index, QWidget* parent)
    : QWidget(parent), m_index(index), m_spin(new NumericSpinBox(this)) {
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

void NumericEdit::setDecimals(int decimals) {
    m_spin->setDecimals(decimals);
}

void NumericEdit::setWideRange(double limit) {
    static_cast<NumericSpinBox*>(m_spin)->wide = true;
    setRange(-limit, limit);
}

} // namespace quadtherm::widgets
