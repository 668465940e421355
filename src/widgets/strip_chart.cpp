#include "widgets/strip_chart.h"

#include "widgets/theme.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quadtherm::widgets {

namespace {

constexpr double kCompactPointSize = 7.5;
// Any wider and Qt strokes the trace as one outline: a dense day-long trace then
// takes seconds to draw instead of milliseconds.
constexpr double kTraceWidth = 1.0;
// Temperatures move in tenths: a flat trace keeps a one-degree window rather
// than blowing sensor noise up to full height.
constexpr double kMinimumYSpan = 1.0;
constexpr double kYMargin = 0.08;
constexpr int kPixelsPerXTick = 70;
// Time labels are short ("−2 min", "14:06"): a narrow card still gets three.
constexpr int kPixelsPerTimeTick = 60;
constexpr int kPixelsPerYTick = 36;
constexpr double kSetpointLineWidth = 1.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool sortedBounds(double& lower, double& upper) {
    if (!std::isfinite(lower) || !std::isfinite(upper))
        return false;
    if (lower > upper)
        std::swap(lower, upper);
    if (lower == upper) {
        lower -= 0.5;
        upper += 0.5;
    }
    return true;
}

} // namespace

StripChart::StripChart(int index, QWidget* parent)
    : QWidget(parent), m_index(index), m_plot(new QCustomPlot(this)), m_graph(m_plot->addGraph()),
      m_timeTicker(QSharedPointer<QCPAxisTickerText>::create()),
      m_setpointLine(new QCPItemStraightLine(m_plot)) {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_plot);

    m_graph->setAntialiased(true);
    m_graph->setAdaptiveSampling(true);
    m_plot->setNoAntialiasingOnDrag(true);
    m_plot->xAxis->setRange(1, 300);
    m_plot->yAxis->setRange(0, 100);
    for (QCPAxis* axis : {m_plot->xAxis, m_plot->yAxis}) {
        axis->setSubTicks(false);
        axis->setTickLength(0, 3);
        axis->setTickLabelPadding(2);
        axis->setPadding(2);
        axis->grid()->setZeroLinePen(Qt::NoPen);
    }
    m_numberTicker = m_plot->xAxis->ticker();
    m_timeTicker->setSubTickCount(0);
    m_plot->yAxis->setLabelPadding(2);
    m_setpointLine->setSelectable(false);
    m_setpointLine->setVisible(false);

    connect(m_plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this] { m_rescan = true; });
    // QCustomPlot keeps mouse events, a right click's context menu among
    // them, from its parent: the chart's own menu is offered from here.
    m_plot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_plot, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, m_plot->mapTo(this, at),
                                m_plot->mapToGlobal(at));
        QCoreApplication::sendEvent(this, &event);
    });
    m_plot->installEventFilter(this);
    connect(m_plot, &QCustomPlot::beforeReplot, this, [this] {
        updateAutoScale();
        updateTimeTicks();
        updateSetpointLine();
    });
    connect(m_plot, &QCustomPlot::afterLayout, this, &StripChart::fitRightMargin);
    connect(m_plot, &QCustomPlot::mousePress, this, [this](QMouseEvent* event) {
        m_pressed = event->button() == Qt::LeftButton;
        m_pressPos = event->position().toPoint();
    });
    connect(m_plot, &QCustomPlot::mouseRelease, this, [this](QMouseEvent* event) {
        const bool still = (event->position().toPoint() - m_pressPos).manhattanLength() <
                           QApplication::startDragDistance();
        if (m_pressed && event->button() == Qt::LeftButton && still)
            Q_EMIT clicked(m_index);
        m_pressed = false;
    });

    applyStyle();
    applyTickDensity();
}

void StripChart::clear() {
    m_graph->data()->clear();
    m_newestTime = {};
    m_rescan = true;
    queueReplot();
}

void StripChart::setXRange(double lower, double upper) {
    if (!sortedBounds(lower, upper))
        return;
    m_plot->xAxis->setRange(lower, upper);
    queueReplot();
}

void StripChart::setYRange(double lower, double upper) {
    if (!sortedBounds(lower, upper))
        return;
    m_autoScaleY = false;
    m_plot->yAxis->setRange(lower, upper);
    queueReplot();
}

void StripChart::setAutoScaleY(bool on) {
    m_autoScaleY = on;
    m_rescan = true;
    queueReplot();
}

