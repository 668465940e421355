#include "recording/record_converter.h"

#include "recording/data_file.h"
#include "shared/reading_text.h"

#include <QDate>

#include <bit>
#include <cstring>

namespace quadtherm::recording {

namespace {

constexpr QByteArrayView kDegreeLatin1 = "\xB0";
constexpr QByteArrayView kDegreeUtf8 = "\xC2\xB0";
// What a message quotes of a cell at most: a cell may run to megabytes.
constexpr qsizetype kQuotedCell = 40;

bool allDigits(QByteArrayView text) {
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

QString quoted(QByteArrayView cell) {
    const QString text = QString::fromLatin1(cell.first(std::min(cell.size(), kQuotedCell)));
    return u'\'' + text + (cell.size() > kQuotedCell ? QStringLiteral("…'") : QStringLiteral("'"));
}

// The unit cell of a heading: °C or °F, or nothing.
std::optional<bool> headingUnit(QByteArrayView cell) {
    for (const QByteArrayView degree : {kDegreeLatin1, kDegreeUtf8}) {
        if (cell.size() == degree.size() + 1 && cell.startsWith(degree)) {
            if (cell.back() == 'C')
                return false;
            if (cell.back() == 'F')
                return true;
        }
    }
    return std::nullopt;
}

// "T2 - K" for channel 1: the letter, empty for a type without one.
std::optional<QString> headingType(QByteArrayView cell, int k) {
    const QByteArray prefix = QByteArray("T") + char('1' + k) + " - ";
    if (!cell.startsWith(prefix))
        return std::nullopt;
    const QByteArrayView letter = cell.sliced(prefix.size());
    if (letter.isEmpty())
        return QString();
    for (const auto& type : shared::kThermocoupleTypes)
        if (letter == QByteArrayView(type.letter))
            return QString::fromLatin1(letter);
    return std::nullopt;
}

void setWhy(QString* why, const QString& text) {
    if (why)
        *why = text;
}

} // namespace

// A converted line is written into room made for it beforehand (its size is
// bounded by the record line's): appending piece by piece was most of the
// cost of a conversion.
class LineRoom {
public:
    explicit LineRoom(char* at) : m_at(at) {}
    void put(char c) { *m_at++ = c; }
    void put(QByteArrayView text) { m_at = copyShort(m_at, text.data(), text.size()); }
    void putNumber(const CellReading& reading, char point) {
        m_at = writeNumber(m_at, reading, point);
    }
    void putDecimal(qint64 n) {
        char digits[24];
        char* const end = digits + sizeof digits;
        char* at = end;
        // Counted in the negative range, where every qint64 fits.
        qint64 rest = n < 0 ? n : -n;
        do {
            *--at = char('0' - rest % 10);
            rest /= 10;
        } while (rest != 0);
        if (n < 0)
            *--at = '-';
        put(QByteArrayView(at, end - at));
    }
    // "2026/12/07 15:44:22" as "2026-12-07T15:44:22".
    void putIsoDigits(QByteArrayView stamp) {
        char* const text = m_at;
        put(stamp);
        text[4] = '-';
        text[7] = '-';
        text[10] = 'T';
    }
    char* at() const { return m_at; }

private:
    char* m_at;
};

namespace {

// A literal's view without looking for its end at run time.
template <size_t N> constexpr QByteArrayView literal(const char (&text)[N]) {
    return QByteArrayView(text, qsizetype(N - 1));
}

// Room enough for any conversion of a line of `lineBytes`: the cells' own
// bytes (a number may gain a "0" and its sign) and the fixed text around them.
qsizetype roomFor(qsizetype lineBytes) {
    return 512 + 2 * lineBytes;
}

// The split of a record line, which has its six TABs: one pass instead of a
// search per cell. Other lines take the general rule.
std::optional<std::array<QByteArrayView, kDataFileColumns>> splitRecordLine(QByteArrayView line) {
    std::array<QByteArrayView, kDataFileColumns> cells;
    const char* const data = line.data();
    qsizetype start = 0;
    int col = 0;
    const auto cellTo = [&](qsizetype tab) {
        cells[col++] = QByteArrayView(data + start, tab - start);
        start = tab + 1;
        return col == kDataFileColumns;
    };
    qsizetype at = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Eight bytes at a time, as findLineEnd looks for line ends. Only the
        // lowest flag is sure to be a TAB: the others are looked at.
        constexpr quint64 kOnes = 0x0101010101010101;
        constexpr quint64 kHighs = 0x8080808080808080;
        for (; at + 8 <= line.size(); at += 8) {
            quint64 word;
            std::memcpy(&word, data + at, sizeof word);
            const quint64 tabs = word ^ (kOnes * '\t');
            for (quint64 hits = (tabs - kOnes) & ~tabs & kHighs; hits != 0; hits &= hits - 1) {
                const qsizetype tab = at + std::countr_zero(hits) / 8;
                if (data[tab] == '\t' && cellTo(tab))
                    return cells;
            }
        }
    }
    for (; at < line.size(); ++at) {
        if (data[at] == '\t' && cellTo(at))
            return cells;
    }
    return splitSixValueBytes(line);
}

} // namespace

std::optional<DataFileHeading> readHeading(QByteArrayView line, QString* why) {
    const auto cells = splitSixValueBytes(line);
    if (cells && (*cells)[0].isEmpty() && (*cells)[1] == QByteArrayView("    Date Time")) {
        setWhy(why, QStringLiteral("it holds manual readings (a unit and a type in every "
                                   "row), which export does not convert"));
        return std::nullopt;
    }
    const QString notHeading =
        QStringLiteral("it is not the heading of a data file (°C or °F, Date Time, "
                       "T1 - K ... T4 - T, each followed by a TAB)");
    if (!cells || (*cells)[1] != QByteArrayView("Date Time")) {
        setWhy(why, notHeading);
        return std::nullopt;
    }
    DataFileHeading heading;
    const auto unit = headingUnit((*cells)[0]);
    if (!unit) {
        setWhy(why, notHeading);
        return std::nullopt;
    }
    heading.fahrenheit = *unit;
    for (int k = 0; k < shared::kChannels; ++k) {
        const auto type = headingType((*cells)[2 + k], k);
        if (!type) {
            setWhy(why, notHeading);
            return std::nullopt;
        }
        heading.types[k] = *type;
    }
    return heading;
}

void appendCsvField(QByteArray& out, QByteArrayView text, char separator) {
    bool quote = false;
    for (const char c : text)
        quote = quote || c == separator || c == '"' || c == '\r' || c == '\n';
    if (!quote) {
        out.append(text);
        return;
    }
    out.append('"');
    for (const char c : text) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

RecordConverter::RecordConverter(const DataFileHeading& heading, const ExportOptions& options,
                                 const QTimeZone& zone)
    : m_heading(heading), m_options(options), m_offsets(zone) {
    for (size_t i = 0; i < m_stateNames.size(); ++i)
        m_stateNames[i] = QByteArrayView(readingStateName(ReadingState(i)));
    if (options.dialect == CsvDialect::ExcelEu) {
        m_separator = ';';
        m_point = ',';
    }
    for (int k = 0; k < shared::kChannels; ++k) {
        QByteArray& json = m_channelJson[k];
        json = QByteArray("{\"channel\":\"T") + char('1' + k) + "\",\"type\":";
        json += heading.types[k].isEmpty() ? QByteArray("null")
                                           : '"' + heading.types[k].toLatin1() + '"';
        json += ",\"state\":\"";
    }
}

QByteArray RecordConverter::header() const {
    if (m_options.format != ExportFormat::Csv)
        return {};
    QByteArray row;
    if (m_options.dialect == CsvDialect::ExcelEu)
        row += "\xEF\xBB\xBF";
    const QString unit = shared::unitText(m_heading.fahrenheit);
    QList<QString> fields{QStringLiteral("record"), QStringLiteral("time"),
                          QStringLiteral("elapsed_s")};
    for (int k = 0; k < shared::kChannels; ++k) {
        const QString channel = QStringLiteral("T%1").arg(k + 1);
        const QString type = m_heading.types[k].isEmpty() ? QString() : u' ' + m_heading.types[k];
        fields.append(QStringLiteral("%1%2 (%3)").arg(channel, type, unit));
        fields.append(channel + QStringLiteral(" state"));
    }
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            row += m_separator;
        appendCsvField(row, fields[i].toUtf8(), m_separator);
    }
    return row + "\r\n";
}

std::optional<qint64> RecordConverter::wallSecondsOf(QByteArrayView cell) {
    // yyyy/mm/dd hh:nn:ss
    static constexpr char kShape[] = "0000/00/00 00:00:00";
    constexpr qsizetype kMinute = 16;
    if (cell.size() != qsizetype(sizeof kShape - 1))
        return std::nullopt;
    const auto digit = [cell](qsizetype at) { return cell[at] >= '0' && cell[at] <= '9'; };
    const auto number = [cell](qsizetype at, qsizetype digits) {
        int n = 0;
        for (qsizetype i = at; i < at + digits; ++i)
            n = n * 10 + (cell[i] - '0');
        return n;
    };
    if (cell[kMinute] != ':' || !digit(kMinute + 1) || !digit(kMinute + 2))
        return std::nullopt;
    const int second = number(kMinute + 1, 2);
    if (second > 59)
        return std::nullopt;
    if (cell.first(kMinute) == QByteArrayView(m_minute))
        return m_minuteWall + second;
    for (qsizetype i = 0; i < kMinute; ++i) {
        if (kShape[i] == '0' ? !digit(i) : cell[i] != kShape[i])
            return std::nullopt;
    }
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2);
    if (!QDate::isValid(year, month, day) || hour > 23 || minute > 59)
        return std::nullopt;
    m_minute = cell.first(kMinute).toByteArray();
    m_minuteWall = wallSeconds(year, month, day, hour, minute, 0);
    return m_minuteWall + second;
}

