#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace quadtherm::shared {

struct ThermocoupleType {
    const char* letter;
    int minC, maxC, minF, maxF;
};

// "°F" or "°C": the unit as the meter shows it, in headings and lists.
QString unitText(bool fahrenheit);

// Codes 0 to 10; codes 11 to 15 have no letter and no range.
inline constexpr std::array<ThermocoupleType, 11> kThermocoupleTypes{{
    {"K", -200, 1370, -328, 2498},
    {"J", -200, 1000, -328, 1832},
    {"E", -200, 760, -328, 1400},
    {"T", -200, 400, -328, 752},
    {"R", 0, 1600, 32, 2912},
    {"S", 0, 1600, 32, 2912},
    {"N", -200, 1300, -328, 2372},
    {"L", -200, 900, -328, 1652},
    {"U", -200, 600, -328, 1112},
    {"B", 600, 1820, 1112, 3308},
    {"C", 0, 2310, 32, 4190},
}};

// The type of (code mod 16), or nothing for 11 to 15.
std::optional<ThermocoupleType> thermocoupleType(int code);

// The letter of (code mod 16), empty for 11 to 15.
QString TypeLetterOf(int code);

// Number of bits set in a 4-bit channel mask; nothing for 0.
std::optional<int> CountChannels(int mask);

// A signed byte in tenths of a degree: 0xF6 is -1.0, 0x7F 12.7, 0x80 -12.8.
double SignedTenths(quint8 b);

// A whole number of tenths as text with one decimal: 5 gives "0.5", 1234
// "123.4", -5 "-.5", -123 "-12.3".
QString TenthsText(qint64 tenths);

// Truncation toward zero of a computed count of tenths, immune to the
// floating-point error of the conversion.
double Fix(double x);

// The meter's three-byte reading: integer part hi*256+lo, negative when bit 7
// of `flags` is set, tenths digit in the low four bits of `flags`.
struct ThreeByteReading {
    qint64 integerPart = 0;
    int digit = 0;
    bool negative = false;

    QString text() const;
    double value() const;
};

ThreeByteReading decodeThreeByteReading(quint8 hi, quint8 lo, quint8 flags);

// What a channel shows: no probe wins over over-range, which wins over
// under-range; otherwise the reading.
QString shownReadingText(bool present, bool over, bool under, const QString& reading);

// The value of the number a text starts with, after leading blanks: an
// optional sign, digits and one decimal point ("-12.5x" gives -12.5, ".5"
// 0.5). 0 when the text does not start with a number.
double leadingNumber(QStringView text);

} // namespace quadtherm::shared
