#pragma once

#include "recording/local_time_offsets.h"
#include "recording/reading_json.h"
#include "shared/live_state.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QTimeZone>

#include <array>
#include <optional>

namespace quadtherm::recording {

class LineRoom;

enum class ExportFormat { Csv, JsonLines };
enum class CsvDialect {
    Standard, // RFC 4180: commas, decimal points
    ExcelEu,  // semicolons and decimal commas, with a byte order mark for Excel
};

struct ExportOptions {
    ExportFormat format = ExportFormat::Csv;
    CsvDialect dialect = CsvDialect::Standard;
};

// What the heading line of a data file says: the unit of every reading and
// the channels' thermocouple letters (empty for a type without one).
struct DataFileHeading {
    bool fahrenheit = false;
    shared::PerChannel<QString> types;
};
// "°C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t", the degree sign in
// Latin-1 (or UTF-8, from a file an editor saved again). Nothing, with the
// reason in `why`, for any other line.
std::optional<DataFileHeading> readHeading(QByteArrayView line, QString* why = nullptr);

// One CSV field, in double quotes (doubled inside) when it holds the
// separator, a quote, CR or LF.
void appendCsvField(QByteArray& out, QByteArrayView text, char separator);

// Record lines of one data file into CSV rows or JSON lines, in UTF-8, each
// ended (CR LF for CSV, LF for JSON). A CSV row: record, time (ISO 8601 with
// the offset the wall-clock time had), elapsed_s (seconds since the file's
// first record), then for T1 to T4 the number (an empty field unless the
// state is ok) and the state. A JSON line:
//   {"record":1,"time":"2026-12-07T15:44:22+01:00","elapsed_s":0,"unit":"°C",
//    "channels":[{"channel":"T1","type":"K","state":"ok","value":22.7},...]}
// with "value":null unless the state is "ok", "type":null for a type without
// a letter. Numbers keep the file's digits.
class RecordConverter {
public:
    RecordConverter(const DataFileHeading& heading, const ExportOptions& options,
                    const QTimeZone& zone = QTimeZone::systemTimeZone());

    // The CSV header row (after a byte order mark for excel-eu); nothing for
    // JSON lines.
    QByteArray header() const;
    // Appends the conversion of one record line, without its line end, to
    // `out`. A line that is no record line adds nothing and gives false,
    // with the reason in `why`.
    bool appendRecord(QByteArrayView line, QByteArray& out, QString* why = nullptr);

private:
    // The wall-clock seconds of a time cell "yyyy/mm/dd hh:nn:ss", or nothing.
    std::optional<qint64> wallSecondsOf(QByteArrayView cell);
    // m_offsetText for `offset`, made again only when the offset changes.
    void useOffset(int offset);
    // One converted line into room made for it.
    void writeCsv(LineRoom& room, QByteArrayView number, QByteArrayView time, qint64 elapsed,
                  const std::array<CellReading, shared::kChannels>& readings) const;
    void writeJson(LineRoom& room, QByteArrayView number, QByteArrayView time, qint64 elapsed,
                   const std::array<CellReading, shared::kChannels>& readings) const;

    DataFileHeading m_heading;
    ExportOptions m_options;
    LocalTimeOffsets m_offsets;
    char m_separator = ',';
    char m_point = '.';
    // The JSON text of each channel up to its state: {"channel":"T1","type":"K","state":"
    std::array<QByteArray, shared::kChannels> m_channelJson;
    std::array<QByteArrayView, 5> m_stateNames; // by ReadingState
    qint64 m_first = 0;
    qint64 m_last = LocalTimeOffsets::kNoMoment;
    // The minute of the last time cell ("yyyy/mm/dd hh:nn") and its wall-clock
    // seconds: records a second apart share it, and only their seconds are read.
    QByteArray m_minute;
    qint64 m_minuteWall = 0;
    int m_offsetTextFor = 0;
    QByteArray m_offsetText;
};

} // namespace quadtherm::recording
