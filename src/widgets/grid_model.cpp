#include "widgets/grid_model.h"

#include <algorithm>
#include <utility>

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

QString GridSource::rowText(int row, int columns) const {
    QStringList cells;
    cells.reserve(columns);
    for (int col = 0; col < columns; ++col)
        cells.append(cell(row, col));
    return cells.join(kTab);
}

QStringList GridSource::cutCells(int row, int columns, qsizetype most) const {
    QStringList cells;
    cells.reserve(columns);
    for (int col = 0; col < columns; ++col)
        cells.append(cell(row, col).left(most));
    return cells;
}

QString GridModel::shownText(QStringView text) {
    if (text.size() <= kShownChars)
        return text.toString();
    return text.first(kShownChars - 1).toString() + QChar(0x2026);
}

GridModel::GridModel(int columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::max(columns, 1)) {
    m_heading.resize(m_columns);
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : windowRows();
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return shownCell(m_first + index.row(), index.column());
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    return shownText(m_heading.value(section));
}

void GridModel::setWindowStart(int first) {
    first = std::clamp(first, 0, rows() - windowRows());
    if (first == m_first)
        return;
    m_first = first;
    Q_EMIT dataChanged(index(0, 0), index(windowRows() - 1, m_columns - 1), {Qt::DisplayRole});
}

void GridModel::setHeading(int col, const QString& text) {
    if (col < 0 || col >= m_columns)
        return;
    m_heading[col] = text;
    Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
}

QString GridModel::cell(int row, int col) const {
    if (row < 0 || row >= rows() || col < 0 || col >= m_columns)
        return {};
    if (const auto split = m_split.constFind(row); split != m_split.cend())
        return split->at(col);
    if (row < m_sourceRows)
        return m_source->cell(row, col);
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

QString GridModel::shownCell(int row, int col) const {
    if (row < 0 || row >= rows() || col < 0 || col >= m_columns)
        return {};
    return shownRow(row).value(col);
}

const QStringList& GridModel::shownRow(int row) const {
    if (const auto kept = m_shown.constFind(row); kept != m_shown.cend())
        return *kept;
    // Rows in sight, and those of the window a scroll is likely to bring.
    if (m_shown.size() >= 2 * kWindowRows)
        m_shown.clear();
    // One character more than is shown tells a cell that is cut.
    constexpr qsizetype kMost = kShownChars + 1;
    QStringList cells;
    if (const auto split = m_split.constFind(row); split != m_split.cend()) {
        for (const QString& text : *split)
            cells.append(text.left(kMost));
    } else if (row < m_sourceRows) {
        cells = m_source->cutCells(row, m_columns, kMost);
    } else {
        const QLatin1StringView text = stored(row);
        qsizetype start = 0;
        for (int col = 0; col < m_columns && start <= text.size(); ++col) {
            const qsizetype tab = m_columns == 1 ? -1 : text.indexOf(QLatin1Char('\t'), start);
            const qsizetype end = tab < 0 ? text.size() : tab;
            cells.append(text.sliced(start, std::min(end - start, kMost)));
            start = end + 1;
        }
    }
    cells.resize(m_columns);
    for (QString& cell : cells)
        cell = shownText(cell);
    return *m_shown.insert(row, cells);
}

QLatin1StringView GridModel::stored(int row) const {
    const size_t own = size_t(row - m_sourceRows);
    const qsizetype begin = own == 0 ? 0 : m_ends[own - 1];
    return QLatin1StringView(m_text.constData() + begin, m_ends[own] - begin);
}

QStringList GridModel::splitRow(int row) const {
    QStringList cells;
    cells.reserve(m_columns);
    for (int col = 0; col < m_columns; ++col)
        cells.append(cell(row, col));
    return cells;
}

void GridModel::setCell(int row, int col, const QString& text) {
    if (row < 0 || row >= rows() || col < 0 || col >= m_columns)
        return;
    auto split = m_split.find(row);
    if (split == m_split.end())
        split = m_split.insert(row, splitRow(row));
    (*split)[col] = text;
    m_shown.remove(row);
    if (row >= m_first && row < m_first + windowRows()) {
        const QModelIndex changed = index(row - m_first, col);
        Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole});
    }
}

