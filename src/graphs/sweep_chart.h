#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

namespace quadtherm::graphs {

// The real-time chart's state: the scale limits and the sweep, which
// advances `ChartStep` drawing units a tick across a plotting area
// `ChartWidth` wide and starts over at its left edge.
class SweepChart {
public:
    // The Limit panel's bounds.
    static constexpr double kLowestLimit = 30;
    static constexpr double kHighestLimit = 130;
    static constexpr int kFewestCounts = 10;
    static constexpr int kMostCounts = 864000;

    double ChartMax = kHighestLimit;
    double ChartMin = kLowestLimit;
    float ChartWidth = 0;

    float ChartStep() const { return m_step; }
    // The sweep's distance from the plotting area's left edge.
    double ChartX() const { return m_start + double(m_ticks) * double(m_step); }
    // Where this sweep's marks begin: 0 after a wrap, or where the sweep
    // was when new counts were set (the old step's marks are gone).
    double SweepStart() const { return m_start; }

    // One tick of the sweep; true when it reached the right edge and went
    // back to 0. The position is counted in whole ticks rather than summed,
    // so a sweep of n counts wraps after exactly n ticks, however many.
    bool advance();
    // The step for a sweep of `counts` ticks across the present width; the
    // sweep goes on from where it is, its marks starting there.
    void setCounts(double counts);
    // Ticks a sweep takes at the present width and step, as the Limit panel
    // shows them.
    qint64 counts() const;

private:
    float m_step = 1.0f;
    double m_start = 0;
    qint64 m_ticks = 0;
};

// How the Limit panel's OK went.
enum class LimitOutcome {
    Applied,       // limits and counts taken: redraw and sweep on
    ValueRefused,  // nothing changed
    CountsRefused, // the limits were taken, the counts not
};

// Applies the panel's three boxes, each read as the number it starts with
// (0 when none): the limits when 30 <= Min < Max <= 130, then the counts
// when 10 <= Counts <= 864000.
LimitOutcome applyLimitPanel(SweepChart& chart, QStringView maxText, QStringView minText,
                             QStringView countsText);
// "30 <= Value <= 130, try again!" and "10 <= Counts <= 864000, try again!".
QString limitValueMessage();
QString limitCountsMessage();

// The panel's key filters: digits, "-" and "." in Max and Min; digits only
// in Counts. (Backspace and Enter are keys, not characters, and always pass.)
enum class LimitBox { Max, Min, Counts };
bool limitCharPasses(LimitBox box, QChar c);

} // namespace quadtherm::graphs
