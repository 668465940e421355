#include "graphs/sweep_chart.h"

#include "shared/reading_text.h"

#include <cmath>

namespace quadtherm::graphs {

bool SweepChart::advance() {
    if (!(ChartWidth > 0) || !(m_step > 0))
        return false;
    ++m_ticks;
    // Half a step of slack: the step is the width divided by the counts in
    // single precision, so counts × step may fall a hair short of the width.
    if (ChartX() < double(ChartWidth) - double(m_step) / 2)
        return false;
    m_start = 0;
    m_ticks = 0;
    return true;
}

void SweepChart::setCounts(double counts) {
    if (!(counts > 0))
        return;
    m_start = ChartX();
    m_ticks = 0;
    m_step = float(double(ChartWidth) / counts);
}

qint64 SweepChart::counts() const {
    if (!(m_step > 0))
        return 0;
    return std::llround(double(ChartWidth) / double(m_step));
}

LimitOutcome applyLimitPanel(SweepChart& chart, QStringView maxText, QStringView minText,
                             QStringView countsText) {
    const double max = shared::leadingNumber(maxText);
    const double min = shared::leadingNumber(minText);
    if (!(max <= SweepChart::kHighestLimit && min >= SweepChart::kLowestLimit && min < max))
        return LimitOutcome::ValueRefused;
    chart.ChartMax = max;
    chart.ChartMin = min;
    const double counts = shared::leadingNumber(countsText);
    if (!(counts >= SweepChart::kFewestCounts && counts <= SweepChart::kMostCounts))
        return LimitOutcome::CountsRefused;
    chart.setCounts(counts);
    return LimitOutcome::Applied;
}

QString limitValueMessage() {
    return QString::number(SweepChart::kLowestLimit) + QStringLiteral(" <= Value <= ") +
           QString::number(SweepChart::kHighestLimit) + QStringLiteral(", try again!");
}

QString limitCountsMessage() {
    return QStringLiteral("%1 <= Counts <= %2, try again!")
        .arg(SweepChart::kFewestCounts)
        .arg(SweepChart::kMostCounts);
}

bool limitCharPasses(LimitBox box, QChar c) {
    if (c >= u'0' && c <= u'9')
        return true;
    return box != LimitBox::Counts && (c == u'-' || c == u'.');
}

} // namespace quadtherm::graphs
