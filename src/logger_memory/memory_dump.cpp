#include "logger_memory/memory_dump.h"

#include "logger_memory/memory_figures.h"
#include "shared/reading_text.h"

#include <QDate>

#include <algorithm>
#include <array>
#include <cmath>

namespace quadtherm::logger_memory {

namespace {

using shared::kChannels;

constexpr std::array<quint8, 4> kSetMarker{0x00, 0x55, 0xAA, 0x00};
constexpr qint64 kSecondsPerDay = 86400;

quint8 byteAt(QByteArrayView bytes, qsizetype i) {
    return static_cast<quint8>(bytes[i]);
}

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// "yyyy/mm/dd hh:nn:ss" of the set's records, stepped from its start. The
// meter's clock knows no daylight saving: the arithmetic is plain seconds,
// and the date part is worked out once a day rather than once a record.
class RecordStamps {
public:
    explicit RecordStamps(const MeterDateTime& start) {
        // A start the meter could not have written (month 13, 30 February)
        // is read as the nearest real one, so the records still count on.
        const int year = 2000 + start.year;
        const int month = std::clamp(start.month, 1, 12);
        m_startDate =
            QDate(year, month, std::clamp(start.day, 1, QDate(year, month, 1).daysInMonth()));
        m_startSecond = std::clamp(start.hour, 0, 23) * 3600 +
                        std::clamp(start.minute, 0, 59) * 60 + std::clamp(start.second, 0, 59);
    }

    // The stamp `offsetSeconds` after the start, appended to `out`.
    void append(QByteArray& out, qint64 offsetSeconds) {
        const qint64 total = m_startSecond + offsetSeconds;
        const qint64 day = total / kSecondsPerDay;
        if (day != m_day) {
            m_day = day;
            m_datePart =
                m_startDate.addDays(day).toString(QStringLiteral("yyyy/MM/dd ")).toLatin1();
        }
        out += m_datePart;
        const int ofDay = int(total % kSecondsPerDay);
        appendTwo(out, ofDay / 3600);
        out += ':';
        appendTwo(out, ofDay / 60 % 60);
        out += ':';
        appendTwo(out, ofDay % 60);
    }

private:
    static void appendTwo(QByteArray& out, int n) {
        out += char('0' + n / 10);
        out += char('0' + n % 10);
    }