QString GridModel::rowText(int row) const {
    if (row < 0 || row >= rows())
        return {};
    if (m_split.contains(row))
        return m_split.value(row).join(kTab);
    if (row < m_sourceRows)
        return m_source->rowText(row, m_columns);
    // Stored rows never hold more cells than the grid has columns.
    const QLatin1StringView text = stored(row);
    const qsizetype missing = m_columns == 1 ? 0 : m_columns - 1 - text.count(QLatin1Char('\t'));
    return text + QString(missing, kTab);
}

template <typename Store> void GridModel::appending(qsizetype count, Store store) {
    if (count <= 0)
        return;
    // While the window holds every row it starts at row 0 and grows with them.
    const int shown = windowRows();
    const int after = int(std::min<qsizetype>(rows() + count, kWindowRows));
    if (after > shown)
        beginInsertRows({}, shown, after - 1);
    store();
    if (after > shown)
        endInsertRows();
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
        m_split.insert(rows(), cells);
    }
    m_ends.push_back(m_text.size());
}

void GridModel::appendRows(const QStringList& rows) {
    appending(rows.size(), [&] {
        for (const QString& text : rows)
            store(text);
    });
}

void GridModel::appendLatin1Rows(const QList<QByteArray>& rows) {
    appending(rows.size(), [&] {
        qsizetype bytes = 0;
        for (const QByteArray& row : rows)
            bytes += row.size();
        // Grown geometrically, so that many small batches stay linear in time.
        if (const qsizetype need = m_text.size() + bytes; need > m_text.capacity())
            m_text.reserve(std::max(need, 2 * m_text.capacity()));
        if (const size_t need = m_ends.size() + size_t(rows.size()); need > m_ends.capacity())
            m_ends.reserve(std::max(need, 2 * m_ends.capacity()));
        for (const QByteArray& row : rows) {
            m_text += firstCells(row, m_columns);
            m_ends.push_back(m_text.size());
        }
    });
}

void GridModel::appendRow(const QString& text) {
    appending(1, [&] { store(text); });
}

void GridModel::resizeRows(int rows) {
    rows = std::max(rows, 0);
    const int old = this->rows();
    if (rows > old) {
        appending(rows - old,
                  [&] { m_ends.resize(m_ends.size() + size_t(rows - old), m_text.size()); });
        return;
    }
    if (rows == old)
        return;
    beginResetModel();
    m_shown.clear();
    if (rows == 0) {
        // Give back the memory of a whole download or file, not just forget it.
        m_source.reset();
        m_sourceRows = 0;
        m_text = QByteArray();
        std::vector<qsizetype>().swap(m_ends);
        m_split.clear();
    } else {
        if (rows <= m_sourceRows) {
            m_sourceRows = rows;
            m_ends.clear();
        } else {
            m_ends.resize(size_t(rows - m_sourceRows));
        }
        m_text.truncate(m_ends.empty() ? 0 : m_ends.back());
        m_split.removeIf([rows](const auto& entry) { return entry.key() >= rows; });
    }
    m_first = std::min(m_first, this->rows() - windowRows());
    endResetModel();
}

void GridModel::setSource(std::shared_ptr<const GridSource> source) {
    beginResetModel();
    m_shown.clear();
    m_source = std::move(source);
    m_sourceRows = m_source ? std::max(m_source->rows(), 0) : 0;
    m_text = QByteArray();
    std::vector<qsizetype>().swap(m_ends);
    m_split.clear();
    m_first = 0;
    endResetModel();
}

} // namespace quadtherm::widgets
