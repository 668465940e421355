#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QStringList>

#include <memory>
#include <vector>

namespace quadtherm::widgets {

// Rows a grid shows without holding their text: a loaded data file keeps its
// own bytes and splits a cell only when it is shown.
class GridSource {
public:
    virtual ~GridSource() = default;
    virtual int rows() const = 0;
    virtual QString cell(int row, int col) const = 0;
    // The row's `columns` cells joined by TAB.
    virtual QString rowText(int row, int columns) const;
    // The row's first `columns` cells, each cut to at most `most`
    // characters: what a view shows. A source whose cells can be long
    // cuts them without making the whole cell first.
    virtual QStringList cutCells(int row, int columns, qsizetype most) const;
};

// The rows of a Grid, held for tables of millions of records. Every row
// appended as text sits in one Latin-1 buffer (the data files are Latin-1,
// degree sign included) and is split into cells only when a view asks for
// one; rows edited cell by cell, or that hold characters beyond Latin-1, live
// in a small overlay of split rows instead. A GridSource can stand for the
// first rows.
//
// A Qt view keeps a few bytes for every row of its model, more than a short
// line of a file takes, so the model shows the view a window of at most
// kWindowRows rows, which the Grid moves as it scrolls. rowCount() and
// indexes count within the window; everything else counts all data rows.
class GridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kWindowRows = 1000;
    // A view gets at most this many characters of a cell or a heading, the
    // last of them an ellipsis when the text is longer. Far beyond any cell
    // the program writes (a timestamp is 19), and what lets a paint cost the
    // same whatever a file's cells hold: eliding a cell of megabytes took
    // seconds at every paint.
    static constexpr qsizetype kShownChars = 256;
    // `text` as a view shows it.
    static QString shownText(QStringView text);

    explicit GridModel(int columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Every data row, in and out of the window.
    int rows() const { return m_sourceRows + int(m_ends.size()); }
    // The data row shown as the window's row 0.
    int windowStart() const { return m_first; }
    // Moves the window (kept within the rows); its rows change their text.
    void setWindowStart(int first);

    QString heading(int col) const { return m_heading.value(col); }
    void setHeading(int col, const QString& text);

    // `row` counts data rows from 0.
    QString cell(int row, int col) const;
    void setCell(int row, int col, const QString& text);
    QString rowText(int row) const;
    // Cell `col` of data row `row` as a view shows it.
    QString shownCell(int row, int col) const;

    void appendRows(const QStringList& rows);
    // Rows already in Latin-1 with TABs between their cells, as a data file holds them.
    void appendLatin1Rows(const QList<QByteArray>& rows);
    void appendRow(const QString& text);
    void resizeRows(int rows);
    // The source's rows replace every row.
    void setSource(std::shared_ptr<const GridSource> source);

private:
    int windowRows() const { return std::min(rows(), kWindowRows); }
    // Runs `store`, which appends `count` rows, announcing the ones that
    // extend the window.
    template <typename Store> void appending(qsizetype count, Store store);
    void store(const QString& text);
    QLatin1StringView stored(int row) const;
    QStringList splitRow(int row) const;
    // The row's cells as a view shows them, split once and kept for the
    // paints that follow: a row of long cells is walked once, not at every
    // paint.
    const QStringList& shownRow(int row) const;

    int m_columns;
    QStringList m_heading;
    std::shared_ptr<const GridSource> m_source;
    int m_sourceRows = 0;
    // Own row k (data row m_sourceRows + k) is m_text[m_ends[k - 1], m_ends[k]);
    // a row starts where the last ended.
    QByteArray m_text;
    std::vector<qsizetype> m_ends;
    QHash<int, QStringList> m_split;
    mutable QHash<int, QStringList> m_shown;
    int m_first = 0;
};

} // namespace quadtherm::widgets
