#include "graphs/ui/track_control.h"

#include "graphs/track_mode.h"

#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <qcustomplot.h>

namespace quadtherm::graphs {

QGroupBox* trackModeBox(QWidget* parent, QComboBox*& combo, QPlainTextEdit*& description) {
    auto* box = new QGroupBox(QStringLiteral("Track Mode"), parent);
    auto* column = new QVBoxLayout(box);
    combo = new QComboBox(box);
    combo->setObjectName(QStringLiteral("Combo1"));
    for (const auto& entry : kTrackModes)
        combo->addItem(QString::fromLatin1(entry.entry));
    description = new QPlainTextEdit(box);
    description->setObjectName(QStringLiteral("txtDescription"));
    description->setReadOnly(true);
    description->setFixedHeight(description->fontMetrics().lineSpacing() * 4 + 12);
    column->addWidget(combo);
    column->addWidget(description);
    return box;
}

namespace {

// A smaller rectangle is a click that slipped, not a region.
constexpr int kSmallestZoomPixels = 4;

// The dragged rectangle of a zoom mode, drawn as the band it zooms to.
class ZoomBand final : public QCPSelectionRect {
public:
    using QCPSelectionRect::QCPSelectionRect;
    Qt::Orientations zoomed = Qt::Horizontal | Qt::Vertical;

    QRect band() const { return zoomBand(mRect, mParentPlot->axisRect()->rect(), zoomed); }

protected:
    void draw(QCPPainter* painter) override {
        if (!mActive)
            return;
        painter->setPen(mPen);
        painter->setBrush(mBrush);
        painter->drawRect(band());
    }
};

void zoomAxis(QCPAxis* axis, double fromPixel, double toPixel) {
    const double a = axis->pixelToCoord(fromPixel);
    const double b = axis->pixelToCoord(toPixel);
    axis->setRange(std::min(a, b), std::max(a, b));
}

} // namespace

TrackControl::TrackControl(QCustomPlot& plot) : QObject(&plot), m_plot(plot) {
    m_band = new ZoomBand(&m_plot);
    m_band->setLayer(QStringLiteral("overlay")); // where QCustomPlot keeps its own
    m_plot.setSelectionRect(m_band);
    setZoomBandLook(QColor(0x9a, 0xa4, 0xad));
    connect(m_plot.selectionRect(), &QCPSelectionRect::accepted, this,
            [this](const QRect& rect, QMouseEvent*) { zoomTo(rect); });
    connect(&m_plot, &QCustomPlot::mousePress, this, &TrackControl::mousePressed);
    connect(&m_plot, &QCustomPlot::mouseMove, this, &TrackControl::mouseMoved);
    connect(&m_plot, &QCustomPlot::mouseRelease, this, [this] { m_dragging = false; });
    setMode(TrackMode::Normal);
}

void TrackControl::setMode(TrackMode mode) {
    m_mode = mode;
    m_dragging = false;
    const TrackRules rules = trackRules(mode);
    m_plot.setInteraction(QCP::iRangeDrag, rules.drag != Qt::Orientations());
    m_plot.setInteraction(QCP::iRangeZoom, rules.wheel != Qt::Orientations());
    QCPAxisRect* rect = m_plot.axisRect();
    rect->setRangeDrag(rules.drag);
    rect->setRangeZoom(rules.wheel);
    m_plot.setSelectionRectMode(rules.rectangleZoom != Qt::Orientations() ? QCP::srmCustom
                                                                          : QCP::srmNone);
    static_cast<ZoomBand*>(m_band)->zoomed = rules.rectangleZoom;
    m_plot.setCursor(rules.cursor ? Qt::CrossCursor
                     : rules.drag ? Qt::OpenHandCursor
                                  : Qt::ArrowCursor);
}

QRect TrackControl::zoomBandShown() const {
    return m_band->isActive() ? static_cast<const ZoomBand*>(m_band)->band() : QRect();
}

void TrackControl::setZoomBandLook(const QColor& colour) {
    QColor fill = colour;
    fill.setAlphaF(0.18f);
    m_band->setPen(QPen(colour, 1, Qt::DashLine));
    m_band->setBrush(fill);
}

void TrackControl::zoomTo(const QRect& pixels) {
    const Qt::Orientations axes = trackRules(m_mode).rectangleZoom;
    const QRect r = pixels.normalized();
    bool zoomed = false;
    if (axes.testFlag(Qt::Horizontal) && r.width() >= kSmallestZoomPixels) {
        zoomAxis(m_plot.xAxis, r.left(), r.right());
        zoomed = true;
    }
    if (axes.testFlag(Qt::Vertical) && r.height() >= kSmallestZoomPixels) {
        zoomAxis(m_plot.yAxis, r.top(), r.bottom());
        zoomed = true;
    }
    if (zoomed)
        m_plot.replot(QCustomPlot::rpQueuedReplot);
}

void TrackControl::mousePressed(QMouseEvent* event) {
    if (!trackRules(m_mode).cursor || event->button() != Qt::LeftButton)
        return;
    const QPointF at = event->position();
    if (!m_plot.axisRect()->rect().contains(at.toPoint()))
        return;
    m_dragging = true;
    Q_EMIT cursorDragged({m_plot.xAxis->pixelToCoord(at.x()), m_plot.yAxis->pixelToCoord(at.y())},
                         true);
}

void TrackControl::mouseMoved(QMouseEvent* event) {
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    // The cursor stays on the plotting area when the mouse leaves it.
    const QRect area = m_plot.axisRect()->rect();
    const QPointF at(std::clamp(event->position().x(), double(area.left()), double(area.right())),
                     std::clamp(event->position().y(), double(area.top()), double(area.bottom())));
    Q_EMIT cursorDragged({m_plot.xAxis->pixelToCoord(at.x()), m_plot.yAxis->pixelToCoord(at.y())},
                         false);
}

} // namespace quadtherm::graphs