void StripChart::appendPoint(double y) {
    if (!std::isfinite(y))
        y = kNaN;
    QCPGraphDataContainer& stored = *m_graph->data();
    const double x = stored.isEmpty() ? xLower() : (stored.constEnd() - 1)->key + 1.0;
    stored.add(QCPGraphData(x, y));

    const QCPRange view = m_plot->xAxis->range();
    if (x > view.upper) {
        m_plot->xAxis->setRange(x - view.size(), x);
    } else if (!m_rescan && !std::isnan(y) && x >= view.lower) {
        m_seenLower = m_seenAny ? std::min(m_seenLower, y) : y;
        m_seenUpper = m_seenAny ? std::max(m_seenUpper, y) : y;
        m_seenAny = true;
    }
    if (m_historyLimit > 0 && stored.size() > m_historyLimit) {
        const double keep = (stored.constEnd() - m_historyLimit)->key;
        m_rescan = m_rescan || keep > m_plot->xAxis->range().lower;
        stored.removeBefore(keep);
    }
    queueReplot();
}

void StripChart::appendPoint(double y, const QDateTime& takenAt) {
    appendPoint(y);
    m_newestTime = takenAt;
}

void StripChart::plotArray(const QVector<double>& ys, double firstX, double step) {
    const double lastX = firstX + step * std::max<qsizetype>(0, ys.size() - 1);
    if (!std::isfinite(firstX) || !std::isfinite(step) || !std::isfinite(lastX))
        return;
    QVector<QCPGraphData> points(ys.size());
    for (qsizetype i = 0; i < ys.size(); ++i)
        points[i] = QCPGraphData(firstX + step * i, std::isfinite(ys[i]) ? ys[i] : kNaN);
    m_graph->data()->set(points, step >= 0);
    m_newestTime = {};
    m_rescan = true;
    queueReplot();
}

int StripChart::pointCount() const {
    return m_graph->data()->size();
}

void StripChart::setHistoryLimit(int points) {
    m_historyLimit = std::max(0, points);
}

double StripChart::xLower() const {
    return m_plot->xAxis->range().lower;
}

double StripChart::xUpper() const {
    return m_plot->xAxis->range().upper;
}

double StripChart::yLower() const {
    updateAutoScale();
    return m_plot->yAxis->range().lower;
}

double StripChart::yUpper() const {
    updateAutoScale();
    return m_plot->yAxis->range().upper;
}

QColor StripChart::traceColor() const {
    return m_traceColor.isValid() ? m_traceColor : palette().color(QPalette::Highlight);
}

void StripChart::setTraceColor(const QColor& color) {
    m_traceColor = color;
    applyStyle();
    queueReplot();
}

void StripChart::setTimeAxis(TimeAxisMode mode, int intervalSeconds) {
    m_timeMode = mode;
    m_intervalSeconds = std::max(0, intervalSeconds);
    m_plot->xAxis->setTicker(m_intervalSeconds > 0 ? QSharedPointer<QCPAxisTicker>(m_timeTicker)
                                                   : m_numberTicker);
    queueReplot();
}

void StripChart::setValueLabel(const QString& text) {
    m_plot->yAxis->setLabel(text);
    queueReplot();
}

void StripChart::setSetpoint(std::optional<double> value) {
    if (value && !std::isfinite(*value))
        value.reset();
    m_setpoint = value;
    queueReplot();
}

bool StripChart::setpointShown() const {
    if (!m_setpoint)
        return false;
    updateAutoScale();
    return m_plot->yAxis->range().contains(*m_setpoint);
}

QSize StripChart::sizeHint() const {
    return {220, 110};
}

QSize StripChart::minimumSizeHint() const {
    return {120, 70};
}

void StripChart::changeEvent(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::PaletteChange || type == QEvent::FontChange ||
        type == QEvent::StyleChange) {
        applyStyle();
        queueReplot();
    }
    QWidget::changeEvent(event);
}

void StripChart::resizeEvent(QResizeEvent* event) {
    applyTickDensity();
    QWidget::resizeEvent(event);
}

