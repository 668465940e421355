#pragma once

#include <QString>
#include <QVector>

#include <vector>

namespace quadtherm::graphs {

// Figures of the samples in a stretch of a series.
struct RangeFigures {
    qsizetype count = 0;
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
};

// A series plotted at X = 1, 2, 3, … that answers for any stretch of X in
// time proportional to a few thousand samples, not to the stretch: a pan over
// a day-long history asks for the figures of what is in view at every move.
class SampleStats {
public:
    explicit SampleStats(QVector<float> values = {});

    qsizetype size() const { return m_values.size(); }
    // The samples whose X lies in [xLower, xUpper].
    RangeFigures over(double xLower, double xUpper) const;

private:
    static constexpr qsizetype kBlock = 512;
    void scan(qsizetype from, qsizetype to, RangeFigures& figures, double& sum) const;

    QVector<float> m_values;
    std::vector<double> m_blockSum;
    std::vector<float> m_blockMin, m_blockMax;
};

// The cursor read-out: X as a plain number (no exponent, at most two
// decimals), Y with one decimal ("0.0" rather than "-0.0").
QString cursorXText(double x);
QString cursorYText(double y);
// What the measuring line shows: the second cursor's offset from the first,
// and the figures of the samples in view.
QString cursorDeltaText(double dx, double dy, const QString& unit);
QString inViewText(const RangeFigures& figures, const QString& unit);

} // namespace quadtherm::graphs
