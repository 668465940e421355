#pragma once

#include "shared/live_state.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

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
// The bytes of one line: every cell followed by TAB, then CR LF, in Latin-1.
QByteArray dataFileLine(const QStringList& cells);

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

// A whole data file, read in one go and split into lines (CR LF or LF; a
// last line without a line end counts). Commas and quotes are ordinary
// characters of a cell.
struct LoadedDataFile {
    // False for an empty file, or one whose first line cannot be split.
    bool hasHeading = false;
    SixValues heading;
    // Every record line as its six values joined by TAB, in Latin-1.
    QList<QByteArray> rows;
    // The first line (counting the heading as line 0) that could not be split;
    // the rows before it were read.
    std::optional<qsizetype> malformedLine;
    // The system's reason when the file could not be read; empty otherwise.
    QString error;
};
LoadedDataFile readDataFile(const QString& path);

// Writes `rows` lines (the heading included, when the caller counts it as row
// 0), each from its cells as dataFileLine makes it, in blocks of about a
// megabyte. False, with `error` naming the file and the system's reason, when
// the file cannot be created or a write fails.
bool writeDataFile(const QString& path, qsizetype rows,
                   const std::function<QStringList(qsizetype row)>& cellsOfRow,
                   QString* error = nullptr);

} // namespace quadtherm::recording