bool StripChart::eventFilter(QObject* watched, QEvent* event) {
    // A chart on a page that was never laid out (the hidden °F page, when a
    // whole window is grabbed) is resized to nothing; QCustomPlot would
    // replot into an empty buffer. Its first real size replots it.
    if (watched == m_plot && event->type() == QEvent::Resize &&
        static_cast<QResizeEvent*>(event)->size().isEmpty()) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void StripChart::applyStyle() {
    const QPalette& pal = palette();
    const QColor back = pal.color(QPalette::Window);
    const QColor base = pal.color(QPalette::Base);
    const QColor text = pal.color(QPalette::WindowText);
    QFont tickFont = font();
    if (!testAttribute(Qt::WA_SetFont))
        tickFont.setPointSizeF(kCompactPointSize);

    m_plot->setBackground(back);
    m_plot->axisRect()->setBackground(base);
    const QPen axisPen(theme::mix(text, back, 0.3), 1);
    const QPen gridPen(theme::mix(text, base, 0.12), 1);
    for (QCPAxis* axis : {m_plot->xAxis, m_plot->yAxis}) {
        axis->setBasePen(axisPen);
        axis->setTickPen(axisPen);
        axis->setTickLabelColor(theme::mix(text, back, 0.7));
        axis->setLabelColor(theme::mix(text, back, 0.7));
        axis->setTickLabelFont(tickFont);
        axis->setLabelFont(tickFont);
        axis->grid()->setPen(gridPen);
    }
    // Half a label of room above the top Y tick, so its text is not cut off.
    const QFontMetrics metrics(tickFont);
    QMargins margins = m_plot->axisRect()->minimumMargins();
    margins.setTop(metrics.ascent() / 2 + 1);
    margins.setLeft(0);
    margins.setBottom(0);
    m_plot->axisRect()->setMinimumMargins(margins);

    QPen trace(traceColor(), kTraceWidth);
    trace.setJoinStyle(Qt::RoundJoin);
    m_graph->setPen(trace);
    m_setpointLine->setPen(
        QPen(theme::mix(theme::kRed, base, 0.85), kSetpointLineWidth, Qt::DashLine));
}

int StripChart::timeTickCount() const {
    return std::clamp(width() / kPixelsPerTimeTick, 2, 10);
}

void StripChart::applyTickDensity() {
    m_numberTicker->setTickCount(std::clamp(width() / kPixelsPerXTick, 2, 10));
    m_plot->yAxis->ticker()->setTickCount(std::clamp(height() / kPixelsPerYTick, 2, 8));
}

// The right axis is hidden, so nothing reserves room for the half of the last
// X label that hangs past the plot; make that room, then lay out again.
void StripChart::fitRightMargin() {
    const QFontMetrics metrics(m_plot->xAxis->tickLabelFont());
    int widest = 0;
    for (const QString& label : m_plot->xAxis->tickVectorLabels())
        widest = std::max(widest, metrics.horizontalAdvance(label));
    QMargins margins = m_plot->axisRect()->minimumMargins();
    const int right = widest / 2 + 3;
    if (margins.right() == right)
        return;
    margins.setRight(right);
    m_plot->axisRect()->setMinimumMargins(margins);
    for (auto phase :
         {QCPLayoutElement::upPreparation, QCPLayoutElement::upMargins, QCPLayoutElement::upLayout})
        m_plot->plotLayout()->update(phase);
}

void StripChart::updateAutoScale() const {
    if (!m_autoScaleY)
        return;
    if (m_rescan) {
        bool found = false;
        const QCPRange seen = m_graph->getValueRange(found, QCP::sdBoth, m_plot->xAxis->range());
        m_seenAny = found;
        m_seenLower = seen.lower;
        m_seenUpper = seen.upper;
        m_rescan = false;
    }
    if (!m_seenAny)
        return;
    double lower = m_seenLower;
    double upper = m_seenUpper;
    const double middle = (lower + upper) / 2;
    const double minimumSpan = std::max(kMinimumYSpan, std::abs(middle) * 1e-9);
    if (upper - lower < minimumSpan) {
        lower = middle - minimumSpan / 2;
        upper = middle + minimumSpan / 2;
    } else {
        const double pad = (upper - lower) * kYMargin;
        lower -= pad;
        upper += pad;
    }
    m_plot->yAxis->setRange(lower, upper);
}

void StripChart::updateTimeTicks() {
    if (m_intervalSeconds <= 0)
        return;
    m_timeTicker->clear();
    const QCPGraphDataContainer& stored = *m_graph->data();
    if (stored.isEmpty())
        return; // nothing taken yet, so nothing to date
    TimeAxisView view;
    view.lower = xLower();
    view.upper = xUpper();
    view.newestX = (stored.constEnd() - 1)->key;
    view.intervalSeconds = m_intervalSeconds;
    view.newestTime = m_newestTime;
    for (const TimeTick& tick : timeAxisTicks(view, m_timeMode, timeTickCount()))
        m_timeTicker->addTick(tick.x, tick.label);
}

void StripChart::updateSetpointLine() {
    const bool shown = setpointShown();
    m_setpointLine->setVisible(shown);
    if (shown) {
        m_setpointLine->point1->setCoords(0, *m_setpoint);
        m_setpointLine->point2->setCoords(1, *m_setpoint);
    }
}

void StripChart::queueReplot() {
    // A chart on a page not yet laid out has no size to paint into; its
    // first resize replots it.
    if (m_plot->width() <= 0 || m_plot->height() <= 0) {
        return;
    }
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

} // namespace quadtherm::widgets
