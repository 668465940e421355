#include "widgets/grid.h"

#include "widgets/grid_model.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace quadtherm::widgets {

// Scrolling done by the program, not the user: windows that keep several
// lists aligned answer gridScrolled by setting the others' top rows, and
// must not hear back from them.
class Grid::QuietScroll {
public:
    explicit QuietScroll(Grid& grid) : m_grid(grid) { ++m_grid.m_quietScroll; }
    ~QuietScroll() { --m_grid.m_quietScroll; }
    QuietScroll(const QuietScroll&) = delete;
    QuietScroll& operator=(const QuietScroll&) = delete;

private:
    Grid& m_grid;
};

Grid::Grid(int columns, QWidget* parent)
    : QTableView(parent), m_model(new GridModel(columns, this)) {
    setModel(m_model);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    // TAB would wrap rows within the model's window: it moves the focus instead.
    setTabKeyNavigation(false);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fitToFont();
    setScrollBars(m_scrollBars);

    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (m_quietScroll == 0)
            Q_EMIT gridScrolled();
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    m_row = m_model->windowStart() + current.row() + 1;
                    m_col = current.column();
                }
            });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        m_row = m_model->windowStart() + index.row() + 1;
        m_col = index.column();
        Q_EMIT gridClicked(m_row, m_col);
    });
}

int Grid::Cols() const {
    return m_model->columnCount();
}

int Grid::Rows() const {
    return m_model->rows() + 1;
}

void Grid::setRows(int rows) {
    m_model->resizeRows(std::max(rows, 1) - 1);
    m_row = std::min(m_row, Rows() - 1);
    rowsChanged();
}

void Grid::rowsChanged() {
    QuietScroll quiet(*this);
    // Lay out now so the scroll bar and TopRow fit the new length at once.
    scheduleDelayedItemsLayout();
    executeDelayedItemsLayout();
    selectCurrentCell();
}

void Grid::setRow(int row) {
    m_row = std::clamp(row, 0, Rows() - 1);
    selectCurrentCell();
}

void Grid::setCol(int col) {
    m_col = std::clamp(col, 0, Cols() - 1);
    selectCurrentCell();
}