void RecordConverter::useOffset(int offset) {
    if (m_offsetText.isEmpty() || offset != m_offsetTextFor) {
        m_offsetText = offsetText(offset);
        m_offsetTextFor = offset;
    }
}

bool RecordConverter::appendRecord(QByteArrayView line, QByteArray& out, QString* why) {
    const auto cells = splitRecordLine(line);
    if (!cells) {
        setWhy(why, QStringLiteral("it does not hold six cells, each followed by a TAB"));
        return false;
    }
    QByteArrayView number = (*cells)[0];
    if (number.isEmpty() || number.size() > 18 || !allDigits(number)) {
        setWhy(why,
               QStringLiteral("the record number %1 is not a whole number").arg(quoted(number)));
        return false;
    }
    while (number.size() > 1 && number.front() == '0')
        number = number.sliced(1);
    const QByteArrayView time = (*cells)[1];
    const auto wall = wallSecondsOf(time);
    if (!wall) {
        setWhy(why, QStringLiteral("the time %1 is not a date and time as yyyy/mm/dd hh:nn:ss")
                        .arg(quoted(time)));
        return false;
    }
    std::array<CellReading, shared::kChannels> readings;
    for (int k = 0; k < shared::kChannels; ++k) {
        if (!readCellInto((*cells)[2 + k], readings[k])) {
            setWhy(why, QStringLiteral("T%1 holds %2, which is no reading (a number, Over, Under, "
                                       "- - - or nothing)")
                            .arg(k + 1)
                            .arg(quoted((*cells)[2 + k])));
            return false;
        }
    }
    const int offset = m_offsets.offsetAt(*wall, m_last);
    const qint64 moment = *wall - offset;
    useOffset(offset);
    if (m_last == LocalTimeOffsets::kNoMoment)
        m_first = moment;
    m_last = moment;
    const qsizetype size = out.size();
    out.resize(size + roomFor(line.size()));
    LineRoom room(out.data() + size);
    if (m_options.format == ExportFormat::Csv)
        writeCsv(room, number, time, moment - m_first, readings);
    else
        writeJson(room, number, time, moment - m_first, readings);
    out.truncate(room.at() - out.constData());
    return true;
}

