#include "graphs/ui/sweep_view.h"

#include "graphs/nice_numbers.h"
#include "graphs/sweep_chart.h"
#include "widgets/theme.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace quadtherm::graphs {

namespace {

// The frame's colours on screen and on paper.
struct SweepColours {
    QColor surface, area, frameLine, gridLine, label, unit, sweep, wrap;
};

SweepColours sweepColoursOf(bool paper) {
    if (paper)
        return {Qt::white, Qt::white, QColor(0x33, 0x33, 0x33), QColor(0xd0, 0xd0, 0xd0),
                QColor(0x33, 0x33, 0x33), Qt::black,
                // The screen's light accents, dark enough to read on white.
                widgets::theme::kCyan.darker(165), widgets::theme::kAmber.darker(165)};
    return {QColor(0x1a, 0x1e, 0x23), QColor(0x12, 0x15, 0x19), QColor(0x4b, 0x53, 0x5c),
            QColor(0x2a, 0x30, 0x37), widgets::theme::kMuted,   widgets::theme::kText,
            widgets::theme::kCyan,    widgets::theme::kAmber};
}

constexpr int kTickLength = 6;
constexpr int kPixelsPerTick = 34;
// Step marks closer than this would merge into a band.
constexpr double kSmallestMarkGap = 6;

// A one-pixel line through the middle of a device pixel, whatever the ratio.
double crisp(double v, double ratio) {
    return (std::floor(v * ratio) + 0.5) / ratio;
}

QString tickText(double value) {
    return QString::number(value, 'g', 6);
}

} // namespace

SweepView::SweepView(const SweepChart& chart, QWidget* parent) : QWidget(parent), m_chart(chart) {
    setObjectName(QStringLiteral("SweepView"));
    setMinimumSize(240, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SweepView::setWrapTime(const QString& time) {
    m_wrapTime = time;
    update();
}

void SweepView::setPaper(bool paper) {
    m_paper = paper;
    update();
}

QRectF SweepView::plottingArea() const {
    return areaFor(size());
}

QRectF SweepView::areaFor(QSizeF size) const {
    const QFontMetricsF metrics(font());
    double widest = metrics.horizontalAdvance(QStringLiteral("dB"));
    for (const double tick : {m_chart.ChartMin, m_chart.ChartMax})
        widest = std::max(widest, metrics.horizontalAdvance(tickText(tick)));
    const double left = 12 + widest + 6 + kTickLength;
    const double top = 12 + metrics.height() * 1.6;
    const double right = 12 + metrics.horizontalAdvance(QStringLiteral("00:00:00")) / 2;
    const double bottom = 12 + metrics.height() * 1.8;
    return QRectF(left, top, std::max(1.0, size.width() - left - right),
                  std::max(1.0, size.height() - top - bottom));
}

void SweepView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    draw(painter, size());
}

void SweepView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Q_EMIT resized();
}

void SweepView::draw(QPainter& painter, QSizeF size) const {
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRectF area = areaFor(size);
    const QFontMetricsF metrics(font(), painter.device());
    painter.save();
    painter.setFont(font());
    const SweepColours c = sweepColoursOf(m_paper);
    painter.fillRect(QRectF(QPointF(0, 0), size), c.surface);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath rounded;
    rounded.addRoundedRect(area, 3, 3);
    painter.fillPath(rounded, c.area);
    if (m_paper) {
        // White on white: the area needs its outline.
        painter.setPen(QPen(c.gridLine, 0));
        painter.drawPath(rounded);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);

    drawScale(painter, area, metrics, ratio);
    drawSweep(painter, area, ratio);
    drawWrapMark(painter, area, metrics, ratio);
    painter.restore();
}

