#include "recording/local_time_offsets.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace quadtherm::recording {

namespace {

// Offsets lie within a day of UTC, so two days either side of a wall-clock
// time hold every offset it could have.
constexpr qint64 kOffsetReach = 2 * 86400;

QDateTime utcMoment(qint64 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
}

void appendTwoDigits(QByteArray& out, int n) {
    out.append(char('0' + n / 10));
    out.append(char('0' + n % 10));
}

} // namespace

qint64 wallSeconds(int year, int month, int day, int hour, int minute, int second) {
    // Days from the civil date (the proleptic Gregorian calendar), March-based
    // years so that the leap day comes last.
    const qint64 y = year - (month <= 2 ? 1 : 0);
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yearOfEra = y - era * 400;
    const qint64 dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const qint64 days = era * 146097 + dayOfEra - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

LocalTimeOffsets::LocalTimeOffsets(const QTimeZone& zone) : m_zone(zone) {}

int LocalTimeOffsets::offsetAtMoment(qint64 utcSeconds) const {
    return m_zone.offsetFromUtc(utcMoment(utcSeconds));
}

int LocalTimeOffsets::offsetAt(qint64 wall, qint64 notBefore) {
    if (wall >= m_from && wall < m_until)
        return m_offset;
    std::vector<int> offsets{offsetAtMoment(wall - kOffsetReach), offsetAtMoment(wall),
                             offsetAtMoment(wall + kOffsetReach)};
    if (m_zone.hasTransitions()) {
        for (const auto& change :
             m_zone.transitions(utcMoment(wall - kOffsetReach), utcMoment(wall + kOffsetReach)))
            offsets.push_back(change.offsetFromUtc);
    }
    std::sort(offsets.begin(), offsets.end(), std::greater<>());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    // The offsets that give this wall-clock time back, the earliest moment first.
    std::vector<int> fits;
    for (const int offset : offsets)
        if (offsetAtMoment(wall - offset) == offset)
            fits.push_back(offset);
    if (fits.size() == 1) {
        keep(wall, fits.front());
        return fits.front();
    }
    if (fits.empty()) // skipped: the offset just before the change
        return offsetAtMoment(wall - offsets.front() - 1);
    return wall - fits.front() >= notBefore ? fits.front() : fits.back();
}

void LocalTimeOffsets::keep(qint64 wall, int offset) {
    const qint64 moment = wall - offset;
    qint64 from = std::numeric_limits<qint64>::min();
    qint64 until = std::numeric_limits<qint64>::max();
    if (m_zone.hasTransitions()) {
        // The wall-clock times next to a change that also occur on its other
        // side are left out: those are found again each time.
        const auto before = m_zone.previousTransition(utcMoment(moment + 1));
        if (before.atUtc.isValid()) {
            const qint64 at = before.atUtc.toSecsSinceEpoch();
            from = at + std::max(offset, offsetAtMoment(at - 1));
        }
        const auto after = m_zone.nextTransition(utcMoment(moment));
        if (after.atUtc.isValid()) {
            const qint64 at = after.atUtc.toSecsSinceEpoch();
            until = at + std::min(offset, offsetAtMoment(at));
        }
    }
    if (from <= wall && wall < until) {
        m_from = from;
        m_until = until;
        m_offset = offset;
    }
}

QByteArray offsetText(int seconds) {
    QByteArray text;
    text.append(seconds < 0 ? '-' : '+');
    const int size = std::abs(seconds);
    appendTwoDigits(text, size / 3600);
    text.append(':');
    appendTwoDigits(text, size / 60 % 60);
    if (size % 60 != 0) {
        text.append(':');
        appendTwoDigits(text, size % 60);
    }
    return text;
}

QString isoTimeText(QDate date, QTime time, int offsetSeconds) {
    return QDateTime(date, time, QTimeZone::utc()).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QString::fromLatin1(offsetText(offsetSeconds));
}

QString isoTimeText(const QDateTime& when) {
    return isoTimeText(when.date(), when.time(), when.offsetFromUtc());
}

QString isoLocalTimeText(QDate date, QTime time, const QTimeZone& zone) {
    return isoTimeText(date, time, LocalTimeOffsets(zone).offsetAt(wallSeconds(date, time)));
}

} // namespace quadtherm::recording
