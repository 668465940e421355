#include "graphs/file_series.h"

#include "graphs/histogram.h"
#include "recording/file_column.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

namespace quadtherm::graphs {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kColumns = recording::kDataFileColumns;

// The data file's six-value rule (see recording::splitSixValues), on the
// bytes: a plot of 320,000 lines cannot afford five decoded strings a line.
bool splitCells(QByteArrayView line, std::array<QByteArrayView, kColumns>& cells) {
    qsizetype rest = 0;
    const qsizetype length = line.size();
    for (int col = 0; col < kColumns; ++col) {
        const qsizetype tab = rest < length ? line.indexOf('\t', rest) : -1;
        if (tab < 0)
            return false;
        cells[size_t(col)] = line.sliced(rest, tab - rest);
        if (tab != length - 1)
            rest = tab + 1;
    }
    return true;
}

int digits(QByteArrayView text, qsizetype at, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Days from 1970/01/01 to a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(qint64 y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int daysInMonth(int y, int m) {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[size_t(m - 1)];
}

} // namespace

std::optional<double> clockSeconds(QByteArrayView text) {
    if (text.size() != 19 || text[4] != '/' || text[7] != '/' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const int y = digits(text, 0, 4), mo = digits(text, 5, 2), d = digits(text, 8, 2);
    const int h = digits(text, 11, 2), mi = digits(text, 14, 2), s = digits(text, 17, 2);
    if (y < 0 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h < 0 || h > 23 ||
        mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    return double(daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s);
}

QString timeAxisFormat(double seconds) {
    if (seconds < 120)
        return QStringLiteral("hh:mm:ss");
    if (seconds < 2 * 86400)
        return QStringLiteral("hh:mm");
    return QStringLiteral("MM/dd\nhh:mm");
}

FileSeries fileSeries(const recording::DataFileLines& lines) {
    FileSeries series;
    if (lines.count() == 0)
        return series;
    const recording::SixValues heading = lines.values(0);
    series.celsius = recording::isCelsiusHeading(heading[0]);
    for (int k = 0; k < shared::kChannels; ++k)
        series.headings[k] = heading[size_t(k + 2)];

    const qsizetype records = lines.count() - 1;
    series.times.reserve(size_t(records));
    for (auto& values : series.values)
        values.reserve(size_t(records));
    std::array<QByteArrayView, kColumns> cells;
    for (qsizetype i = 1; i < lines.count(); ++i) {
        std::optional<double> when;
        if (splitCells(lines.line(i), cells))
            when = clockSeconds(cells[1]);
        if (!when) {
            ++series.undatedLines;
            continue;
        }
        series.times.push_back(*when);
        for (int k = 0; k < shared::kChannels; ++k) {
            const auto reading = readingValue(cells[size_t(k + 2)]);
            series.values[k].push_back(reading.value_or(kNaN));
            series.readings[k] += reading.has_value();
        }
    }

    // A file written by one recording is in time order; one whose clock was
    // set back is put in order, so that each instant keeps its readings.
    if (!std::is_sorted(series.times.begin(), series.times.end())) {
        std::vector<size_t> order(series.times.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return series.times[a] < series.times[b]; });
        const auto reorder = [&order](std::vector<double>& v) {
            std::vector<double> sorted(v.size());
            for (size_t i = 0; i < order.size(); ++i)
                sorted[i] = v[order[i]];
            v.swap(sorted);
        };
        reorder(series.times);
        for (auto& values : series.values)
            reorder(values);
    }
    return series;
}

} // namespace quadtherm::graphs
