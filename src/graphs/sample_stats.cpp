#include "graphs/sample_stats.h"

#include <algorithm>
#include <cmath>

namespace quadtherm::graphs {

SampleStats::SampleStats(QVector<float> values) : m_values(std::move(values)) {
    const qsizetype blocks = (m_values.size() + kBlock - 1) / kBlock;
    m_blockSum.resize(size_t(blocks));
    m_blockMin.resize(size_t(blocks));
    m_blockMax.resize(size_t(blocks));
    for (qsizetype b = 0; b < blocks; ++b) {
        const qsizetype from = b * kBlock;
        const qsizetype to = std::min(from + kBlock, m_values.size());
        const auto first = m_values.cbegin() + from, last = m_values.cbegin() + to;
        const auto [lo, hi] = std::minmax_element(first, last);
        m_blockMin[size_t(b)] = *lo;
        m_blockMax[size_t(b)] = *hi;
        double sum = 0;
        for (auto it = first; it != last; ++it)
            sum += *it;
        m_blockSum[size_t(b)] = sum;
    }
}

void SampleStats::scan(qsizetype from, qsizetype to, RangeFigures& figures, double& sum) const {
    for (qsizetype i = from; i < to; ++i) {
        const double v = m_values[i];
        figures.minimum = figures.count ? std::min(figures.minimum, v) : v;
        figures.maximum = figures.count ? std::max(figures.maximum, v) : v;
        ++figures.count;
        sum += v;
    }
}

RangeFigures SampleStats::over(double xLower, double xUpper) const {
    RangeFigures figures;
    if (std::isnan(xLower) || std::isnan(xUpper) || m_values.isEmpty())
        return figures;
    // Sample i (from 0) sits at X = i + 1.
    const double n = double(m_values.size());
    const double firstX = std::clamp(std::ceil(xLower), 1.0, n + 1);
    const double lastX = std::clamp(std::floor(xUpper), 0.0, n);
    const qsizetype from = qsizetype(firstX) - 1;
    const qsizetype to = qsizetype(lastX); // one past the last
    if (from >= to)
        return figures;
    double sum = 0;
    const qsizetype firstWhole = (from + kBlock - 1) / kBlock;
    const qsizetype endWhole = to / kBlock;
    if (firstWhole >= endWhole) {
        scan(from, to, figures, sum);
    } else {
        scan(from, firstWhole * kBlock, figures, sum);
        for (qsizetype b = firstWhole; b < endWhole; ++b) {
            const double lo = m_blockMin[size_t(b)], hi = m_blockMax[size_t(b)];
            figures.minimum = figures.count ? std::min(figures.minimum, lo) : lo;
            figures.maximum = figures.count ? std::max(figures.maximum, hi) : hi;
            figures.count += kBlock;
            sum += m_blockSum[size_t(b)];
        }
        scan(endWhole * kBlock, to, figures, sum);
    }
    figures.mean = sum / double(figures.count);
    return figures;
}

QString cursorXText(double x) {
    if (!std::isfinite(x))
        return {};
    QString text = QString::number(x, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString cursorYText(double y) {
    if (!std::isfinite(y))
        return {};
    const QString text = QString::number(y, 'f', 1);
    return text == QLatin1String("-0.0") ? QStringLiteral("0.0") : text;
}

QString cursorDeltaText(double dx, double dy, const QString& unit) {
    return QStringLiteral("Cursor 2 - cursor 1:  No.s %1,  %2 %3")
        .arg(cursorXText(dx), cursorYText(dy), unit);
}

QString inViewText(const RangeFigures& figures, const QString& unit) {
    if (figures.count == 0)
        return QStringLiteral("In view: no samples");
    return QStringLiteral("In view: %1 samples,  min %2,  max %3,  mean %4 %5")
        .arg(figures.count)
        .arg(cursorYText(figures.minimum), cursorYText(figures.maximum),
             QString::number(figures.mean, 'f', 2), unit);
}

} // namespace quadtherm::graphs
