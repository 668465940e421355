#pragma once

#include <QColor>
#include <QPoint>
#include <QVector>
#include <QWidget>

class QCPGraph;
class QCustomPlot;

namespace quadtherm::widgets {

// One trace over QCustomPlot: the small per-channel strip chart of the panel and
// the large graph of a whole run. Appends are cheap and only queue a redraw, so
// many of them coalesce into one paint; autoscale looks at the points in view only.
// Colours follow the palette (Window, Base, WindowText, Highlight for the trace).
class StripChart : public QWidget {
    Q_OBJECT
public:
    explicit StripChart(int index = 0, QWidget* parent = nullptr);

    int index() const { return m_index; }
    QCustomPlot* plot() const { return m_plot; }
    QCPGraph* graph() const { return m_graph; }

    // Every point removed; axis ranges kept; the next append lands on xLower().
    void clear();
    void setXRange(double lower, double upper);
    // Fixes Y: autoscale off.
    void setYRange(double lower, double upper);
    void setAutoScaleY(bool on);
    bool autoScaleY() const { return m_autoScaleY; }

    // At the previous point's x + 1; past the right edge the X range scrolls along.
    // NaN and infinities leave a gap.
    void appendPoint(double y);
    // Replaces the data with points at firstX, firstX + step, ...
    void plotArray(const QVector<double>& ys, double firstX, double step);
    int pointCount() const;
    // Oldest points beyond this count are dropped on append; 0 keeps them all.
    void setHistoryLimit(int points);

    double xLower() const;
    double xUpper() const;
    double yLower() const;
    double yUpper() const;

    QColor traceColor() const;
    void setTraceColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void clicked(int index);

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyStyle();
    void applyTickDensity();
    void fitRightMargin();
    void updateAutoScale() const;
    void queueReplot();

    int m_index;
    QCustomPlot* m_plot;
    QCPGraph* m_graph;
    QColor m_traceColor;
    bool m_autoScaleY = true;
    int m_historyLimit = 0;
    QPoint m_pressPos;
    bool m_pressed = false;
    // Value range of the points in view, kept up to date on append so autoscale
    // only walks the data after the X range moved or the data was replaced.
    mutable double m_seenLower = 0.0;
    mutable double m_seenUpper = 0.0;
    mutable bool m_seenAny = false;
    mutable bool m_rescan = true;
};

} // namespace quadtherm::widgets
