#pragma once

#include "recording/data_file.h"
#include "shared/live_state.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace quadtherm::logger_memory {

// The meter's memory as its dumps deliver it. The automatic data area starts
// at meter address 8192; record sets lie back to back in it, each a 23-byte
// header and its records. Every function here takes the bytes as untrusted:
// none reads past the buffer it is given.
inline constexpr quint32 kDataAreaStart = 8192;
inline constexpr int kSetHeaderSize = 23;
inline constexpr int kManualRecordSize = 29;
// The manual dump's reply holds two bytes before the records and one after.
inline constexpr int kManualLeadBytes = 2;

// A date and time as the meter stores it: the year within the century.
struct MeterDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// Six bytes from `at`: year, month, day, hour, minute, second.
MeterDateTime meterDateTimeAt(QByteArrayView bytes, qsizetype at);
// "2009/01/14 08:05:00": "20" before the year, every field at least two
// digits. The meter leaves a month or day it never set at 0: shown as "01".
QString meterDateTimeText(const MeterDateTime& t);

struct SetHeader {
    int channelMask = 0; // bit 0 T1 ... bit 3 T4
    bool fahrenheit = false;
    shared::PerChannel<int> typeCodes{};
    shared::PerChannel<double> offsets{}; // degrees
    MeterDateTime start;
    int intervalSeconds = 0;
    qint64 recordCount = 0;

    // Channels in the mask; 0 for an empty mask, whose records hold only
    // their two flag bytes.
    int channelCount() const;
    int recordLength() const { return 2 + 3 * channelCount(); }
    qint64 setLength() const { return kSetHeaderSize + recordCount * recordLength(); }
};
// The header of the set that starts `set`, which holds at least 23 bytes.
SetHeader readSetHeader(QByteArrayView set);

struct RecordSet {
    int number = 0; // from 1
    SetHeader header;
    QByteArray bytes; // the whole set: marker, header and records
};

enum class SetDamage {
    None,
    NoMarker, // the next set does not start with 00 55 AA 00
    CutShort, // its header or its declared records run past the data area
};

struct SetWalk {
    QList<RecordSet> sets; // every whole set before any damage
    SetDamage damage = SetDamage::None;
    qsizetype damagedAt = -1; // where in the data area the damage starts
};

// The data area of a memory dump reply: everything between its four leading
// bytes and its trailing one. A reply that stopped short has no trailing
// byte yet: the rest after the leading bytes.
QByteArrayView dataAreaOf(QByteArrayView reply, bool complete = true);
// The sets back to back from the start of `dataArea`, up to its end or the
// first set that is not whole.
SetWalk walkSets(QByteArrayView dataArea);
// The set list's row: number, start date and time, interval, record count.
QStringList setListCells(const RecordSet& set);
// "The memory data is damaged ..." for a walk that found damage.
QString damageText(const SetWalk& walk);
// The progress line after such a walk, saying where the listing stopped in
// a data area of `dataBytes`: "Damaged after set 2: stopped at 40.5%".
QString damageFooter(const SetWalk& walk, qint64 dataBytes);

// A stored reading as both units show it.
struct ReadingTexts {
    QString f, c;
};
// A reading of a record set recorded in °F or in °C (with its channel offset).
ReadingTexts setReadingTexts(quint8 hi, quint8 lo, quint8 flags, bool setFahrenheit, double offset);
ReadingTexts manualReadingTexts(quint8 hi, quint8 lo, quint8 flags, double offset);

// A set decoded for the downloaded-data list: a heading and one row per
// record in each unit, the row's six cells joined by TAB, in Latin-1.
// Record k is stamped (k - 1) intervals after the set's start; a channel
// outside the set's mask has an empty cell.
struct DecodedSet {
    recording::SixValues headingC, headingF;
    QList<QByteArray> rowsC, rowsF;
};
DecodedSet decodeSet(const RecordSet& set);

// The manual readings list: "", "    Date Time", "T1" ... "T4".
QStringList manualHeadingCells();
// One 29-byte manual record: its unit, date and time, and "K: 25.4" for
// each channel, in the unit it was stored in.
QStringList manualRecordCells(QByteArrayView record);

struct ManualReadings {
    QList<QStringList> rows;
    int expected = 0;
    bool complete() const { return rows.size() == expected; }
};
// The records of a manual dump reply that holds `count` of them; a reply
// cut short gives the records that are whole.
ManualReadings decodeManualDump(QByteArrayView reply, int count);

} // namespace quadtherm::logger_memory
