#include "graphs/ui/file_plot_window.h"

#include "graphs/fit_range.h"
#include "graphs/sample_stats.h"
#include "graphs/ui/graph_output.h"
#include "graphs/ui/graph_style.h"
#include "graphs/ui/track_control.h"
#include "widgets/key_toolbar.h"
#include "widgets/user_dialogs.h"

#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace quadtherm::graphs {

namespace {

constexpr QSize kFilePlotSize(1100, 620);
// Room on either side of a file whose records all carry one time.
constexpr double kLoneInstantSpan = 30;

QString clockText(double seconds) {
    return QDateTime::fromSecsSinceEpoch(qint64(std::llround(seconds)), Qt::UTC)
        .toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
}

} // namespace

FilePlotWindow::FilePlotWindow(widgets::UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("FilePlot"));
    setWindowTitle(QStringLiteral("Whole File"));

    Graph = new QCustomPlot(this);
    Graph->setObjectName(QStringLiteral("Graph"));
    Graph->setMinimumSize(420, 280);
    Graph->setNoAntialiasingOnDrag(true);
    QFont tickFont = font();
    tickFont.setPointSizeF(9);
    for (QCPAxis* axis : {Graph->xAxis, Graph->yAxis}) {
        axis->setTickLabelFont(tickFont);
        axis->setLabelFont(tickFont);
        axis->grid()->setSubGridVisible(true);
    }
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    // The file's clock as written: no zone to shift it.
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setTickCount(6);
    Graph->xAxis->setTicker(ticker);
    Graph->xAxis->setLabel(QStringLiteral("Date Time"));
    connect(Graph->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [ticker](const QCPRange& range) {
                ticker->setDateTimeFormat(timeAxisFormat(range.size()));
            });
    for (int k = 0; k < 4; ++k) {
        m_graphs[size_t(k)] = Graph->addGraph();
        m_graphs[size_t(k)]->setAdaptiveSampling(true);
    }
    Graph->legend->setVisible(true);
    Graph->legend->setFont(tickFont);
    Graph->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    m_cursor = new QCPItemStraightLine(Graph);
    m_cursor->setVisible(false);
    m_cursor->setSelectable(false);
    m_track = new TrackControl(*Graph);
    connect(m_track, &TrackControl::cursorDragged, this,
            [this](QPointF at, bool) { moveCursor(at.x()); });

    auto* side = new QWidget(this);
    side->setFixedWidth(260);
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(trackModeBox(side, Combo1, txtDescription));
    connect(Combo1, &QComboBox::activated, this, &FilePlotWindow::Combo1_Click);
    auto* cursorBox = new QGroupBox(QStringLiteral("Cursor Information"), side);
    auto* cursorColumn = new QVBoxLayout(cursorBox);
    LblCursor = new QLabel(cursorBox);
    LblCursor->setObjectName(QStringLiteral("LblCursor"));
    LblCursor->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LblCursor->setWordWrap(true);
    cursorColumn->addWidget(LblCursor);
    column->addWidget(cursorBox);
    column->addStretch(1);
    CmdReset = new QPushButton(QStringLiteral("Reset Scale"), side);
    connect(CmdReset, &QPushButton::clicked, this, &FilePlotWindow::CmdReset_Click);
    CmdPrint = new QPushButton(QStringLiteral("Print Graph"), side);
    CmdPrint->setShortcut(widgets::standardShortcut(QStringLiteral("Print")));
    connect(CmdPrint, &QPushButton::clicked, this, &FilePlotWindow::CmdPrint_Click);
    CmdSave = new QPushButton(QStringLiteral("Save Image..."), side);
    CmdSave->setToolTip(QStringLiteral("Save the graph as a PNG or PDF file"));
    connect(CmdSave, &QPushButton::clicked, this, &FilePlotWindow::CmdSave_Click);
    for (QPushButton* button : {CmdReset, CmdPrint, CmdSave})
        column->addWidget(button);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(8);
    row->addWidget(Graph, 1);
    row->addWidget(side);
    applyLook(false);
    resize(kFilePlotSize);
    Combo1->setCurrentIndex(0);
    Combo1_Click(0);
}

void FilePlotWindow::load(const QString& fileName, FileSeries series) {
    m_series = std::move(series);
    setWindowTitle(QStringLiteral("Whole File - ") + fileName);
    const QString unit = m_series.celsius ? QStringLiteral("°C") : QStringLiteral("°F");
    Graph->yAxis->setLabel(m_series.celsius ? QStringLiteral("Celsius")
                                            : QStringLiteral("Fahrenheit"));
    const auto& times = m_series.times;
    for (int k = 0; k < 4; ++k) {
        QVector<QCPGraphData> points(qsizetype(times.size()));
        const auto& values = m_series.values[k];
        for (size_t i = 0; i < times.size(); ++i)
            points[qsizetype(i)] = QCPGraphData(times[i], values[i]);
        m_graphs[size_t(k)]->data()->set(points, true);
        QString name = m_series.headings[k];
        if (m_series.readings[k] == 0)
            name += QStringLiteral(" (no readings)");
        m_graphs[size_t(k)]->setName(name);
    }
    applyLook(false);
    show();
    raise();
    CmdReset_Click();
    if (m_track->mode() == TrackMode::CursorCoordinates)
        Combo1_Click(Combo1->currentIndex()); // the cursor into the new view
}

