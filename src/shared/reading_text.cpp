#include "shared/reading_text.h"

#include <bit>
#include <cmath>

namespace quadtherm::shared {

QString unitText(bool fahrenheit) {
    return fahrenheit ? QStringLiteral("°F") : QStringLiteral("°C");
}

std::optional<ThermocoupleType> thermocoupleType(int code) {
    const int c = ((code % 16) + 16) % 16;
    if (c >= static_cast<int>(kThermocoupleTypes.size()))
        return std::nullopt;
    return kThermocoupleTypes[static_cast<size_t>(c)];
}

QString TypeLetterOf(int code) {
    const auto type = thermocoupleType(code);
    return type ? QString::fromLatin1(type->letter) : QString();
}

std::optional<int> CountChannels(int mask) {
    const int n = std::popcount(static_cast<unsigned>(mask & 0x0F));
    if (n == 0)
        return std::nullopt;
    return n;
}

double SignedTenths(quint8 b) {
    return (b <= 127 ? b : b - 256) / 10.0;
}

QString TenthsText(qint64 tenths) {
    const QString t = QString::number(tenths);
    if (t.size() == 1)
        return QStringLiteral("0.") + t;
    return t.left(t.size() - 1) + u'.' + t.right(1);
}

double Fix(double x) {
    // (32.9 - 32) * 5 / 9 * 10 is 4.9999999999999... in binary floating point;
    // truncating that would lose a tenth the reading really has.
    return std::trunc(std::round(x * 1e6) / 1e6);
}

ThreeByteReading decodeThreeByteReading(quint8 hi, quint8 lo, quint8 flags) {
    ThreeByteReading r;
    r.integerPart = hi * 256 + lo;
    r.negative = (flags & 0x80) != 0;
    // The meter marks a negative integer part with bit 7 and sends it in two's
    // complement; a reading between -1 and 0 arrives as 00 00 with the bit set
    // and is -0.d, not -65536.d.
    if (r.negative && r.integerPart != 0)
        r.integerPart -= 65536;
    r.digit = flags % 16;
    return r;
}

QString ThreeByteReading::text() const {
    const QString sign = (negative && integerPart == 0) ? QStringLiteral("-") : QString();
    return sign + QString::number(integerPart) + u'.' + QString::number(digit);
}

double ThreeByteReading::value() const {
    return text().toDouble();
}

QString shownReadingText(bool present, bool over, bool under, const QString& reading) {
    if (!present)
        return QStringLiteral("- - -");
    if (over)
        return QStringLiteral("Over");
    if (under)
        return QStringLiteral("Under");
    return reading;
}

double leadingNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        if (text[i].isDigit() && text[i].unicode() < 0x80)
            digits = true;
        else if (text[i] == u'.' && !point)
            point = true;
        else
            break;
    }
    if (!digits)
        return 0.0;
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0.0;
}

} // namespace quadtherm::shared
