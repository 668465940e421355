#include "graphs/ui/plot_window.h"

#include "graphs/fit_range.h"
#include "graphs/ui/graph_output.h"
#include "graphs/ui/graph_style.h"
#include "graphs/ui/track_control.h"
#include "widgets/key_toolbar.h"
#include "widgets/numeric_edit.h"
#include "widgets/user_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace quadtherm::graphs {

namespace {

const QString kPlotCaption = QStringLiteral("Plot");
constexpr QSize kPlotSize(1060, 620);
constexpr double kCursorNearPixels = 1e9;

QLabel* caption(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

QLabel* readout(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setMinimumWidth(90);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

widgets::NumericEdit* rangeBox(const QString& name, int n, QWidget* parent) {
    auto* box = new widgets::NumericEdit(n, parent);
    box->setObjectName(name);
    // Any range a zoom or a pan reaches: as far as the axis itself goes.
    box->setWideRange(QCPRange::maxRange);
    box->spinBox()->setButtonSymbols(QAbstractSpinBox::NoButtons);
    box->spinBox()->setMinimumWidth(96);
    return box;
}

// The channel number a tag such as "3°F" starts with.
int channelOfTag(const QString& tag) {
    int digits = 0;
    while (digits < tag.size() && tag[digits].isDigit())
        ++digits;
    return tag.left(digits).toInt();
}

} // namespace

PlotWindow::PlotWindow(widgets::UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("Plot"));
    setWindowTitle(kPlotCaption);

    FrmGraphic = new QGroupBox(QStringLiteral("Graphic Plot"), this);
    FrmGraphic->setObjectName(QStringLiteral("FrmGraphic"));
    CWGraph1 = new QCustomPlot(FrmGraphic);
    CWGraph1->setObjectName(QStringLiteral("CWGraph1"));
    CWGraph1->setMinimumSize(360, 260);
    CWGraph1->setNoAntialiasingOnDrag(true);
    auto* frame = new QVBoxLayout(FrmGraphic);
    frame->setContentsMargins(6, 8, 6, 6);
    frame->addWidget(CWGraph1);

    CWGraph1->plotLayout()->insertRow(0);
    GraphCaption = new QCPTextElement(CWGraph1, QString(), QFont(font().family(), 12, QFont::Bold));
    CWGraph1->plotLayout()->addElement(0, 0, GraphCaption);
    CWGraph1->xAxis->setLabel(QStringLiteral("X-Axis"));
    CWGraph1->yAxis->setLabel(QStringLiteral("Y-Axis"));
    QFont tickFont = font();
    tickFont.setPointSizeF(9);
    for (QCPAxis* axis : {CWGraph1->xAxis, CWGraph1->yAxis}) {
        axis->setTickLabelFont(tickFont);
        axis->setLabelFont(tickFont);
        axis->setNumberFormat(QStringLiteral("gb"));
        axis->setNumberPrecision(7);
        axis->grid()->setSubGridVisible(true);
    }
    m_graph = CWGraph1->addGraph();
    m_graph->setAdaptiveSampling(true);
    m_graph->setAntialiased(true);
    for (int n = 0; n < 2; ++n) {
        auto* cursor = new QCPItemTracer(CWGraph1);
        cursor->setStyle(QCPItemTracer::tsCrosshair);
        cursor->setGraph(nullptr);
        cursor->setVisible(false);
        cursor->setSelectable(false);
        m_cursors[size_t(n)] = cursor;
    }
    m_track = new TrackControl(*CWGraph1);
    connect(m_track, &TrackControl::cursorDragged, this, &PlotWindow::cursorDragged);
    connect(CWGraph1->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
        syncBoxes();
        showMeasures();
    });
    connect(CWGraph1->yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &PlotWindow::syncBoxes);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(8);
    row->addWidget(FrmGraphic, 1);
    row->addWidget(buildSidePanel());

    applyLook(false);
    resize(kPlotSize);

    // Form_Load: the first of the eight track modes chosen.
    Combo1->setCurrentIndex(0);
    Combo1_Click(0);
}

