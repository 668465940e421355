#include "recording/data_file.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
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
            // memchr must not see the null pointer of an empty view, even for no bytes.
            if (from >= end)
                return -1;
            const void* tab = std::memchr(line + from, kTab, size_t(end - from));
            return tab ? static_cast<const char*>(tab) - line : -1;
        },
        spans);
}

// Whether the six-value rule can split a line: it needs six TABs, unless the
// line ends with one (the last value then repeats).
bool canSplit(const char* line, qsizetype length) {
    if (length > 0 && line[length - 1] == kTab)
        return true;
    const char* const end = line + length;
    for (int tabs = 0; tabs < kDataFileColumns; ++tabs) {
        const void* tab = std::memchr(line, kTab, size_t(end - line));
        if (!tab)
            return false;
        line = static_cast<const char*>(tab) + 1;
    }
    return true;
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString fileKind(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a device");
}

// Megabytes of 2^20 bytes, rounded up so that a file just above the limit
// never reads as the limit itself.
qint64 megabytes(qint64 bytes) {
    return (bytes + (qint64{1} << 20) - 1) >> 20;
}

// Why a file is not read, or nothing.
QString refusalFor(const QString& path, const struct stat& info) {
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("Cannot open \"%1\": it is %2, not a data file.")
            .arg(path, fileKind(info.st_mode));
    if (info.st_size > kMaxDataFileBytes)
        return QStringLiteral(
                   "Cannot open \"%1\": it holds %2 MB; a data file may hold at most %3 MB.")
            .arg(path)
            .arg(megabytes(info.st_size))
            .arg(megabytes(kMaxDataFileBytes));
    return {};
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

std::optional<std::array<QByteArrayView, kDataFileColumns>>
splitSixValueBytes(QByteArrayView line) {
    ValueSpans spans;
    if (!splitBytes(line.data(), line.size(), spans))
        return std::nullopt;
    std::array<QByteArrayView, kDataFileColumns> values;
    for (int col = 0; col < kDataFileColumns; ++col)
        values[col] = line.sliced(spans.at[col], spans.size[col]);
    return values;
}

// Eight bytes at a time: a line is often shorter than what a call of memchr
// costs, and this finds both bytes in one pass.
qsizetype findLineEnd(const char* data, qsizetype from, qsizetype end) {
    qsizetype at = from;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr quint64 kOnes = 0x0101010101010101;
        constexpr quint64 kHighs = 0x8080808080808080;
        for (; at + 8 <= end; at += 8) {
            quint64 word;
            std::memcpy(&word, data + at, sizeof word);
            // A zero byte of word ^ (byte * kOnes) is that byte; the lowest
            // flagged byte is always a true one.
            const quint64 lf = word ^ (kOnes * '\n');
            const quint64 cr = word ^ (kOnes * '\r');
            const quint64 hits = (((lf - kOnes) & ~lf) | ((cr - kOnes) & ~cr)) & kHighs;
            if (hits != 0)
                return at + std::countr_zero(hits) / 8;
        }
    }
    for (; at < end; ++at) {
        if (data[at] == '\n' || data[at] == '\r')
            return at;
    }
    return -1;
}

DataFileLines::DataFileLines(QByteArray text) : m_text(std::move(text)) {
    indexUpTo(m_text.size(), true);
}

DataFileLines DataFileLines::forArrivingText(qsizetype size) {
    DataFileLines lines;
    lines.m_text = QByteArray(size, Qt::Uninitialized);
    // Record lines run to about 60 bytes: room for those without regrowing.
    lines.m_steps.reserve(size_t(size / 48));
    lines.m_blocks.reserve(size_t(size / 48 / kBlockLines + 1));
    return lines;
}

void DataFileLines::indexUpTo(qsizetype available, bool atEnd) {
    available = std::min(available, m_text.size());
    const char* const data = m_text.constData();
    while (!m_malformed && m_next < available) {
        const qsizetype start = m_next;
        // A long line arriving block by block is searched once, not again
        // from its start with every block.
        const qsizetype found = findLineEnd(data, std::max(start, m_searchedTo), available);
        qsizetype end = available;
        qsizetype next = available;
        if (found < 0) {
            m_searchedTo = available;
            if (!atEnd)
                return;
        } else if (data[found] == '\n') {
            end = found;
            next = found + 1;
        } else {
            if (found + 1 == available && !atEnd) {
                m_searchedTo = found; // its LF may be in the next block
                return;
            }
            end = found;
            next = found + 1 < available && data[found + 1] == '\n' ? found + 2 : found + 1;
        }
        if (!canSplit(data + start, end - start)) {
            m_malformed = true;
            return;
        }
        append(start, next);
        m_next = next;
    }
}

void DataFileLines::append(qsizetype start, qsizetype next) {
    if (m_count % kBlockLines == 0)
        m_blocks.push_back({start, qsizetype(m_longSteps.size())});
    const qsizetype step = next - start;
    if (step < kLongStep) {
        m_steps.push_back(quint8(step));
    } else {
        m_steps.push_back(kLongStep);
        m_longSteps.push_back(step);
    }
    ++m_count;
}

QByteArrayView DataFileLines::line(qsizetype i) const {
    if (i < 0 || i >= m_count)
        return {};
    const Block& block = m_blocks[size_t(i / kBlockLines)];
    qsizetype start = block.start;
    size_t longStep = size_t(block.firstLongStep);
    const auto stepAt = [&](qsizetype k) {
        const quint8 step = m_steps[size_t(k)];
        return step == kLongStep ? m_longSteps[longStep++] : qsizetype(step);
    };
    for (qsizetype k = i - i % kBlockLines; k < i; ++k)
        start += stepAt(k);
    qsizetype end = start + stepAt(i);
    // A CR directly before an LF is part of that line end: a CR alone would
    // have ended the line itself.
    const char* const data = m_text.constData();
    if (end > start && data[end - 1] == '\n')
        --end;
    if (end > start && data[end - 1] == '\r')
        --end;
    return QByteArrayView(data + start, end - start);
}

QString DataFileLines::value(qsizetype i, int col) const {
    if (col < 0 || col >= kDataFileColumns)
        return {};
    const QByteArrayView text = line(i);
    ValueSpans spans;
    if (!splitBytes(text.data(), text.size(), spans))
        return {};
    return QString::fromLatin1(text.data() + spans.at[col], spans.size[col]);
}

SixValues DataFileLines::values(qsizetype i) const {
    const QByteArrayView text = line(i);
    ValueSpans spans;
    SixValues values;
    if (splitBytes(text.data(), text.size(), spans)) {
        for (int col = 0; col < kDataFileColumns; ++col)
            values[col] = QString::fromLatin1(text.data() + spans.at[col], spans.size[col]);
    }
    return values;
}

SixValues DataFileLines::cutValues(qsizetype i, qsizetype most) const {
    const QByteArrayView text = line(i);
    ValueSpans spans;
    SixValues values;
    if (splitBytes(text.data(), text.size(), spans)) {
        for (int col = 0; col < kDataFileColumns; ++col)
            values[col] =
                QString::fromLatin1(text.data() + spans.at[col],
                                    std::min(spans.size[col], std::max<qsizetype>(most, 0)));
    }
    return values;
}

void DataFileLines::dropUnindexed() {
    m_text.truncate(m_next);
    m_text.squeeze();
    m_steps.shrink_to_fit();
    m_longSteps.shrink_to_fit();
    m_blocks.shrink_to_fit();
}

qsizetype DataFileLines::memoryBytes() const {
    return m_text.capacity() + qsizetype(m_steps.capacity()) +
           qsizetype(m_longSteps.capacity() * sizeof(qsizetype)) +
           qsizetype(m_blocks.capacity() * sizeof(Block));
}

DataFileReader::DataFileReader(const QString& path) : m_path(path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    // Looked at before opening: opening a serial device alone can reset what
    // hangs on it.
    if (::stat(name.constData(), &info) != 0) {
        m_error = systemError(errno);
        return;
    }
    if (m_refusal = refusalFor(path, info); !m_refusal.isEmpty())
        return;
    // Without blocking, in case a pipe took the file's place since: opening
    // a pipe waits for a writer.
    m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = systemError(errno);
        return;
    }
    if (::fstat(m_fd, &info) != 0)
        m_error = systemError(errno);
    else
        m_refusal = refusalFor(path, info);
    if (!m_error.isEmpty() || !m_refusal.isEmpty()) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_size = info.st_size;
}