void RecordConverter::writeCsv(LineRoom& room, QByteArrayView number, QByteArrayView time,
                               qint64 elapsed,
                               const std::array<CellReading, shared::kChannels>& readings) const {
    room.put(number);
    room.put(m_separator);
    room.putIsoDigits(time);
    room.put(m_offsetText);
    room.put(m_separator);
    room.putDecimal(elapsed);
    for (const CellReading& reading : readings) {
        room.put(m_separator);
        if (reading.state == ReadingState::Ok)
            room.putNumber(reading, m_point);
        room.put(m_separator);
        room.put(m_stateNames[size_t(reading.state)]);
    }
    room.put(literal("\r\n"));
}

void RecordConverter::writeJson(LineRoom& room, QByteArrayView number, QByteArrayView time,
                                qint64 elapsed,
                                const std::array<CellReading, shared::kChannels>& readings) const {
    room.put(literal("{\"record\":"));
    room.put(number);
    room.put(literal(",\"time\":\""));
    room.putIsoDigits(time);
    room.put(m_offsetText);
    room.put(literal("\",\"elapsed_s\":"));
    room.putDecimal(elapsed);
    room.put(m_heading.fahrenheit ? literal(",\"unit\":\"\xC2\xB0\x46\",\"channels\":[")
                                  : literal(",\"unit\":\"\xC2\xB0\x43\",\"channels\":["));
    for (int k = 0; k < shared::kChannels; ++k) {
        if (k > 0)
            room.put(',');
        room.put(m_channelJson[k]);
        room.put(m_stateNames[size_t(readings[k].state)]);
        room.put(literal("\",\"value\":"));
        if (readings[k].state == ReadingState::Ok)
            room.putNumber(readings[k], '.');
        else
            room.put(literal("null"));
        room.put('}');
    }
    room.put(literal("]}\n"));
}

} // namespace quadtherm::recording
