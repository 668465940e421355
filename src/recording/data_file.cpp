#include "recording/data_file.h"

#include <QFile>

#include <cstring>

namespace quadtherm::recording {

namespace {

constexpr char kTab = '\t';

// Where each of the six values of a line sits: offset and length.
struct ValueSpans {
    std::array<qsizetype, kDataFileColumns> at{}, size{};
};

// The six-value rule over any character sequence, so that the file reader can
// split bytes without decoding them first.
template <typename Find> bool splitSpans(qsizetype length, Find findTab, ValueSpans& spans) {
    qsizetype rest = 0;
    for (int col = 0; col < kDataFileColumns; ++col) {
        const qsizetype tab = findTab(rest, length);
        if (tab < 0)
            return false;
        spans.at[col] = rest;
        spans.size[col] = tab - rest;
        if (tab != length - 1)
            rest = tab + 1;
    }
    return true;
}

bool splitBytes(const char* line, qsizetype length, ValueSpans& spans) {
    return splitSpans(
        length,
        [line](qsizetype from, qsizetype end) -> qsizetype {
            const void* tab = std::memchr(line + from, kTab, size_t(end - from));
            return tab ? static_cast<const char*>(tab) - line : -1;
        },
        spans);
}

QByteArray joinedRow(const char* line, const ValueSpans& spans) {
    // A well-formed record line keeps its values in place: one copy.
    bool contiguous = true;
    for (int col = 1; col < kDataFileColumns && contiguous; ++col)
        contiguous = spans.at[col] == spans.at[col - 1] + spans.size[col - 1] + 1;
    const qsizetype last = kDataFileColumns - 1;
    if (contiguous)
        return QByteArray(line + spans.at[0], spans.at[last] + spans.size[last] - spans.at[0]);
    QByteArray row;
    for (int col = 0; col < kDataFileColumns; ++col) {
        if (col > 0)
            row += kTab;
        row.append(line + spans.at[col], spans.size[col]);
    }
    return row;
}

QString fileError(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot write \"%1\": %2").arg(path, reason);
}

} // namespace

QString recordTimestamp(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QStringList headingCells(const QString& unit, const shared::PerChannel<QString>& typeLetters) {
    QStringList cells{unit, QStringLiteral("Date Time")};
    for (int k = 0; k < shared::kChannels; ++k)
        cells.append(QStringLiteral("T%1 - ").arg(k + 1) + typeLetters[k]);
    return cells;
}

QStringList recordCells(qint64 number, const QString& timestamp,
                        const shared::PerChannel<QString>& channelTexts) {
    QStringList cells{QString::number(number), timestamp};
    for (const QString& text : channelTexts)
        cells.append(text);
    return cells;
}

QByteArray dataFileLine(const QStringList& cells) {
    QByteArray line;
    qsizetype size = 2;
    for (const QString& cell : cells)
        size += cell.size() + 1;
    line.resize(size);
    char* out = line.data();
    for (const QString& cell : cells) {
        for (const QChar c : cell)
            *out++ = c.unicode() < 0x100 ? char(c.unicode()) : '?';
        *out++ = kTab;
    }
    out[0] = '\r';
    out[1] = '\n';
    return line;
}

QString continuationPath(const QString& savePath, int sequence) {
    // Both separators count: a path may have been typed either way.
    const qsizetype nameStart =
        std::max(savePath.lastIndexOf(QLatin1Char('/')), savePath.lastIndexOf(QLatin1Char('\\'))) +
        1;
    const QString suffix = QStringLiteral("-%1").arg(sequence);
    const qsizetype dot = savePath.indexOf(QLatin1Char('.'), nameStart);
    if (dot < 0)
        return savePath + suffix;
    return QString(savePath).insert(dot, suffix);
}

QString dumpFileName(const QDateTime& when) {
    return when.toString(QStringLiteral("MMddHHmmss")) + QStringLiteral(".4ch");
}

std::optional<SixValues> splitSixValues(QStringView line) {
    ValueSpans spans;
    const bool split = splitSpans(
        line.size(),
        [line](qsizetype from, qsizetype) { return line.indexOf(QLatin1Char(kTab), from); }, spans);
    if (!split)
        return std::nullopt;
    SixValues values;
    for (int col = 0; col < kDataFileColumns; ++col)
        values[col] = line.sliced(spans.at[col], spans.size[col]).toString();
    return values;
}

LoadedDataFile readDataFile(const QString& path) {
    LoadedDataFile loaded;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        loaded.error = file.errorString();
        return loaded;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        loaded.error = file.errorString();
        return loaded;
    }
    const char* const data = bytes.constData();
    const qsizetype total = bytes.size();
    // A record line is about 60 bytes; reserving avoids regrowing the list.
    loaded.rows.reserve(total / 48);
    ValueSpans spans;
    qsizetype lineNumber = 0;
    for (qsizetype start = 0; start < total; ++lineNumber) {
        const void* lf = std::memchr(data + start, '\n', size_t(total - start));
        const qsizetype end = lf ? static_cast<const char*>(lf) - data : total;
        qsizetype length = end - start;
        if (lf && length > 0 && data[end - 1] == '\r')
            --length;
        const char* line = data + start;
        start = end + 1;
        if (!splitBytes(line, length, spans)) {
            loaded.malformedLine = lineNumber;
            break;
        }
        if (lineNumber > 0) {
            loaded.rows.append(joinedRow(line, spans));
            continue;
        }
        loaded.hasHeading = true;
        for (int col = 0; col < kDataFileColumns; ++col)
            loaded.heading[col] = QString::fromLatin1(line + spans.at[col], spans.size[col]);
    }
    return loaded;
}

bool writeDataFile(const QString& path, qsizetype rows,
                   const std::function<QStringList(qsizetype)>& cellsOfRow, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        if (error)
            *error = fileError(path, file.errorString());
        return false;
    }
    // Lines gather in a block of about a megabyte between writes. The rest of
    // a short write is written again, so a full disk reports its reason.
    constexpr qsizetype kBlock = 1 << 20;
    QByteArray block;
    block.reserve(kBlock + 4096);
    const auto flushBlock = [&] {
        for (qsizetype done = 0; done < block.size();) {
            const qint64 n = file.write(block.constData() + done, block.size() - done);
            if (n <= 0)
                return false;
            done += n;
        }
        block.clear();
        return true;
    };
    bool ok = true;
    for (qsizetype row = 0; row < rows && ok; ++row) {
        block += dataFileLine(cellsOfRow(row));
        if (block.size() >= kBlock)
            ok = flushBlock();
    }
    ok = ok && flushBlock();
    if (!ok && error)
        *error = fileError(path, file.errorString());
    file.close();
    return ok;
}

} // namespace quadtherm::recording
