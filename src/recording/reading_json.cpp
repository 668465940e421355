#include "recording/reading_json.h"

#include "recording/local_time_offsets.h"

#include <QJsonDocument>

#include <cstring>

namespace quadtherm::recording {

namespace {

constexpr qsizetype kMaxReadingDigits = 15;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number of a live text ("-.5", "23.4"), or null when it is none.
QJsonValue liveNumber(const QString& text) {
    const QByteArray cell = text.toLatin1();
    const auto reading = readCell(cell);
    if (!reading || reading->state != ReadingState::Ok)
        return QJsonValue::Null;
    QByteArray number;
    appendNumber(number, *reading);
    return number.toDouble();
}

} // namespace

const char* readingStateName(ReadingState state) {
    switch (state) {
    case ReadingState::Ok:
        return "ok";
    case ReadingState::Over:
        return "over";
    case ReadingState::Under:
        return "under";
    case ReadingState::NoProbe:
        return "no_probe";
    case ReadingState::Empty:
        return "empty";
    }
    return "empty";
}

bool readCellInto(QByteArrayView cell, CellReading& reading) {
    reading = CellReading();
    if (cell.isEmpty())
        return true;
    // By the first byte: a number is far the most common cell.
    switch (cell[0]) {
    case 'O':
        if (cell != QByteArrayView("Over", 4))
            return false;
        reading.state = ReadingState::Over;
        return true;
    case 'U':
        if (cell != QByteArrayView("Under", 5))
            return false;
        reading.state = ReadingState::Under;
        return true;
    case '-':
        if (cell == QByteArrayView("- - -", 5)) {
            reading.state = ReadingState::NoProbe;
            return true;
        }
        break;
    default:
        break;
    }
    qsizetype at = 0;
    reading.negative = cell[0] == '-';
    if (reading.negative)
        ++at;
    const qsizetype wholeStart = at;
    while (at < cell.size() && isDigit(cell[at]))
        ++at;
    const qsizetype wholeEnd = at;
    qsizetype fractionStart = at;
    if (at < cell.size() && cell[at] == '.') {
        fractionStart = ++at;
        while (at < cell.size() && isDigit(cell[at]))
            ++at;
    }
    if (at != cell.size() || (wholeEnd == wholeStart && at == fractionStart))
        return false;
    qsizetype firstDigit = wholeStart;
    while (firstDigit < wholeEnd && cell[firstDigit] == '0')
        ++firstDigit;
    reading.whole = cell.sliced(firstDigit, wholeEnd - firstDigit);
    reading.fraction = cell.sliced(fractionStart, at - fractionStart);
    // A reading has a few digits; one of hundreds would be a number a JSON
    // reader takes as infinity, or refuses.
    if (reading.whole.size() + reading.fraction.size() > kMaxReadingDigits)
        return false;
    reading.state = ReadingState::Ok;
    return true;
}

std::optional<CellReading> readCell(QByteArrayView cell) {
    CellReading reading;
    if (!readCellInto(cell, reading))
        return std::nullopt;
    return reading;
}

char* writeNumber(char* to, const CellReading& reading, char point) {
    if (reading.negative)
        *to++ = '-';
    if (reading.whole.isEmpty()) {
        *to++ = '0';
    } else {
        to = copyShort(to, reading.whole.data(), reading.whole.size());
    }
    if (!reading.fraction.isEmpty()) {
        *to++ = point;
        to = copyShort(to, reading.fraction.data(), reading.fraction.size());
    }
    return to;
}

void appendNumber(QByteArray& out, const CellReading& reading, char point) {
    const qsizetype at = out.size();
    out.resize(at + reading.whole.size() + reading.fraction.size() + 3);
    out.truncate(writeNumber(out.data() + at, reading, point) - out.constData());
}

QByteArray jsonLine(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QJsonObject liveReadingJson(const shared::LiveChannel& channel, const QDateTime& when) {
    ReadingState state = ReadingState::Ok;
    if (!channel.present)
        state = ReadingState::NoProbe;
    else if (channel.over)
        state = ReadingState::Over;
    else if (channel.under)
        state = ReadingState::Under;
    const bool ok = state == ReadingState::Ok;
    return {
        {QStringLiteral("time"), isoTimeText(when)},
        {QStringLiteral("channel"), QStringLiteral("T%1").arg(channel.channel + 1)},
        {QStringLiteral("type"),
         channel.type.isEmpty() ? QJsonValue(QJsonValue::Null) : channel.type},
        {QStringLiteral("state"), QString::fromLatin1(readingStateName(state))},
        {QStringLiteral("value_c"), ok ? liveNumber(channel.textC) : QJsonValue::Null},
        {QStringLiteral("value_f"), ok ? liveNumber(channel.textF) : QJsonValue::Null},
    };
}

} // namespace quadtherm::recording