// The scale: ticks and labels on the left, faint lines across.
void SweepView::drawScale(QPainter& painter, const QRectF& area, const QFontMetricsF& metrics,
                          double ratio) const {
    const double span = m_chart.ChartMax - m_chart.ChartMin;
    const auto yOf = [&](double v) {
        return area.bottom() - (v - m_chart.ChartMin) / span * area.height();
    };
    const int maxTicks = std::max(2, int(area.height() / kPixelsPerTick));
    const SweepColours c = sweepColoursOf(m_paper);
    const QPen muted(c.label);
    for (const double tick : span > 0 ? scaleTicks(m_chart.ChartMin, m_chart.ChartMax, maxTicks)
                                      : std::vector<double>{}) {
        const double y = crisp(yOf(tick), ratio);
        painter.setPen(QPen(c.gridLine, 0));
        painter.drawLine(QPointF(area.left() + 1, y), QPointF(area.right() - 1, y));
        painter.setPen(QPen(c.frameLine, 0));
        painter.drawLine(QPointF(area.left() - kTickLength, y), QPointF(area.left(), y));
        painter.setPen(muted);
        const QRectF label(0, y - metrics.height() / 2, area.left() - kTickLength - 4,
                           metrics.height());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, tickText(tick));
    }
    painter.setPen(QPen(c.unit));
    QFont unitFont = font();
    unitFont.setBold(true);
    painter.setFont(unitFont);
    painter.drawText(QRectF(0, area.top() - metrics.height() * 1.5, area.left() - kTickLength - 4,
                            metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("dB"));
    painter.setFont(font());
    painter.setPen(QPen(c.frameLine, 0));
    const double leftEdge = crisp(area.left(), ratio);
    painter.drawLine(QPointF(leftEdge, area.top()), QPointF(leftEdge, area.bottom()));
}

// The sweep: what it has covered since it started (the last wrap, or new
// counts), its step marks and the sweep line itself.
void SweepView::drawSweep(QPainter& painter, const QRectF& area, double ratio) const {
    const QColor accent = sweepColoursOf(m_paper).sweep;
    const double width = double(m_chart.ChartWidth);
    const double x = std::clamp(m_chart.ChartX(), 0.0, width);
    const double start = std::clamp(m_chart.SweepStart(), 0.0, x);
    const double scale = m_chart.ChartWidth > 0 ? area.width() / width : 1.0;
    const double sweepX = area.left() + x * scale;
    const double startX = area.left() + start * scale;
    QColor wash = accent;
    wash.setAlphaF(0.12f);
    painter.fillRect(QRectF(std::max(startX, area.left() + 1), area.top() + 1,
                            sweepX - std::max(startX, area.left() + 1), area.height() - 2),
                     wash);
    const double gap = double(m_chart.ChartStep()) * scale;
    if (gap >= kSmallestMarkGap) {
        QColor mark = accent;
        mark.setAlphaF(0.45f);
        painter.setPen(QPen(mark, 0));
        for (double at = startX + gap; at < sweepX - 0.5; at += gap) {
            const double cx = crisp(at, ratio);
            painter.drawLine(QPointF(cx, area.bottom() - 6), QPointF(cx, area.bottom() - 1));
        }
    }
    // Two pixels wide: on a pixel boundary rather than through a middle.
    const double cx = std::round(sweepX * ratio) / ratio;
    painter.setPen(QPen(accent, 2));
    painter.drawLine(QPointF(cx, area.top() + 1), QPointF(cx, area.bottom() - 1));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(accent);
    painter.drawPolygon(QPolygonF{QPointF(cx - 5, area.top() - 7), QPointF(cx + 5, area.top() - 7),
                                  QPointF(cx, area.top() - 1)});
    painter.setRenderHint(QPainter::Antialiasing, false);
}

// The wrap mark and the time of the last wrap, centred under it.
void SweepView::drawWrapMark(QPainter& painter, const QRectF& area, const QFontMetricsF& metrics,
                             double ratio) const {
    if (m_wrapTime.isEmpty())
        return;
    const QColor amber = sweepColoursOf(m_paper).wrap;
    const double wx = std::round(area.right() * ratio) / ratio;
    painter.setPen(QPen(amber, 2));
    painter.drawLine(QPointF(wx, area.top()), QPointF(wx, area.bottom() + kTickLength));
    painter.setPen(QPen(amber));
    const double w = metrics.horizontalAdvance(m_wrapTime) + 4;
    painter.drawText(
        QRectF(area.right() - w / 2, area.bottom() + kTickLength + 2, w, metrics.height()),
        Qt::AlignCenter, m_wrapTime);
}

} // namespace quadtherm::graphs
