#pragma once

#include <QDate>
#include <QTime>
#include <QTimeZone>

#include <limits>

namespace quadtherm::recording {

// Data files stamp records with the wall-clock time and no offset: the
// computer's clock for a recording, the meter's (never moved for daylight
// saving) for a downloaded set. This finds the offset from UTC that such a
// time had in a time zone, without QDateTime's own choices: Qt 6.4 makes a
// time inside a skipped hour invalid, and picks the later of two times in a
// repeated hour even when that puts a record before the one it follows.
//
// - A time the clocks skipped keeps its digits and the offset in force just
//   before the change (02:30 +01:00 where 02:00 became 03:00 +02:00): the
//   same moment, without rewriting what the file says.
// - A time that occurred twice is the earlier one, unless that lies before
//   the moment given as `notBefore` (the record before it): a recording
//   through the night the clocks go back stays in order.
//
// A time zone's offset holds for months, so the answer is kept for the
// stretch of wall-clock time that has no change in it: a file of hundreds of
// thousands of records asks the time zone a few times.
class LocalTimeOffsets {
public:
    explicit LocalTimeOffsets(const QTimeZone& zone = QTimeZone::systemTimeZone());

    // Seconds east of UTC at `wallSeconds`, the wall-clock time counted in
    // seconds from 1970-01-01 00:00 as if it were UTC.
    int offsetAt(qint64 wallSeconds, qint64 notBefore = kNoMoment);

    static constexpr qint64 kNoMoment = std::numeric_limits<qint64>::min();

private:
    int offsetAtMoment(qint64 utcSeconds) const;
    void keep(qint64 wallSeconds, int offset);

    QTimeZone m_zone;
    // The wall-clock stretch [m_from, m_until) that has one offset and no
    // change of it.
    qint64 m_from = 0;
    qint64 m_until = 0;
    int m_offset = 0;
};

// Seconds of a wall-clock date and time from 1970-01-01 00:00, as if UTC.
qint64 wallSeconds(int year, int month, int day, int hour, int minute, int second);
inline qint64 wallSeconds(QDate date, QTime time) {
    return wallSeconds(date.year(), date.month(), date.day(), time.hour(), time.minute(),
                       time.second());
}

// "+01:00", "-03:30", "+00:00"; seconds too when an offset has them.
QByteArray offsetText(int seconds);
// ISO 8601 with the offset: "2026-12-07T15:44:22+01:00".
QString isoTimeText(QDate date, QTime time, int offsetSeconds);
// A moment as this computer's clock showed it, with its offset.
QString isoTimeText(const QDateTime& when);
// A wall-clock date and time (a meter's clock) with the offset it had in `zone`.
QString isoLocalTimeText(QDate date, QTime time,
                         const QTimeZone& zone = QTimeZone::systemTimeZone());

} // namespace quadtherm::recording
