#pragma once

#include <QTableView>

#include <memory>

namespace quadtherm::widgets {

class GridModel;
class GridSource;

// A text table: a fixed heading row (row 0) over data rows 1, 2, ..., with a
// current cell that Text reads and writes. Every list of the program is one,
// from a few manual readings to millions of downloaded records. The view sees
// a window of the rows (GridModel) that follows the vertical scroll bar, which
// counts every row, so a list of millions costs the view no more than a
// short one.
class Grid : public QTableView {
    Q_OBJECT
public:
    explicit Grid(int columns = 1, QWidget* parent = nullptr);

    int Cols() const;
    // The heading row and the data rows.
    int Rows() const;
    // At least 1: fewer drops the tail, more appends empty rows.
    void setRows(int rows);
    // Row and Col always name a cell that exists: setting them clamps, and
    // moves the view's current row without scrolling to it.
    int Row() const { return m_row; }
    void setRow(int row);
    int Col() const { return m_col; }
    void setCol(int col);
    // The current cell; row 0 is the heading.
    QString Text() const { return textAt(m_row, m_col); }
    void setText(const QString& text) { setTextAt(m_row, m_col, text); }
    QString textAt(int row, int col) const;
    void setTextAt(int row, int col, const QString& text);
    // Appends one row; a TAB separates its cells unless the grid has one column.
    void AddItem(const QString& text);
    // Appends many rows as one insert, so a view lays out and repaints once.
    void appendRows(const QStringList& rows);
    // The same for rows already in Latin-1 (a data file's lines): no decoding.
    void appendLatin1Rows(const QList<QByteArray>& rows);
    // The source's rows replace the data rows; they are not copied.
    void setSource(std::shared_ptr<const GridSource> source);
    // The width of `sample` in the grid's font, plus the cell's padding.
    void setColumnWidthFromSample(int col, const QString& sample);
    // The first visible data row (1 or more). Setting it from code scrolls
    // without raising gridScrolled.
    int TopRow() const;
    void setTopRow(int row);
    // 0 none, 1 horizontal, 2 vertical, 3 both.
    int ScrollBars() const { return m_scrollBars; }
    void setScrollBars(int mode);
    // The row's cells joined by TAB.
    QString rowText(int row) const;

Q_SIGNALS:
    // Row and Col are already the clicked cell.
    void gridClicked(int row, int col);
    // The user scrolled: the top row changed other than through setTopRow.
    void gridScrolled();

public:
    // Indexes of the model count within its window.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void changeEvent(QEvent* event) override;

private:
    class QuietScroll;

    // Moves the model's window over the rows the scroll bar shows, and the
    // view's rows to match.
    void followScrollBar();
    // The view's current cell and selection from Row and Col, where the
    // window holds that row.
    void selectCurrentCell();
    // Scrolls the least that shows data row `row` (from 0) whole.
    void scrollToRow(int row);
    void rowsChanged();
    int rowsInViewport() const;
    void fitToFont();
    int cellPadding() const;

    GridModel* m_model;
    int m_row = 0;
    int m_col = 0;
    int m_scrollBars = 3;
    int m_quietScroll = 0;
    // Set while QTableView moves the scroll bar by window rows, which the
    // grid puts back.
    int m_windowScroll = 0;
};

} // namespace quadtherm::widgets