PlotWindow::~PlotWindow() = default;

QWidget* PlotWindow::buildSidePanel() {
    auto* side = new QWidget(this);
    side->setFixedWidth(290);
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* range = new QGroupBox(QStringLiteral("Graph Range"), side);
    auto* grid = new QGridLayout(range);
    grid->addWidget(caption(QStringLiteral("Min"), range), 0, 1, Qt::AlignHCenter);
    grid->addWidget(caption(QStringLiteral("Max"), range), 0, 2, Qt::AlignHCenter);
    grid->addWidget(caption(QStringLiteral("No.s"), range), 1, 0);
    LblRangeUnit = caption(QStringLiteral("°C"), range);
    LblRangeUnit->setObjectName(QStringLiteral("LblRangeUnit"));
    grid->addWidget(LblRangeUnit, 2, 0);
    for (int n = 1; n <= 2; ++n) {
        m_axisMin[size_t(n - 1)] = rangeBox(QStringLiteral("AxisMin%1").arg(n), n, range);
        m_axisMax[size_t(n - 1)] = rangeBox(QStringLiteral("AxisMax%1").arg(n), n, range);
        if (n == 1) {
            // Sample numbers are whole: "1", not "1.0".
            AxisMin(n)->setDecimals(0);
            AxisMax(n)->setDecimals(0);
        }
        grid->addWidget(AxisMin(n), n, 1);
        grid->addWidget(AxisMax(n), n, 2);
        connect(AxisMin(n), &widgets::NumericEdit::valueChanged, this,
                [this](int index, double) { AxisMin_ValueChanged(index); });
        connect(AxisMax(n), &widgets::NumericEdit::valueChanged, this,
                [this](int index, double) { AxisMax_ValueChanged(index); });
    }
    column->addWidget(range);

    column->addWidget(trackModeBox(side, Combo1, txtDescription));
    connect(Combo1, &QComboBox::activated, this, &PlotWindow::Combo1_Click);

    auto* cursorBox = new QGroupBox(QStringLiteral("Cursor Information"), side);
    auto* cursorGrid = new QGridLayout(cursorBox);
    cursorGrid->addWidget(caption(QStringLiteral("No.s ( X ) :"), cursorBox), 0, 0);
    LblCursorY = caption(QStringLiteral("°C ( Y ) :"), cursorBox);
    LblCursorY->setObjectName(QStringLiteral("LblCursorY"));
    cursorGrid->addWidget(LblCursorY, 1, 0);
    XPosition = readout(QStringLiteral("XPosition"), cursorBox);
    YPosition = readout(QStringLiteral("YPosition"), cursorBox);
    cursorGrid->addWidget(XPosition, 0, 1);
    cursorGrid->addWidget(YPosition, 1, 1);
    cursorGrid->setColumnStretch(1, 1);
    column->addWidget(cursorBox);

    // The measuring line: a second cursor and the samples in view.
    ChkCursor2 = new QCheckBox(QStringLiteral("Second cursor"), side);
    ChkCursor2->setObjectName(QStringLiteral("ChkCursor2"));
    ChkCursor2->setToolTip(
        QStringLiteral("In \"Cursor Coordinates\", a drag moves the cursor nearer the mouse"));
    connect(ChkCursor2, &QCheckBox::clicked, this, &PlotWindow::ChkCursor2_Click);
    LblDelta = new QLabel(side);
    LblDelta->setObjectName(QStringLiteral("LblDelta"));
    LblDelta->setWordWrap(true);
    LblDelta->hide();
    LblInView = new QLabel(side);
    LblInView->setObjectName(QStringLiteral("LblInView"));
    LblInView->setWordWrap(true);
    column->addWidget(ChkCursor2);
    column->addWidget(LblDelta);
    column->addWidget(LblInView);
    column->addStretch(1);

    CmdReset = new QPushButton(QStringLiteral("Reset Scale"), side);
    CmdReset->setObjectName(QStringLiteral("CmdReset"));
    connect(CmdReset, &QPushButton::clicked, this, &PlotWindow::CmdReset_Click);
    CmdFit = new QPushButton(QStringLiteral("Fit"), side);
    CmdFit->setObjectName(QStringLiteral("CmdFit"));
    CmdFit->setToolTip(QStringLiteral("Fit both axes to the samples"));
    connect(CmdFit, &QPushButton::clicked, this, &PlotWindow::CmdFit_Click);
    CmdPrint = new QPushButton(QStringLiteral("Print Graph"), side);
    CmdPrint->setShortcut(widgets::standardShortcut(QStringLiteral("Print")));
    CmdPrint->setObjectName(QStringLiteral("CmdPrint"));
    connect(CmdPrint, &QPushButton::clicked, this, &PlotWindow::CmdPrint_Click);
    CmdSave = new QPushButton(QStringLiteral("Save Image..."), side);
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    CmdSave->setToolTip(QStringLiteral("Save the graph as a PNG or PDF file"));
    connect(CmdSave, &QPushButton::clicked, this, &PlotWindow::CmdSave_Click);
    auto* scale = new QHBoxLayout;
    scale->setSpacing(6);
    scale->addWidget(CmdReset, 1);
    scale->addWidget(CmdFit);
    column->addLayout(scale);
    for (QPushButton* button : {CmdPrint, CmdSave})
        column->addWidget(button);
    return side;
}