    QDate m_startDate;
    int m_startSecond = 0;
    qint64 m_day = -1;
    QByteArray m_datePart;
};

struct RecordFlags {
    int present = 0;
    int overUnder = 0;
    bool presentAt(int k) const { return (present >> k) & 1; }
    bool overAt(int k) const { return (overUnder >> k) & 1; }
    bool underAt(int k) const { return (overUnder >> (k + 4)) & 1; }
};

} // namespace

MeterDateTime meterDateTimeAt(QByteArrayView bytes, qsizetype at) {
    return {byteAt(bytes, at),     byteAt(bytes, at + 1), byteAt(bytes, at + 2),
            byteAt(bytes, at + 3), byteAt(bytes, at + 4), byteAt(bytes, at + 5)};
}

QString meterDateTimeText(const MeterDateTime& t) {
    return QStringLiteral("20") + twoDigits(t.year) + u'/' + twoDigits(t.month == 0 ? 1 : t.month) +
           u'/' + twoDigits(t.day == 0 ? 1 : t.day) + u' ' + twoDigits(t.hour) + u':' +
           twoDigits(t.minute) + u':' + twoDigits(t.second);
}

int SetHeader::channelCount() const {
    return shared::CountChannels(channelMask).value_or(0);
}

SetHeader readSetHeader(QByteArrayView set) {
    SetHeader h;
    const quint8 flags = byteAt(set, 4);
    h.channelMask = flags & 0x0F;
    h.fahrenheit = (flags & 0x10) != 0;
    for (int k = 0; k < kChannels; ++k) {
        h.typeCodes[k] = byteAt(set, 5 + k);
        h.offsets[k] = shared::SignedTenths(byteAt(set, 9 + k));
    }
    h.start = meterDateTimeAt(set, 13);
    h.intervalSeconds = byteAt(set, 19);
    h.recordCount = byteAt(set, 20) * 65536 + byteAt(set, 21) * 256 + byteAt(set, 22);
    return h;
}

QByteArrayView dataAreaOf(QByteArrayView reply, bool complete) {
    const qsizetype trailing = complete ? 1 : 0;
    if (reply.size() <= 4 + trailing)
        return {};
    return reply.sliced(4, reply.size() - 4 - trailing);
}

SetWalk walkSets(QByteArrayView area) {
    SetWalk walk;
    qsizetype p = 0;
    while (p < area.size()) {
        const qsizetype left = area.size() - p;
        const bool marker =
            left >= qsizetype(kSetMarker.size()) &&
            std::equal(kSetMarker.begin(), kSetMarker.end(), area.begin() + p,
                       [](quint8 want, char got) { return want == static_cast<quint8>(got); });
        if (!marker || left < kSetHeaderSize) {
            walk.damage = marker ? SetDamage::CutShort : SetDamage::NoMarker;
            walk.damagedAt = p;
            return walk;
        }
        RecordSet set;
        set.header = readSetHeader(area.sliced(p));
        const qint64 length = set.header.setLength();
        if (length > left) {
            walk.damage = SetDamage::CutShort;
            walk.damagedAt = p;
            return walk;
        }
        set.number = int(walk.sets.size()) + 1;
        set.bytes = area.sliced(p, length).toByteArray();
        walk.sets.append(std::move(set));
        p += length;
    }
    return walk;
}

QStringList setListCells(const RecordSet& set) {
    return {QString::number(set.number), meterDateTimeText(set.header.start),
            QString::number(set.header.intervalSeconds), QString::number(set.header.recordCount)};
}

QString damageFooter(const SetWalk& walk, qint64 dataBytes) {
    const QString where = walk.sets.isEmpty() ? QStringLiteral("Damaged from the start")
                                              : QStringLiteral("Damaged after set %1")
                                                    .arg(walk.sets.size());
    return QStringLiteral("%1: stopped at %2%")
        .arg(where, percentText(std::max<qint64>(walk.damagedAt, 0), dataBytes));
}

QString damageText(const SetWalk& walk) {
    const QString where =
        walk.sets.isEmpty()
            ? QStringLiteral("from its first byte on")
            : QStringLiteral("after record set %1 (from byte %2 of the record area on)")
                  .arg(walk.sets.size())
                  .arg(walk.damagedAt);
    const QString what = walk.damage == SetDamage::NoMarker
                             ? QStringLiteral("no record set starts there")
                             : QStringLiteral("the record set there runs past the end of the data");
    return QStringLiteral("The memory data is damaged %1: %2. %3")
        .arg(where, what,
             walk.sets.isEmpty() ? QStringLiteral("No record set could be read.")
                                 : QStringLiteral("The record sets before it are listed."));
}

ReadingTexts setReadingTexts(quint8 hi, quint8 lo, quint8 flags, bool setFahrenheit,
                             double offset) {
    const shared::ThreeByteReading r = shared::decodeThreeByteReading(hi, lo, flags);
    const double v = r.value();
    if (setFahrenheit)
        return {r.text(), shared::TenthsText(std::llround(shared::Fix((v - 32) * 5 / 9 * 10)))};
    // As the live reading is converted: the offset comes off before the
    // conversion and goes back on after it, so a reading shows the same
    // text downloaded as it did live.
    const double c = shared::Fix((v - offset - 32) * 5 / 9 * 10) / 10 + offset;
    const qint64 tenthsC = std::llround(c * 10);
    const double shownC = double(tenthsC) / 10;
    return {shared::TenthsText(std::llround(shared::Fix((shownC * 9 / 5 + 32) * 10))),
            shared::TenthsText(tenthsC)};
}

ReadingTexts manualReadingTexts(quint8 hi, quint8 lo, quint8 flags, double offset) {
    const shared::ThreeByteReading r = shared::decodeThreeByteReading(hi, lo, flags);
    // Unlike a set's reading, a manual reading's °C keeps its offset off.
    return {r.text(),
            shared::TenthsText(std::llround(shared::Fix((r.value() - offset - 32) * 5 / 9 * 10)))};
}

DecodedSet decodeSet(const RecordSet& set) {
    const SetHeader& h = set.header;
    shared::PerChannel<QString> letters;
    for (int k = 0; k < kChannels; ++k)
        letters[k] = shared::TypeLetterOf(h.typeCodes[k]);
    DecodedSet out;
    const QStringList headingC = recording::headingCells(shared::unitText(false), letters);
    const QStringList headingF = recording::headingCells(shared::unitText(true), letters);
    for (int col = 0; col < recording::kDataFileColumns; ++col) {
        out.headingC[col] = headingC.value(col);
        out.headingF[col] = headingF.value(col);
    }

    const QByteArrayView bytes(set.bytes);
    const int recordLength = h.recordLength();
    // Never more records than the bytes hold, whatever the header says.
    const qint64 count =
        std::clamp<qint64>((bytes.size() - kSetHeaderSize) / recordLength, 0, h.recordCount);
    out.rowsC.reserve(count);
    out.rowsF.reserve(count);
    RecordStamps stamps(h.start);
    QByteArray stamp;
    for (qint64 k = 1; k <= count; ++k) {
        const qsizetype at = kSetHeaderSize + (k - 1) * recordLength;
        const RecordFlags flags{byteAt(bytes, at), byteAt(bytes, at + 1)};
        QByteArray rowC = QByteArray::number(k);
        rowC += '\t';
        stamp.clear();
        stamps.append(stamp, (k - 1) * h.intervalSeconds);
        rowC += stamp;
        QByteArray rowF = rowC;
        qsizetype reading = at + 2;
        for (int ch = 0; ch < kChannels; ++ch) {
            rowC += '\t';
            rowF += '\t';
            if (!(h.channelMask & (1 << ch)))
                continue;
            const qsizetype r = reading;
            reading += 3;
            const bool present = flags.presentAt(ch), over = flags.overAt(ch),
                       under = flags.underAt(ch);
            if (!present || over || under) {
                const QByteArray shown =
                    shared::shownReadingText(present, over, under, {}).toLatin1();
                rowC += shown;
                rowF += shown;
                continue;
            }
            const ReadingTexts texts =
                setReadingTexts(byteAt(bytes, r), byteAt(bytes, r + 1), byteAt(bytes, r + 2),
                                h.fahrenheit, h.offsets[ch]);
            rowC += texts.c.toLatin1();
            rowF += texts.f.toLatin1();
        }
        out.rowsC.append(std::move(rowC));
        out.rowsF.append(std::move(rowF));
    }
    return out;
}

QStringList manualHeadingCells() {
    return {QString(),
            QStringLiteral("    Date Time"),
            QStringLiteral("T1"),
            QStringLiteral("T2"),
            QStringLiteral("T3"),
            QStringLiteral("T4")};
}

QStringList manualRecordCells(QByteArrayView record) {
    const bool fahrenheit = (byteAt(record, 0) & 0x10) != 0;
    const RecordFlags flags{byteAt(record, 1), byteAt(record, 2)};
    QStringList cells{shared::unitText(fahrenheit), meterDateTimeText(meterDateTimeAt(record, 11))};
    for (int k = 0; k < kChannels; ++k) {
        const qsizetype r = 17 + 3 * k;
        const ReadingTexts texts =
            manualReadingTexts(byteAt(record, r), byteAt(record, r + 1), byteAt(record, r + 2),
                               shared::SignedTenths(byteAt(record, 7 + k)));
        cells.append(shared::TypeLetterOf(byteAt(record, 3 + k)) + QStringLiteral(": ") +
                     shared::shownReadingText(flags.presentAt(k), flags.overAt(k), flags.underAt(k),
                                              fahrenheit ? texts.f : texts.c));
    }
    return cells;
}

ManualReadings decodeManualDump(QByteArrayView reply, int count) {
    ManualReadings out;
    out.expected = std::max(count, 0);
    for (int k = 0; k < out.expected; ++k) {
        const qsizetype at = kManualLeadBytes + qsizetype(k) * kManualRecordSize;
        if (at + kManualRecordSize > reply.size())
            break;
        out.rows.append(manualRecordCells(reply.sliced(at, kManualRecordSize)));
    }
    return out;
}

} // namespace quadtherm::logger_memory