void Grid::selectCurrentCell() {
    // Moving the current cell from code leaves the scroll position alone;
    // a window that wants the row in sight sets TopRow.
    QuietScroll quiet(*this);
    const bool autoScrolls = hasAutoScroll();
    setAutoScroll(false);
    const int row = m_row - 1 - m_model->windowStart();
    if (m_row >= 1 && row >= 0 && row < m_model->rowCount())
        selectionModel()->setCurrentIndex(m_model->index(row, m_col),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    else
        selectionModel()->clear(); // out of the window, so out of sight
    setAutoScroll(autoScrolls);
}

QString Grid::textAt(int row, int col) const {
    return row == 0 ? m_model->heading(col) : m_model->cell(row - 1, col);
}

void Grid::setTextAt(int row, int col, const QString& text) {
    if (row == 0)
        m_model->setHeading(col, text);
    else
        m_model->setCell(row - 1, col, text);
}

void Grid::AddItem(const QString& text) {
    m_model->appendRow(text);
    scheduleDelayedItemsLayout();
}

void Grid::appendRows(const QStringList& rows) {
    m_model->appendRows(rows);
    scheduleDelayedItemsLayout();
}

void Grid::appendLatin1Rows(const QList<QByteArray>& rows) {
    m_model->appendLatin1Rows(rows);
    scheduleDelayedItemsLayout();
}

void Grid::setSource(std::shared_ptr<const GridSource> source) {
    m_model->setSource(std::move(source));
    m_row = std::min(m_row, Rows() - 1);
    rowsChanged();
}

QString Grid::rowText(int row) const {
    if (row == 0) {
        QStringList headings;
        for (int col = 0; col < Cols(); ++col)
            headings.append(m_model->heading(col));
        return headings.join(QLatin1Char('\t'));
    }
    return row > 0 && row < Rows() ? m_model->rowText(row - 1) : QString();
}

int Grid::cellPadding() const {
    // The item delegate keeps a focus-frame margin plus one pixel either side
    // of the text, and the grid line takes one more.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return 2 * margin + 1;
}

void Grid::setColumnWidthFromSample(int col, const QString& sample) {
    setColumnWidth(col, fontMetrics().horizontalAdvance(sample) + cellPadding());
}

int Grid::TopRow() const {
    return verticalScrollBar()->value() + 1;
}

void Grid::setTopRow(int row) {
    QuietScroll quiet(*this);
    executeDelayedItemsLayout();
    verticalScrollBar()->setValue(row - 1);
}

void Grid::setScrollBars(int mode) {
    m_scrollBars = mode & 3;
    setHorizontalScrollBarPolicy((m_scrollBars & 1) ? Qt::ScrollBarAsNeeded
                                                    : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy((m_scrollBars & 2) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

int Grid::rowsInViewport() const {
    // Every row has the same height; the bar scrolls by whole rows.
    const int rowHeight = std::max(verticalHeader()->defaultSectionSize(), 1);
    int height = viewport()->height();
    // With every row in sight the scroll bars go, and the viewport grows to its most.
    const QSize most = maximumViewportSize();
    if (most.width() >= horizontalHeader()->length() &&
        qint64(most.height()) >= qint64(m_model->rows()) * rowHeight)
        height = most.height();
    return std::max(height / rowHeight, 1);
}

void Grid::updateGeometries() {
    // A new scroll range clamps the scroll bar's value; that is no user's doing.
    QuietScroll quiet(*this);
    QScrollBar* bar = verticalScrollBar();
    const int top = bar->value();
    ++m_windowScroll;
    // Sizes the scroll bar to the window's rows; it counts all of them again below.
    QTableView::updateGeometries();
    const int shown = rowsInViewport();
    bar->setRange(0, std::max(m_model->rows() - shown, 0));
    bar->setPageStep(shown);
    bar->setSingleStep(1);
    bar->setValue(top);
    --m_windowScroll;
    followScrollBar();
}

void Grid::scrollContentsBy(int dx, int dy) {
    if (dx != 0)
        QTableView::scrollContentsBy(dx, 0);
    if (dy != 0 && m_windowScroll == 0)
        followScrollBar();
}

void Grid::followScrollBar() {
    const QScrollBar* bar = verticalScrollBar();
    const int top = bar->value();
    // The rows in sight, a part-shown one below included, stay inside the
    // window; when they would leave it the window recentres on them.
    const int shown = rowsInViewport() + 1;
    const int start = m_model->windowStart();
    if (top < start || top + shown > start + m_model->rowCount()) {
        m_model->setWindowStart(top - (GridModel::kWindowRows - shown) / 2);
        if (m_model->windowStart() != start)
            selectCurrentCell();
    }
    QHeaderView* rows = verticalHeader();
    const int windowTop = top - m_model->windowStart();
    if (m_model->rowCount() == 0)
        rows->setOffset(0);
    else if (top > 0 && top == bar->maximum() &&
             m_model->windowStart() + m_model->rowCount() == m_model->rows())
        rows->setOffsetToLastSection(); // the last row sits on the bottom edge, as Qt does it
    else
        rows->setOffsetToSectionPosition(std::clamp(windowTop, 0, m_model->rowCount() - 1));
    viewport()->update();
}

void Grid::scrollToRow(int row) {
    const int top = verticalScrollBar()->value();
    const int shown = rowsInViewport();
    if (row < top)
        verticalScrollBar()->setValue(row);
    else if (row >= top + shown)
        verticalScrollBar()->setValue(row - shown + 1);
}

void Grid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid())
        return;
    // QTableView scrolls the columns, and the rows by window rows, which go back.
    {
        const int top = verticalScrollBar()->value();
        ++m_windowScroll;
        QTableView::scrollTo(index, hint);
        verticalScrollBar()->setValue(top);
        --m_windowScroll;
    }
    const int row = m_model->windowStart() + index.row();
    const int shown = rowsInViewport();
    switch (hint) {
    case PositionAtTop:
        verticalScrollBar()->setValue(row);
        break;
    case PositionAtBottom:
        verticalScrollBar()->setValue(row - shown + 1);
        break;
    case PositionAtCenter:
        verticalScrollBar()->setValue(row - shown / 2);
        break;
    case EnsureVisible:
        scrollToRow(row);
        break;
    }
}

QModelIndex Grid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const int rows = m_model->rows();
    // Without a current row, the keys start from the top row in sight.
    const int from = m_row >= 1 ? m_row - 1 : verticalScrollBar()->value();
    int to = from;
    switch (action) {
    case MoveUp:
        to = from - 1;
        break;
    case MoveDown:
        to = m_row >= 1 ? from + 1 : from;
        break;
    case MovePageUp:
        to = from - rowsInViewport();
        break;
    case MovePageDown:
        to = from + rowsInViewport();
        break;
    case MoveHome:
    case MoveEnd:
        if (modifiers & Qt::ControlModifier) {
            to = action == MoveHome ? 0 : rows - 1;
            break;
        }
        [[fallthrough]];
    default:
        // Along the row: QTableView's own moves, from the current row in sight.
        if (rows > 0 && m_row >= 1) {
            scrollToRow(from);
            selectCurrentCell();
        }
        return QTableView::moveCursor(action, modifiers);
    }
    if (rows == 0)
        return {};
    to = std::clamp(to, 0, rows - 1);
    // In sight, the row is inside the window.
    scrollToRow(to);
    return m_model->index(to - m_model->windowStart(), std::clamp(m_col, 0, Cols() - 1));
}

void Grid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToFont();
}

void Grid::fitToFont() {
    const int height = fontMetrics().height() + 4;
    verticalHeader()->setMinimumSectionSize(
        std::min(height, verticalHeader()->minimumSectionSize()));
    verticalHeader()->setDefaultSectionSize(height);
    // The header's own minimum would widen a one-character column.
    horizontalHeader()->setMinimumSectionSize(cellPadding());
}

} // namespace quadtherm::widgets