void PlotWindow::load(const QString& plotTag, PlotScale scale, QVector<float> values) {
    PlotTag = plotTag;
    PlotYMax = scale.PlotYMax;
    PlotYMin = scale.PlotYMin;
    PlotCount = int(values.size());
    m_channel = channelOfTag(plotTag);
    const bool fahrenheit = plotTag.contains(QStringLiteral("°F"));
    m_unit = fahrenheit ? QStringLiteral("°F") : QStringLiteral("°C");
    m_values = std::move(values);
    m_stats = SampleStats(m_values);

    show();
    raise();
    LblRangeUnit->setText(m_unit);
    LblCursorY->setText(m_unit + QStringLiteral(" ( Y ) :"));
    GraphCaption->setText(QStringLiteral("T") + QString::number(m_channel));
    QVector<QCPGraphData> points(m_values.size());
    for (qsizetype i = 0; i < m_values.size(); ++i)
        points[i] = QCPGraphData(double(i + 1), double(m_values[i]));
    m_graph->data()->set(points, true);
    m_graph->setPen(QPen(traceColor(m_channel - 1, GraphLook::Screen), 1));
    CWGraph1->yAxis->setLabel(fahrenheit ? QStringLiteral("Fahrenheit")
                                         : QStringLiteral("Celsius"));
    CmdReset_Click();
    // A cursor left where the last series was would read nothing: it starts
    // again in the middle of the new view.
    if (m_track->mode() == TrackMode::CursorCoordinates)
        Combo1_Click(Combo1->currentIndex());
}

std::pair<double, double> PlotWindow::yScale() const {
    if (PlotYMin != PlotYMax)
        return {PlotYMin, PlotYMax};
    if (m_values.isEmpty())
        return {PlotYMin - 1, PlotYMax + 1};
    const auto [lo, hi] = std::minmax_element(m_values.cbegin(), m_values.cend());
    const double pad = std::max((double(*hi) - double(*lo)) * 0.05, 1.0);
    return {double(*lo) - pad, double(*hi) + pad};
}

void PlotWindow::CmdReset_Click() {
    // One sample still needs a span to be drawn in.
    const double xMax = std::max(PlotCount, 2);
    const auto [yMin, yMax] = yScale();
    {
        m_syncing = true;
        const auto done = qScopeGuard([this] { m_syncing = false; });
        AxisMax(1)->setValue(PlotCount);
        AxisMin(1)->setValue(1);
        AxisMax(2)->setValue(PlotYMax);
        AxisMin(2)->setValue(PlotYMin);
        CWGraph1->xAxis->setRangeReversed(false);
        CWGraph1->yAxis->setRangeReversed(false);
        CWGraph1->xAxis->setRange(1, xMax);
        CWGraph1->yAxis->setRange(yMin, yMax);
    }
    syncBoxes();
    showMeasures();
    CWGraph1->replot(QCustomPlot::rpQueuedReplot);
}

