#include "cli/json_replies.h"

#include "recording/local_time_offsets.h"
#include "recording/reading_json.h"
#include "shared/live_state.h"

#include <QJsonArray>

namespace quadtherm::cli {

namespace {

using recording::ReadingState;

// A time as the meter's lists write it, "2026/01/14 08:05:00"; null when it
// is none.
QJsonValue meterTimeJson(const QString& text) {
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy/MM/dd"));
    const QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
    if (text.size() != 19 || !date.isValid() || !time.isValid())
        return QJsonValue::Null;
    return recording::isoLocalTimeText(date, time);
}

QJsonObject withSet(QJsonObject object, bool set) {
    if (set)
        object.insert(QStringLiteral("set"), true);
    return object;
}

// "K: 25.4", ": - - -" for a type without a letter.
QJsonObject manualChannelJson(int k, const QString& cell) {
    const qsizetype colon = cell.indexOf(QStringLiteral(": "));
    const QString letter = colon < 0 ? QString() : cell.left(colon);
    const QByteArray text = (colon < 0 ? cell : cell.mid(colon + 2)).toLatin1();
    const auto reading = recording::readCell(text);
    QJsonValue value = QJsonValue::Null;
    if (reading && reading->state == ReadingState::Ok) {
        QByteArray number;
        recording::appendNumber(number, *reading);
        value = number.toDouble();
    }
    return {
        {QStringLiteral("channel"), QStringLiteral("T%1").arg(k + 1)},
        {QStringLiteral("type"), letter.isEmpty() ? QJsonValue(QJsonValue::Null) : letter},
        // The manual list always writes a reading; anything else is said, not guessed.
        {QStringLiteral("state"),
         reading ? QString::fromLatin1(recording::readingStateName(reading->state))
                 : QStringLiteral("unreadable")},
        {QStringLiteral("value"), value},
    };
}

} // namespace

QJsonObject statusJson(qint64 memoryPointer, int manualCount) {
    return {{QStringLiteral("memory_pointer"), memoryPointer},
            {QStringLiteral("manual_count"), manualCount}};
}

QJsonObject clockJson(const meter_link::MeterClock& clock) {
    const QDate date(2000 + clock.year, clock.month, clock.day);
    const QTime time(clock.hour, clock.minute, clock.second);
    if (!clock.isSet() || !date.isValid() || !time.isValid())
        return {{QStringLiteral("clock"), QJsonValue::Null}};
    return {{QStringLiteral("clock"), recording::isoLocalTimeText(date, time)}};
}

QJsonObject clockSetJson(const QDateTime& now) {
    return {{QStringLiteral("clock"), recording::isoTimeText(now)}, {QStringLiteral("set"), true}};
}

QJsonObject intervalJson(int seconds, bool set) {
    return withSet({{QStringLiteral("interval_s"), seconds}}, set);
}

QJsonObject powerOffJson(int minutes, bool set) {
    return withSet({{QStringLiteral("poweroff_min"), minutes}}, set);
}

QJsonObject memorySizeJson(int code, bool set) {
    return withSet({{QStringLiteral("memsize"), code}, {QStringLiteral("memory_kb"), code * 64}},
                   set);
}

QJsonObject keyJson(const QString& name, bool held) {
    return {{QStringLiteral("key"), name}, {QStringLiteral("long"), held}};
}

QJsonObject erasedJson(bool automatic) {
    return {{QStringLiteral("erased"),
             automatic ? QStringLiteral("record_sets") : QStringLiteral("manual_readings")}};
}

QJsonObject recordSetJson(const logger_memory::RecordSet& set, const QString& file) {
    const QStringList cells = logger_memory::setListCells(set);
    return {
        {QStringLiteral("set"), set.number},
        {QStringLiteral("start"), meterTimeJson(cells.value(1))},
        {QStringLiteral("interval_s"), set.header.intervalSeconds},
        {QStringLiteral("records"), set.header.recordCount},
        {QStringLiteral("unit"),
         set.header.fahrenheit ? QStringLiteral("°F") : QStringLiteral("°C")},
        {QStringLiteral("file"), file},
    };
}

QJsonObject manualReadingJson(qint64 number, const QStringList& cells) {
    QJsonArray channels;
    for (int k = 0; k < shared::kChannels; ++k)
        channels.append(manualChannelJson(k, cells.value(2 + k)));
    return {
        {QStringLiteral("reading"), number},
        {QStringLiteral("time"), meterTimeJson(cells.value(1))},
        {QStringLiteral("unit"), cells.value(0)},
        {QStringLiteral("channels"), channels},
    };
}

} // namespace quadtherm::cli
