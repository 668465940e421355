#include "graphs/histogram.h"

#include "graphs/nice_numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace quadtherm::graphs {

namespace {

constexpr double kTenth = 0.1;
constexpr int kMostBins = 60;
constexpr int kFewestBins = 5;

template <typename Char> std::optional<double> parseReading(const Char* s, qsizetype n) {
    qsizetype i = 0;
    while (i < n && s[i] == ' ')
        ++i;
    while (n > i && s[n - 1] == ' ')
        --n;
    // At most a sign, digits and a point, checked here; copied to a buffer
    // of plain chars for from_chars, which neither allocates nor looks at
    // the locale. A file plot reads a million cells.
    std::array<char, 64> text{};
    qsizetype length = 0;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-')
            text[size_t(length++)] = '-';
        ++i;
    }
    bool digits = false, point = false;
    for (; i < n; ++i) {
        const auto c = s[i];
        if (c >= '0' && c <= '9')
            digits = true;
        else if (c == '.' && !point)
            point = true;
        else
            return std::nullopt;
        if (length == qsizetype(text.size()))
            return std::nullopt; // no reading has 60 digits
        text[size_t(length++)] = char(c);
    }
    if (!digits)
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + length, value);
    if (error != std::errc() || end != text.data() + length || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<double> readingValue(QStringView cell) {
    return parseReading(cell.utf16(), cell.size());
}

std::optional<double> readingValue(QByteArrayView cell) {
    return parseReading(cell.data(), cell.size());
}

HistogramFigures histogramOf(const std::vector<double>& readings, qsizetype notReadings) {
    HistogramFigures h;
    h.notReadings = notReadings;
    h.count = qsizetype(readings.size());
    if (readings.empty())
        return h;
    // Welford's running mean and squares: a day of readings near 1000 °C
    // would lose the digits that matter in a plain sum of squares.
    double mean = 0, squares = 0;
    h.minimum = h.maximum = readings.front();
    for (size_t i = 0; i < readings.size(); ++i) {
        const double v = readings[i];
        h.minimum = std::min(h.minimum, v);
        h.maximum = std::max(h.maximum, v);
        const double delta = v - mean;
        mean += delta / double(i + 1);
        squares += delta * (v - mean);
    }
    h.mean = mean;
    h.standardDeviation = h.count > 1 ? std::sqrt(squares / double(h.count - 1)) : 0.0;

    const int target =
        std::clamp(int(std::ceil(std::sqrt(double(h.count)))), kFewestBins, kMostBins);
    double width = niceStep((h.maximum - h.minimum) / target);
    if (std::abs(width - 0.25) < 1e-12)
        width = 0.5; // 2.5 tenths would give the bins 2 or 3 tenths in turn
    width = std::max(width, kTenth);
    h.binWidth = width;
    h.binStart = std::floor((h.minimum + kTenth / 2) / width) * width - kTenth / 2;
    if (h.binStart > h.minimum)
        h.binStart -= width;
    // Clamped while still a double: readings near the ends of the double
    // range make the span infinite, which no integer holds.
    const auto binOf = [&](double v, double last) {
        const double at = std::floor((v - h.binStart) / width);
        return qsizetype(std::isnan(at) ? 0.0 : std::clamp(at, 0.0, last));
    };
    const qsizetype bins = binOf(h.maximum, 4.0 * kMostBins - 1) + 1;
    h.bins.assign(size_t(bins), 0);
    for (const double v : readings) {
        const qsizetype bin = binOf(v, double(bins - 1));
        ++h.bins[size_t(bin)];
    }
    return h;
}

} // namespace quadtherm::graphs