void PlotWindow::CmdFit_Click() {
    const FitRanges fit = fitRanges(m_values);
    {
        m_syncing = true;
        const auto done = qScopeGuard([this] { m_syncing = false; });
        CWGraph1->xAxis->setRangeReversed(false);
        CWGraph1->xAxis->setRange(fit.x.lower, fit.x.upper);
        if (fit.y) {
            CWGraph1->yAxis->setRangeReversed(false);
            CWGraph1->yAxis->setRange(fit.y->lower, fit.y->upper);
        }
    }
    syncBoxes();
    showMeasures();
    CWGraph1->replot(QCustomPlot::rpQueuedReplot);
}

void PlotWindow::AxisMin_ValueChanged(int index) {
    if (!m_syncing)
        applyAxis(index);
}

void PlotWindow::AxisMax_ValueChanged(int index) {
    if (!m_syncing)
        applyAxis(index);
}

// The boxes of an axis become its range. A minimum above the maximum is
// passed on as it is: the axis then runs from the minimum's end, reversed.
void PlotWindow::applyAxis(int n) {
    QCPAxis* axis = n == 1 ? CWGraph1->xAxis : CWGraph1->yAxis;
    const double min = AxisMin(n)->value();
    const double max = AxisMax(n)->value();
    if (min == max) {
        // No span to draw: the axis keeps its range, and the boxes say so.
        syncBoxes();
        return;
    }
    {
        m_syncing = true;
        const auto done = qScopeGuard([this] { m_syncing = false; });
        axis->setRangeReversed(min > max);
        axis->setRange(std::min(min, max), std::max(min, max));
    }
    CWGraph1->replot(QCustomPlot::rpQueuedReplot);
}

void PlotWindow::syncBoxes() {
    if (m_syncing)
        return;
    m_syncing = true;
    const auto done = qScopeGuard([this] { m_syncing = false; });
    for (int n = 1; n <= 2; ++n) {
        const QCPAxis* axis = n == 1 ? CWGraph1->xAxis : CWGraph1->yAxis;
        const QCPRange r = axis->range();
        const bool reversed = axis->rangeReversed();
        AxisMin(n)->setValue(reversed ? r.upper : r.lower);
        AxisMax(n)->setValue(reversed ? r.lower : r.upper);
    }
}

int PlotWindow::TrackMode() const {
    return int(m_track->mode());
}

void PlotWindow::Combo1_Click(int index) {
    const auto entry = trackModeAt(index);
    if (!entry) {
        m_dialogs.message(this, QStringLiteral("Select a valid TrackMode."), {},
                          widgets::UserDialogs::Icon::None);
        return;
    }
    Combo1->setCurrentIndex(index);
    m_track->setMode(entry->mode);
    txtDescription->setPlainText(QString::fromLatin1(entry->description));
    const bool cursorMode = entry->mode == TrackMode::CursorCoordinates;
    m_cursors[0]->setVisible(cursorMode);
    m_cursors[1]->setVisible(false);
    ChkCursor2->setChecked(false);
    ChkCursor2->setEnabled(cursorMode);
    if (cursorMode) {
        const QCPRange x = CWGraph1->xAxis->range();
        const QCPRange y = CWGraph1->yAxis->range();
        moveCursor(1, {(x.lower + x.upper) / 2, (y.lower + y.upper) / 2});
    } else {
        // No cursor, nothing to read.
        XPosition->clear();
        YPosition->clear();
    }
    showMeasures();
    CWGraph1->replot(QCustomPlot::rpQueuedReplot);
}

bool PlotWindow::cursorVisible(int n) const {
    return m_cursors.at(size_t(n - 1))->visible();
}

