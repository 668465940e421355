#pragma once

#include "widgets/time_axis.h"

#include <QColor>
#include <QDateTime>
#include <QPoint>
#include <QSharedPointer>
#include <QVector>
#include <QWidget>

#include <optional>

class QCPAxisTicker;
class QCPAxisTickerText;
class QCPGraph;
class QCPItemStraightLine;
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
    // NaN and infinities leave a gap. `takenAt` dates it for a clock-time axis.
    void appendPoint(double y);
    void appendPoint(double y, const QDateTime& takenAt);
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

    // The X axis in time for points `intervalSeconds` apart (see
    // timeAxisTicks); an interval of 0 counts the points instead.
    void setTimeAxis(TimeAxisMode mode, int intervalSeconds);
    TimeAxisMode timeAxisMode() const { return m_timeMode; }
    int intervalSeconds() const { return m_intervalSeconds; }
    // The caption of the Y axis (the unit).
    void setValueLabel(const QString& text);
    // A thin dashed line across the chart at `value` while it lies inside
    // the Y range shown; autoscale does not reach for it.
    void setSetpoint(std::optional<double> value);
    std::optional<double> setpoint() const { return m_setpoint; }
    bool setpointShown() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void clicked(int index);

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyStyle();
    void applyTickDensity();
    void fitRightMargin();
    void updateAutoScale() const;
    void updateTimeTicks();
    void updateSetpointLine();
    int timeTickCount() const;
    void queueReplot();

    int m_index;
    QCustomPlot* m_plot;
    QCPGraph* m_graph;
    QColor m_traceColor;
    QSharedPointer<QCPAxisTicker> m_numberTicker;
    QSharedPointer<QCPAxisTickerText> m_timeTicker;
    TimeAxisMode m_timeMode = TimeAxisMode::BeforeNow;
    int m_intervalSeconds = 0;
    QDateTime m_newestTime;
    QCPItemStraightLine* m_setpointLine;
    std::optional<double> m_setpoint;
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
