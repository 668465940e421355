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
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    setWordWrap(false);
    // Fixed heights keep a million rows from ever being measured one by one.
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
                    m_row = current.row() + 1;
                    m_col = current.column();
                }
            });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        m_row = index.row() + 1;
        m_col = index.column();
        Q_EMIT gridClicked(m_row, m_col);
    });
}

int Grid::Cols() const {
    return m_model->columnCount();
}

int Grid::Rows() const {
    return m_model->rowCount() + 1;
}

void Grid::setRows(int rows) {
    QuietScroll quiet(*this);
    const int row = m_row;
    m_model->resizeRows(std::max(rows, 1) - 1);
    m_row = std::min(row, Rows() - 1);
    // Lay out now so the scroll bar and TopRow fit the shorter list at once.
    executeDelayedItemsLayout();
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
    if (m_row < 1)
        return;
    // Moving the current cell from code leaves the scroll position alone;
    // a window that wants the row in sight sets TopRow.
    QuietScroll quiet(*this);
    const bool autoScrolls = hasAutoScroll();
    setAutoScroll(false);
    selectionModel()->setCurrentIndex(m_model->index(m_row - 1, m_col),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
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
}

void Grid::appendRows(const QStringList& rows) {
    m_model->appendRows(rows);
}

void Grid::appendLatin1Rows(const QList<QByteArray>& rows) {
    m_model->appendLatin1Rows(rows);
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

void Grid::updateGeometries() {
    // A new scroll range clamps the scroll bar's value; that is no user's doing.
    QuietScroll quiet(*this);
    QTableView::updateGeometries();
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