QPointF PlotWindow::cursorPosition(int n) const {
    return m_cursors.at(size_t(n - 1))->position->coords();
}

void PlotWindow::moveCursor(int n, QPointF position) {
    m_cursors.at(size_t(n - 1))->position->setCoords(position);
    if (n == 1)
        CWGraph1_CursorChange();
    showMeasures();
    CWGraph1->replot(QCustomPlot::rpQueuedReplot);
}

void PlotWindow::CWGraph1_CursorChange() {
    const QPointF at = cursorPosition(1);
    XPosition->setText(cursorXText(at.x()));
    YPosition->setText(cursorYText(at.y()));
}

void PlotWindow::ChkCursor2_Click(bool shown) {
    ChkCursor2->setChecked(shown);
    if (shown && !cursorVisible(2)) {
        // Beside the first cursor, three quarters across the view.
        const QCPRange x = CWGraph1->xAxis->range();
        m_cursors[1]->position->setCoords(x.lower + x.size() * 0.75, cursorPosition(1).y());
    }
    m_cursors[1]->setVisible(shown);
    showMeasures();
    CWGraph1->replot(QCustomPlot::rpQueuedReplot);
}

void PlotWindow::cursorDragged(QPointF at, bool pressed) {
    if (pressed) {
        // The cursor nearer the mouse follows it.
        m_dragged = 1;
        if (cursorVisible(2)) {
            const auto distance = [this, at](int n) {
                const QPointF c = cursorPosition(n);
                const double dx =
                    CWGraph1->xAxis->coordToPixel(c.x()) - CWGraph1->xAxis->coordToPixel(at.x());
                const double dy =
                    CWGraph1->yAxis->coordToPixel(c.y()) - CWGraph1->yAxis->coordToPixel(at.y());
                return std::isfinite(dx) && std::isfinite(dy) ? std::hypot(dx, dy)
                                                              : kCursorNearPixels;
            };
            if (distance(2) < distance(1))
                m_dragged = 2;
        }
    }
    moveCursor(m_dragged, at);
}

RangeFigures PlotWindow::inView() const {
    const QCPRange x = CWGraph1->xAxis->range();
    return m_stats.over(x.lower, x.upper);
}

void PlotWindow::showMeasures() {
    LblInView->setText(inViewText(inView(), m_unit));
    const bool both = cursorVisible(1) && cursorVisible(2);
    LblDelta->setVisible(both);
    if (both) {
        const QPointF d = cursorPosition(2) - cursorPosition(1);
        LblDelta->setText(cursorDeltaText(d.x(), d.y(), m_unit));
    }
}

void PlotWindow::applyLook(bool paper) {
    const GraphLook look = paper ? GraphLook::Paper : GraphLook::Screen;
    applyGraphLook(*CWGraph1, look);
    m_graph->setPen(QPen(traceColor(m_channel - 1, look), 1));
    QPen first(paper ? QColor(0xb4, 0x53, 0x09) : QColor(0xfb, 0xbf, 0x24), 1);
    QPen second(paper ? QColor(0x6d, 0x28, 0xd9) : QColor(0xc0, 0x84, 0xfc), 1, Qt::DashLine);
    m_cursors[0]->setPen(first);
    m_cursors[1]->setPen(second);
}

void PlotWindow::CmdPrint_Click() {
    // Black on white, the graph's frame without its border and title, and
    // everything as it was afterwards.
    const QString frameTitle = FrmGraphic->title();
    printGraphWindow(*this, *CWGraph1, m_dialogs, [this, frameTitle](bool paper) {
        m_printing = paper;
        FrmGraphic->setTitle(paper ? QString() : frameTitle);
        applyLook(paper);
    });
}

void PlotWindow::CmdSave_Click() {
    savePictureAs(this, m_dialogs, CWGraph1->size(),
                  [this](QCPPainter& painter, QSize size) { drawPlot(*CWGraph1, painter, size); });
}

} // namespace quadtherm::graphs
