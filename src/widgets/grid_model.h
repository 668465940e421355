#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QStringList>

#include <vector>

namespace quadtherm::widgets {

// The rows of a Grid, held for tables of millions of records: every row's
// text sits in one Latin-1 buffer (the data files are Latin-1, degree sign
// included) and is split into cells only when a view asks for one. Rows that
// were edited cell by cell, or that hold characters beyond Latin-1, live in
// a small overlay of split rows instead.
class GridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(int columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    QString heading(int col) const { return m_heading.value(col); }
    void setHeading(int col, const QString& text);

    // `row` counts data rows from 0.
    QString cell(int row, int col) const;
    void setCell(int row, int col, const QString& text);
    QString rowText(int row) const;

    void appendRows(const QStringList& rows);
    // Rows already in Latin-1 with TABs between their cells, as a data file holds them.
    void appendLatin1Rows(const QList<QByteArray>& rows);
    void appendRow(const QString& text);
    void resizeRows(int rows);

private:
    void store(const QString& text);
    QLatin1StringView stored(int row) const;
    QStringList splitRow(int row) const;

    int m_columns;
    QStringList m_heading;
    QByteArray m_text;
    // Row r is m_text[m_ends[r - 1], m_ends[r]); a row starts where the last ended.
    std::vector<qsizetype> m_ends;
    QHash<int, QStringList> m_split;
};

} // namespace quadtherm::widgets
