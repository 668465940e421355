#pragma once

#include "shared/live_state.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QJsonObject>

#include <cstring>
#include <optional>

namespace quadtherm::recording {

// What a reading cell of a data file, or a live channel, says: a number, or
// one of the texts that stand where no number is. Scripts get the state as a
// word and never a number for it.
enum class ReadingState {
    Ok,      // a number
    Over,    // "Over"
    Under,   // "Under"
    NoProbe, // "- - -"
    Empty,   // an empty cell: a channel a downloaded set did not record
};
// "ok", "over", "under", "no_probe", "empty".
const char* readingStateName(ReadingState state);

// A reading cell split into its parts, as views into the cell: the file's
// digits are kept, never rounded through a double.
struct CellReading {
    ReadingState state = ReadingState::Empty;
    bool negative = false;
    QByteArrayView whole;    // digits before the point, without leading zeros
    QByteArrayView fraction; // digits after the point
};
// A cell of a data file in Latin-1: an optional minus sign, digits with at
// most one decimal point and at least one digit ("23.4", "-.5", "7", "0.0"),
// at most 15 of them past leading zeros, or "Over", "Under", "- - -", or
// nothing. Anything else is no reading.
std::optional<CellReading> readCell(QByteArrayView cell);
// The same into `reading`, for a loop over millions of cells; false for no
// reading.
bool readCellInto(QByteArrayView cell, CellReading& reading);
// The number of an Ok reading as JSON writes numbers ("-0.5" for "-.5",
// "7" for "007"), with `point` as its decimal point.
void appendNumber(QByteArray& out, const CellReading& reading, char point = '.');
// The same written at `to`, which has room for the cell's size and 2 bytes
// more; returns the end.
char* writeNumber(char* to, const CellReading& reading, char point = '.');

// Copies the few bytes of a cell or a field: the library's memcpy, called
// for each, was a tenth of a conversion's time. Reads only [from, from + n).
inline char* copyShort(char* to, const char* from, qsizetype n) {
    if (n >= 8 && n <= 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4 && n < 8) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n > 16) {
        std::memcpy(to, from, size_t(n));
    } else {
        for (qsizetype i = 0; i < n; ++i)
            to[i] = from[i];
    }
    return to + n;
}

// One JSON object and a line end: what quadtherm-cli --json prints a line of.
QByteArray jsonLine(const QJsonObject& object);

// A live channel as watch --json prints it: "time", "channel" ("T1"),
// "type" (the letter, null for a type without one), "state", "value_c" and
// "value_f" (numbers, null unless the state is "ok").
QJsonObject liveReadingJson(const shared::LiveChannel& channel, const QDateTime& when);

} // namespace quadtherm::recording
