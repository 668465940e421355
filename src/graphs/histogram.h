#pragma once

#include <QByteArrayView>
#include <QStringView>

#include <optional>
#include <vector>

namespace quadtherm::graphs {

// A cell that holds a reading: a number and nothing else around blanks
// ("23.4", "-.5", "1370"). "Over", "Under", "- - -" and anything else are not
// readings.
std::optional<double> readingValue(QStringView cell);
std::optional<double> readingValue(QByteArrayView cell);

// The distribution of a column's readings.
struct HistogramFigures {
    qsizetype count = 0;       // readings
    qsizetype notReadings = 0; // cells that are not
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
    // The sample standard deviation (n - 1 in the denominator); 0 for one reading.
    double standardDeviation = 0;
    // Bin i holds the readings in [binStart + i × binWidth, binStart + (i + 1) × binWidth).
    double binStart = 0;
    double binWidth = 0;
    std::vector<qsizetype> bins;
};

// Readings come in tenths of a degree, so the bins are a whole number of
// tenths wide and their edges sit halfway between two tenths: no reading
// lands on an edge, and no bin holds more of the tenths than its neighbour
// only because of where the edges fell. About √n bins, at most 60.
HistogramFigures histogramOf(const std::vector<double>& readings, qsizetype notReadings = 0);

} // namespace quadtherm::graphs
