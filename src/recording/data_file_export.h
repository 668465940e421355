#pragma once

#include "recording/record_converter.h"

#include <QByteArray>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace quadtherm::recording {

// A data file converted as it is read, a megabyte at a time: memory stays
// the same for a file of any size, and nothing is kept of what was
// converted. The heading line comes first; conversion stops at the first
// line that is no record line (as "Open" stops at the first that is no data
// line), after the records before it. A line ends at CR LF, LF or a CR
// alone; a last line without a line end counts.
class DataFileExport {
public:
    DataFileExport(const QString& path, const ExportOptions& options,
                   const QTimeZone& zone = QTimeZone::systemTimeZone());
    ~DataFileExport();
    DataFileExport(const DataFileExport&) = delete;
    DataFileExport& operator=(const DataFileExport&) = delete;

    // Why the file cannot be read ("Cannot read "FILE": REASON"); empty once
    // it is open. Only a regular file is read.
    const QString& error() const { return m_error; }
    bool isOpen() const { return m_fd >= 0; }
    // Whether `path` leads to the file being read (by any name).
    bool isInput(const QString& path) const;

    enum class Step {
        More,       // call again
        Done,       // every line converted
        BadLine,    // stopped at a line that is no record line (or heading)
        ReadFailed, // the system could not read on
    };
    // Reads the next block and appends its conversion to `out`, the CSV
    // header first.
    Step next(QByteArray& out);

    // Whether the heading line was read: the output has its header.
    bool hasHeading() const { return m_converter.has_value(); }
    // Records converted so far.
    qint64 records() const { return m_records; }
    // After BadLine or ReadFailed: what went wrong, naming the line.
    const QString& problem() const { return m_problem; }

    // A line longer than this is no line of a data file's: its bytes are not
    // held on to.
    static constexpr qsizetype kMaxLineBytes = 64 * 1024;

private:
    Step convertLine(QByteArrayView line, QByteArray& out);
    Step badLine(const QString& why);

    QString m_path;
    ExportOptions m_options;
    QTimeZone m_zone;
    int m_fd = -1;
    QString m_error;
    QString m_problem;
    QByteArray m_buffer;
    qsizetype m_begin = 0;      // the first byte not yet converted
    qsizetype m_end = 0;        // the end of what was read
    qsizetype m_searchedTo = 0; // the line from m_begin has no end before this
    bool m_atEnd = false;
    qint64 m_line = 0; // lines converted, the heading included
    qint64 m_records = 0;
    std::optional<RecordConverter> m_converter;
};

} // namespace quadtherm::recording
