#pragma once

#include "shared/live_state.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quadtherm::recording {

// A ".4ch" data file: text lines of six cells, each cell followed by a TAB,
// each line by CR LF, in ISO 8859-1 (the degree sign is the byte B0).
inline constexpr int kDataFileColumns = 6;
// A recording continues in a new file after this many records, and the live
// list dumps itself after this many rows.
inline constexpr int kRecordsPerFile = 320000;
inline const QString kDataFileFilter =
    QStringLiteral("Data Files (*.4ch)|*.4ch|All Files (*.*)|*.*|");

using SixValues = std::array<QString, kDataFileColumns>;

// "yyyy/mm/dd hh:nn:ss".
QString recordTimestamp(const QDateTime& when);
// unit, "Date Time", "T1 - K" … "T4 - T".
QStringList headingCells(const QString& unit, const shared::PerChannel<QString>& typeLetters);
// number (decimal, no sign or padding), timestamp, the four channel texts.
QStringList recordCells(qint64 number, const QString& timestamp,
                        const shared::PerChannel<QString>& channelTexts);

// The n-th continuation of a recording: "-n" before the first full stop of
// the file name (dots in folder names are left alone), or appended when the
// name has none.
QString continuationPath(const QString& savePath, int sequence);
// "mmddhhnnss.4ch" from the computer's clock.
QString dumpFileName(const QDateTime& when);

// One line split into its six values: each is the text before the next TAB;
// once the TAB found is the line's last character the rest stays, so its
// value repeats into the remaining columns. Nothing when a value is due and
// no TAB is left (the line cannot be split).
std::optional<SixValues> splitSixValues(QStringView line);
// The same rule over a line's own bytes: views into `line`.
std::optional<std::array<QByteArrayView, kDataFileColumns>> splitSixValueBytes(QByteArrayView line);
// The first CR or LF in [from, end) of `data`, or -1.
qsizetype findLineEnd(const char* data, qsizetype from, qsizetype end);

// The largest data file "Open" loads: a full recording file is about 19 MB,
// so this leaves room for any file the program writes while a file of
// gigabytes is refused with a message instead of filling the memory.
inline constexpr qint64 kMaxDataFileBytes = qint64{512} << 20;

// The lines of a data file, kept as the file's own Latin-1 bytes and a
// compact index of where each line starts (about one byte a line), so a file
// takes little more memory than its size whatever the shape of its lines.
// Values are split from a line only when asked for. A line ends at CR LF, at
// LF or at a CR alone; a last line without a line end counts. Commas and
// quotes are ordinary characters of a value. Only lines that can be split
// are indexed: indexing stops at the first that cannot.
class DataFileLines {
public:
    // A whole text indexed at once.
    explicit DataFileLines(QByteArray text = {});

    qsizetype count() const { return m_count; }
    // Line `i` (the heading is line 0) without its line end.
    QByteArrayView line(qsizetype i) const;
    // Value `col` (0 to 5) of line `i`, decoded from Latin-1.
    QString value(qsizetype i, int col) const;
    SixValues values(qsizetype i) const;
    // The same, each value cut to at most `most` characters: what a view
    // shows of a line whose values may run to megabytes.
    SixValues cutValues(qsizetype i, qsizetype most) const;
    // The line that could not be split; its number is count().
    bool stoppedAtMalformedLine() const { return m_malformed; }
    // Bytes held for the text and the index.
    qsizetype memoryBytes() const;

    // For a text that arrives in blocks: the first `available` bytes of
    // text() are filled in; lines are indexed up to the last whole line
    // (a CR at the end may still be followed by its LF), or to `available`
    // when `atEnd`.
    static DataFileLines forArrivingText(qsizetype size);
    char* textData() { return m_text.data(); }
    void indexUpTo(qsizetype available, bool atEnd);
    // Gives back the memory of what was not indexed (the text from the line
    // that stopped the indexing on, or that never arrived) and of the
    // index's spare room.
    void dropUnindexed();

private:
    // The index keeps the start of every 64th line and each line's length
    // with its line end ("step"); steps of 255 bytes or more sit in a list of
    // their own.
    static constexpr qsizetype kBlockLines = 64;
    static constexpr quint8 kLongStep = 255;
    struct Block {
        qsizetype start = 0;
        qsizetype firstLongStep = 0;
    };

    void append(qsizetype start, qsizetype next);

    QByteArray m_text;
    qsizetype m_count = 0;
    std::vector<quint8> m_steps;
    std::vector<qsizetype> m_longSteps;
    std::vector<Block> m_blocks;
    qsizetype m_next = 0;       // where the next line starts
    qsizetype m_searchedTo = 0; // its line end is not before this
    bool m_malformed = false;
};

// What "Open" loaded: the heading line and the record lines before the first
// line that cannot be split.
struct LoadedDataFile {
    std::shared_ptr<const DataFileLines> lines = std::make_shared<DataFileLines>();
    // The first line (the heading is line 0) that could not be split.
    std::optional<qsizetype> malformedLine;
    // The system's reason when the file could not be read; empty otherwise.
    QString error;
    // The progress hook asked to stop.
    bool cancelled = false;

    // False for an empty file, or one whose first line cannot be split.
    bool hasHeading() const { return lines->count() > 0; }
    SixValues heading() const { return hasHeading() ? lines->values(0) : SixValues{}; }
    qsizetype rowCount() const { return std::max<qsizetype>(lines->count() - 1, 0); }
    // Record line `row`, counting from 0, as its six values.
    SixValues row(qsizetype row) const { return lines->values(row + 1); }
};

// A data file opened for "Open", checked before a byte is read: a pipe or a
// device would block the read or never end, and a file above
// kMaxDataFileBytes would exhaust the memory, so both are refused with a
// message for the user. The file is read in blocks of a megabyte, so a file
// that grows or shrinks meanwhile is read as far as it reaches.
class DataFileReader {
public:
    explicit DataFileReader(const QString& path);
    ~DataFileReader();
    DataFileReader(const DataFileReader&) = delete;
    DataFileReader& operator=(const DataFileReader&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // The message for the user when the file is refused; empty otherwise.
    const QString& refusal() const { return m_refusal; }
    // The system's reason when the file cannot be opened.
    const QString& error() const { return m_error; }

    // Called after every block with the lines indexed so far; false stops
    // the read (the result is then `cancelled`).
    using Progress = std::function<bool(qsizetype lines)>;
    LoadedDataFile read(const Progress& progress = {});

private:
    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    QString m_refusal;
    QString m_error;
};

// Opens and reads in one go; a refusal is reported as the error.
LoadedDataFile readDataFile(const QString& path);

} // namespace quadtherm::recording