void FilePlotWindow::fitTimeAxis() {
    const auto& times = m_series.times;
    if (times.empty()) {
        Graph->xAxis->setRange(0, 60);
        return;
    }
    const double first = times.front(), last = times.back();
    if (last > first)
        Graph->xAxis->setRange(first, last);
    else
        Graph->xAxis->setRange(first - kLoneInstantSpan, last + kLoneInstantSpan);
}

void FilePlotWindow::CmdReset_Click() {
    fitTimeAxis();
    double lo = 0, hi = 0;
    bool any = false;
    for (const auto& values : m_series.values)
        for (const double v : values)
            if (!std::isnan(v)) {
                lo = any ? std::min(lo, v) : v;
                hi = any ? std::max(hi, v) : v;
                any = true;
            }
    // A few percent of room above and below, so no trace runs along the frame.
    const AxisSpan y = any ? withHeadroom(lo, hi) : AxisSpan{0, 1};
    Graph->yAxis->setRange(y.lower, y.upper);
    Graph->replot(QCustomPlot::rpQueuedReplot);
}

void FilePlotWindow::Combo1_Click(int index) {
    const auto entry = trackModeAt(index);
    if (!entry) {
        m_dialogs.message(this, QStringLiteral("Select a valid TrackMode."), {},
                          widgets::UserDialogs::Icon::None);
        return;
    }
    Combo1->setCurrentIndex(index);
    m_track->setMode(entry->mode);
    const bool cursorMode = entry->mode == TrackMode::CursorCoordinates;
    // Here X is the time, and the cursor reads all four channels.
    txtDescription->setPlainText(
        cursorMode ? QStringLiteral("Drag the cursor with your mouse to read the date, the time "
                                    "and the four channels of the record under it.")
                   : QString::fromLatin1(entry->description));
    m_cursor->setVisible(cursorMode);
    if (cursorMode) {
        const QCPRange x = Graph->xAxis->range();
        moveCursor((x.lower + x.upper) / 2);
    } else {
        LblCursor->setText(QStringLiteral("\"Cursor Coordinates\" reads the record under "
                                          "the cursor."));
    }
    Graph->replot(QCustomPlot::rpQueuedReplot);
}

void FilePlotWindow::moveCursor(double time) {
    m_cursor->point1->setCoords(time, 0);
    m_cursor->point2->setCoords(time, 1);
    Graph->replot(QCustomPlot::rpQueuedReplot);
    const auto& times = m_series.times;
    if (times.empty())
        return;
    // The record nearest the cursor.
    auto at = std::lower_bound(times.begin(), times.end(), time);
    if (at == times.end() || (at != times.begin() && time - *(at - 1) < *at - time))
        --at;
    const size_t i = size_t(at - times.begin());
    QStringList lines{clockText(*at)};
    const QString unit = m_series.celsius ? QStringLiteral("°C") : QStringLiteral("°F");
    for (int k = 0; k < 4; ++k) {
        const double v = m_series.values[k][i];
        lines.append(QStringLiteral("T%1:  %2")
                         .arg(k + 1)
                         .arg(std::isnan(v) ? QStringLiteral("-")
                                            : cursorYText(v) + QLatin1Char(' ') + unit));
    }
    LblCursor->setText(lines.join(QLatin1Char('\n')));
}

void FilePlotWindow::applyLook(bool paper) {
    const GraphLook look = paper ? GraphLook::Paper : GraphLook::Screen;
    for (int k = 0; k < 4; ++k)
        m_graphs[size_t(k)]->setPen(QPen(traceColor(k, look), 1));
    m_cursor->setPen(QPen(paper ? QColor(0xb4, 0x53, 0x09) : QColor(0xfb, 0xbf, 0x24), 1));
    applyGraphLook(*Graph, look);
}

void FilePlotWindow::CmdPrint_Click() {
    printGraphWindow(*this, *Graph, m_dialogs, [this](bool paper) { applyLook(paper); });
}

void FilePlotWindow::CmdSave_Click() {
    savePictureAs(this, m_dialogs, Graph->size(),
                  [this](QCPPainter& painter, QSize size) { drawPlot(*Graph, painter, size); });
}

} // namespace quadtherm::graphs
