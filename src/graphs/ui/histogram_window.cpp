#include "graphs/ui/histogram_window.h"

#include "graphs/figure_text.h"
#include "graphs/nice_numbers.h"
#include "graphs/ui/graph_output.h"
#include "graphs/ui/graph_style.h"
#include "widgets/key_toolbar.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>

namespace quadtherm::graphs {

namespace {

constexpr QSize kHistogramSize(900, 520);

// Ticks of a count axis: whole steps only, so no "2.5 readings".
class CountTicker final : public QCPAxisTicker {
protected:
    double getTickStep(const QCPRange& range) override {
        return wholeNumberStep(range.size() / std::max(1, tickCount()));
    }
    int getSubTickCount(double step) override { return step >= 5 ? 4 : int(step) - 1; }
};

QLabel* figure(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

HistogramWindow::HistogramWindow(widgets::UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("Histogram"));
    setWindowTitle(QStringLiteral("Histogram"));

    Graph = new QCustomPlot(this);
    Graph->setObjectName(QStringLiteral("Graph"));
    Graph->setMinimumSize(380, 260);
    Graph->plotLayout()->insertRow(0);
    Graph->plotLayout()->addElement(
        0, 0, new QCPTextElement(Graph, QString(), QFont(font().family(), 12, QFont::Bold)));
    QFont tickFont = font();
    tickFont.setPointSizeF(9);
    for (QCPAxis* axis : {Graph->xAxis, Graph->yAxis}) {
        axis->setTickLabelFont(tickFont);
        axis->setLabelFont(tickFont);
    }
    Graph->yAxis->setLabel(QStringLiteral("Readings"));
    Graph->yAxis->setTicker(QSharedPointer<CountTicker>::create());
    Graph->yAxis->setNumberFormat(QStringLiteral("f"));
    Graph->yAxis->setNumberPrecision(0);
    Bars = new QCPBars(Graph->xAxis, Graph->yAxis);
    Bars->setWidthType(QCPBars::wtPlotCoords);
    Graph->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    Graph->axisRect()->setRangeDrag(Qt::Horizontal);
    Graph->axisRect()->setRangeZoom(Qt::Horizontal);

    auto* side = new QWidget(this);
    // At least 250 px; wider when a figure of many digits needs it, rather
    // than clipping its label.
    side->setMinimumWidth(250);
    side->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    auto* box = new QGroupBox(QStringLiteral("Readings"), side);
    auto* form = new QFormLayout(box);
    LblReadings = figure(QStringLiteral("LblReadings"), box);
    LblNotReadings = figure(QStringLiteral("LblNotReadings"), box);
    LblMinimum = figure(QStringLiteral("LblMinimum"), box);
    LblMaximum = figure(QStringLiteral("LblMaximum"), box);
    LblMean = figure(QStringLiteral("LblMean"), box);
    LblDeviation = figure(QStringLiteral("LblDeviation"), box);
    form->addRow(QStringLiteral("Count"), LblReadings);
    form->addRow(QStringLiteral("Minimum"), LblMinimum);
    form->addRow(QStringLiteral("Maximum"), LblMaximum);
    form->addRow(QStringLiteral("Mean"), LblMean);
    form->addRow(QStringLiteral("Standard deviation"), LblDeviation);
    form->addRow(QStringLiteral("Over, Under, - - -"), LblNotReadings);
    column->addWidget(box);
    column->addStretch(1);
    CmdPrint = new QPushButton(QStringLiteral("Print Graph"), side);
    CmdPrint->setShortcut(widgets::standardShortcut(QStringLiteral("Print")));
    connect(CmdPrint, &QPushButton::clicked, this, &HistogramWindow::CmdPrint_Click);
    CmdSave = new QPushButton(QStringLiteral("Save Image..."), side);
    CmdSave->setToolTip(QStringLiteral("Save the histogram as a PNG or PDF file"));
    connect(CmdSave, &QPushButton::clicked, this, &HistogramWindow::CmdSave_Click);
    column->addWidget(CmdPrint);
    column->addWidget(CmdSave);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(8);
    row->addWidget(Graph, 1);
    row->addWidget(side);
    applyLook(false);
    resize(kHistogramSize);
}

void HistogramWindow::load(const QString& heading, const QString& unit, HistogramFigures figures) {
    m_figures = std::move(figures);
    setWindowTitle(QStringLiteral("Histogram - ") + heading);
    if (auto* title = qobject_cast<QCPTextElement*>(Graph->plotLayout()->element(0, 0)))
        title->setText(heading);
    Graph->xAxis->setLabel(unit);
    const auto& h = m_figures;
    QVector<double> keys, counts;
    for (size_t i = 0; i < h.bins.size(); ++i) {
        keys.append(h.binStart + (double(i) + 0.5) * h.binWidth);
        counts.append(double(h.bins[i]));
    }
    Bars->setData(keys, counts, true);
    Bars->setWidth(h.binWidth * 0.9);

    const bool any = h.count > 0;
    const auto shown = [any, &unit](const QString& text) {
        return any ? text + QLatin1Char(' ') + unit : QStringLiteral("-");
    };
    LblReadings->setText(figureText(double(h.count), 0));
    LblNotReadings->setText(figureText(double(h.notReadings), 0));
    LblMinimum->setText(shown(figureText(h.minimum, 1)));
    LblMaximum->setText(shown(figureText(h.maximum, 1)));
    LblMean->setText(shown(figureText(h.mean, 2)));
    LblDeviation->setText(shown(figureText(h.standardDeviation, 2)));

    if (any) {
        const double end = h.binStart + double(h.bins.size()) * h.binWidth;
        Graph->xAxis->setRange(h.binStart - h.binWidth / 2, end + h.binWidth / 2);
        const qsizetype most = *std::max_element(h.bins.begin(), h.bins.end());
        Graph->yAxis->setRange(0, double(most) * 1.08 + 1);
    } else {
        Graph->xAxis->setRange(0, 1);
        Graph->yAxis->setRange(0, 1);
    }
    show();
    raise();
    Graph->replot(QCustomPlot::rpQueuedReplot);
}

void HistogramWindow::applyLook(bool paper) {
    const GraphLook look = paper ? GraphLook::Paper : GraphLook::Screen;
    applyGraphLook(*Graph, look);
    const QColor colour = traceColor(0, look);
    QColor fill = colour;
    fill.setAlphaF(paper ? 0.35f : 0.55f);
    Bars->setPen(QPen(colour, 1));
    Bars->setBrush(fill);
}

void HistogramWindow::CmdPrint_Click() {
    printGraphWindow(*this, *Graph, m_dialogs, [this](bool paper) { applyLook(paper); });
}

void HistogramWindow::CmdSave_Click() {
    savePictureAs(this, m_dialogs, Graph->size(),
                  [this](QCPPainter& painter, QSize size) { drawPlot(*Graph, painter, size); });
}

} // namespace quadtherm::graphs
