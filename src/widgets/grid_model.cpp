#include "widgets/grid_model.h"

#include <algorithm>

namespace quadtherm::widgets {

namespace {

const QChar kTab = QLatin1Char('\t');

bool isLatin1(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

// The cells of a row beyond the grid's columns have nowhere to go.
template <typename View> View cellsWithin(View text, int columns) {
    if (columns <= 1)
        return text;
    qsizetype tab = -1;
    for (int tabs = 0; tabs < columns; ++tabs) {
        tab = text.indexOf('\t', tab + 1);
        if (tab < 0)
            return text;
    }
    return text.first(tab);
}

QStringView firstCells(QStringView text, int columns) {
    return cellsWithin(text, columns);
}

QByteArrayView firstCells(QByteArrayView text, int columns) {
    return cellsWithin(text, columns);
}

} // namespace

GridModel::GridModel(int columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::max(columns, 1)) {
    m_heading.resize(m_columns);
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_ends.size());
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return cell(index.row(), index.column());
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    return heading(section);
}

void GridModel::setHeading(int col, const QString& text) {
    if (col < 0 || col >= m_columns)
        return;
    m_heading[col] = text;
    Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
}

QString GridModel::cell(int row, int col) const {
    if (row < 0 || row >= rowCount() || col < 0 || col >= m_columns)
        return {};
    if (const auto split = m_split.constFind(row); split != m_split.cend())
        return split->at(col);
    const QLatin1StringView text = stored(row);
    if (m_columns == 1)
        return text;
    qsizetype start = 0;
    for (int k = 0; k < col; ++k) {
        start = text.indexOf(QLatin1Char('\t'), start);
        if (start < 0)
            return {};
        ++start;
    }
    const qsizetype tab = text.indexOf(QLatin1Char('\t'), start);
    return text.sliced(start, (tab < 0 ? text.size() : tab) - start);
}

QLatin1StringView GridModel::stored(int row) const {
    const qsizetype begin = row == 0 ? 0 : m_ends[row - 1];
    return QLatin1StringView(m_text.constData() + begin, m_ends[row] - begin);
}

QStringList GridModel::splitRow(int row) const {
    QStringList cells;
    cells.reserve(m_columns);
    for (int col = 0; col < m_columns; ++col)
        cells.append(cell(row, col));
    return cells;
}

void GridModel::setCell(int row, int col, const QString& text) {
    if (row < 0 || row >= rowCount() || col < 0 || col >= m_columns)
        return;
    auto split = m_split.find(row);
    if (split == m_split.end())
        split = m_split.insert(row, splitRow(row));
    (*split)[col] = text;
    const QModelIndex changed = index(row, col);
    Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole});
}

QString GridModel::rowText(int row) const {
    if (row < 0 || row >= rowCount())
        return {};
    if (const auto split = m_split.constFind(row); split != m_split.cend())
        return split->join(kTab);
    // Stored rows never hold more cells than the grid has columns.
    const QLatin1StringView text = stored(row);
    const qsizetype missing = m_columns == 1 ? 0 : m_columns - 1 - text.count(QLatin1Char('\t'));
    return text + QString(missing, kTab);
}

void GridModel::store(const QString& text) {
    const QStringView kept = firstCells(text, m_columns);
    if (isLatin1(kept)) {
        const qsizetype at = m_text.size();
        m_text.resize(at + kept.size());
        std::transform(kept.begin(), kept.end(), m_text.begin() + at,
                       [](QChar c) { return char(c.unicode()); });
    } else {
        QStringList cells =
            m_columns == 1 ? QStringList{kept.toString()} : kept.toString().split(kTab);
        cells.resize(m_columns);
        m_split.insert(int(m_ends.size()), cells);
    }
    m_ends.push_back(m_text.size());
}

void GridModel::appendRows(const QStringList& rows) {
    if (rows.isEmpty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    for (const QString& text : rows)
        store(text);
    endInsertRows();
}

void GridModel::appendLatin1Rows(const QList<QByteArray>& rows) {
    if (rows.isEmpty())
        return;
    qsizetype bytes = 0;
    for (const QByteArray& row : rows)
        bytes += row.size();
    // Grown geometrically, so that many small batches stay linear in time.
    if (const qsizetype need = m_text.size() + bytes; need > m_text.capacity())
        m_text.reserve(std::max(need, 2 * m_text.capacity()));
    if (const size_t need = m_ends.size() + size_t(rows.size()); need > m_ends.capacity())
        m_ends.reserve(std::max(need, 2 * m_ends.capacity()));
    const int first = rowCount();
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    for (const QByteArray& row : rows) {
        m_text += firstCells(row, m_columns);
        m_ends.push_back(m_text.size());
    }
    endInsertRows();
}

void GridModel::appendRow(const QString& text) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    store(text);
    endInsertRows();
}

void GridModel::resizeRows(int rows) {
    rows = std::max(rows, 0);
    const int old = rowCount();
    if (rows > old) {
        beginInsertRows({}, old, rows - 1);
        m_ends.resize(rows, m_text.size());
        endInsertRows();
    } else if (rows < old) {
        beginRemoveRows({}, rows, old - 1);
        if (rows == 0) {
            // Give back the memory of a whole download, not just forget it.
            m_text = QByteArray();
            std::vector<qsizetype>().swap(m_ends);
            m_split.clear();
        } else {
            m_ends.resize(rows);
            m_text.truncate(m_ends.back());
            m_split.removeIf([rows](const auto& entry) { return entry.key() >= rows; });
        }
        endRemoveRows();
    }
}

} // namespace quadtherm::widgets
