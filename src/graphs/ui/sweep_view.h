#pragma once

#include <QRectF>
#include <QString>
#include <QWidget>

namespace quadtherm::graphs {

class SweepChart;

// The real-time chart's frame, drawn on the window surface: the scale from
// ChartMin to ChartMax with its labels and the unit "dB", the plotting area,
// the sweep up to ChartX and, once it has wrapped, the wrap mark at the right
// edge with the time of the last wrap under it. Everything is drawn from
// the chart's state at every paint, so it is sharp at any size and pixel
// ratio, on screen, on paper and in a picture. On paper it is black on
// white.
class SweepView : public QWidget {
    Q_OBJECT
public:
    SweepView(const SweepChart& chart, QWidget* parent = nullptr);

    // The plotting area for the present size, in the widget's pixels.
    QRectF plottingArea() const;
    // The "hh:mm:ss" under the wrap mark; empty before the first wrap.
    void setWrapTime(const QString& time);
    QString wrapTime() const { return m_wrapTime; }
    // Black on white, for the printer.
    void setPaper(bool paper);
    bool paper() const { return m_paper; }

    // The frame on any painter, for a picture of `size`.
    void draw(QPainter& painter, QSizeF size) const;

Q_SIGNALS:
    void resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRectF areaFor(QSizeF size) const;
    void drawScale(QPainter& painter, const QRectF& area, const QFontMetricsF& metrics,
                   double ratio) const;
    void drawSweep(QPainter& painter, const QRectF& area, double ratio) const;
    void drawWrapMark(QPainter& painter, const QRectF& area, const QFontMetricsF& metrics,
                      double ratio) const;

    const SweepChart& m_chart;
    QString m_wrapTime;
    bool m_paper = false;
};

} // namespace quadtherm::graphs