DataFileReader::~DataFileReader() {
    if (m_fd >= 0)
        ::close(m_fd);
}

LoadedDataFile DataFileReader::read(const Progress& progress) {
    LoadedDataFile loaded;
    if (!isOpen()) {
        loaded.error = m_refusal.isEmpty() ? m_error : m_refusal;
        return loaded;
    }
    // A megabyte between looks at the progress: the window stays responsive
    // and the caption counts while a large file loads.
    constexpr qsizetype kBlock = qsizetype{1} << 20;
    auto lines = std::make_shared<DataFileLines>(DataFileLines::forArrivingText(m_size));
    qsizetype filled = 0;
    for (;;) {
        const qsizetype wanted = std::min(kBlock, m_size - filled);
        const ssize_t got =
            wanted > 0 ? ::read(m_fd, lines->textData() + filled, size_t(wanted)) : 0;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            loaded.error = systemError(errno);
            return loaded;
        }
        filled += got;
        // A file cut short meanwhile ends where it was cut; one that grew is
        // read as far as it reached when it was opened.
        const bool atEnd = got == 0 || filled == m_size;
        lines->indexUpTo(filled, atEnd);
        if (atEnd || lines->stoppedAtMalformedLine())
            break;
        if (progress && !progress(lines->count())) {
            loaded.cancelled = true;
            break;
        }
    }
    if (lines->stoppedAtMalformedLine())
        loaded.malformedLine = lines->count();
    // A line that is no data line may be most of the file (500 MB of digits
    // without a TAB): its memory goes now, not when the window closes.
    lines->dropUnindexed();
    loaded.lines = std::move(lines);
    return loaded;
}

LoadedDataFile readDataFile(const QString& path) {
    DataFileReader reader(path);
    return reader.read();
}

} // namespace quadtherm::recording
