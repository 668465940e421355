// The graphs' rules without a window: the type scale table, the column
// loader's number rule, what counts as a reading, the histogram's figures, the
// figures of the samples in view, the cursor read-out, the real-time chart's
// sweep and scale labels, and a data file read as four series against its
// clock. The track modes and the Limit panel are checked on their windows.

#include "graphs/figure_text.h"
#include "graphs/file_series.h"
#include "graphs/fit_range.h"
#include "graphs/histogram.h"
#include "graphs/nice_numbers.h"
#include "graphs/sample_stats.h"
#include "graphs/sweep_chart.h"
#include "graphs/track_mode.h"
#include "graphs/type_scale.h"
#include "recording/file_column.h"
#include "support/test_suite.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>
#include <numeric>

namespace tst_graph_rules {

using namespace quadtherm;

namespace {

QByteArray dataFile(const QList<QByteArray>& lines) {
    QByteArray text;
    for (const QByteArray& line : lines)
        text += line + "\r\n";
    return text;
}

} // namespace

class TestGraphRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void typeScaleFollowsTheTable_data() {
        QTest::addColumn<QString>("letter");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        // The table restated, both units.
        const struct {
            const char* letter;
            double minC, maxC, minF, maxF;
        } table[] = {
            {"K", -200, 1370, -328, 2498}, {"J", -200, 1000, -328, 1832},
            {"E", -200, 760, -328, 1400},  {"T", -200, 400, -328, 752},
            {"R", 0, 1600, 32, 2912},      {"S", 0, 1600, 32, 2912},
            {"N", -200, 1300, -328, 2372}, {"L", -200, 900, -328, 1652},
            {"U", -200, 600, -328, 1112},  {"B", 600, 1820, 1112, 3308},
            {"C", 0, 2310, 32, 4190},
        };
        for (const auto& row : table) {
            QTest::addRow("%s °C", row.letter) << row.letter << false << row.minC << row.maxC;
            QTest::addRow("%s °F", row.letter) << row.letter << true << row.minF << row.maxF;
        }
    }
    void typeScaleFollowsTheTable() {
        QFETCH(QString, letter);
        QFETCH(bool, fahrenheit);
        QFETCH(double, min);
        QFETCH(double, max);
        const graphs::PlotScale scale = graphs::typeScale(letter, fahrenheit, {-1, -1});
        QCOMPARE(scale.PlotYMin, min);
        QCOMPARE(scale.PlotYMax, max);
    }

    void letterOutsideTheTableKeepsThePreviousScale_data() {
        QTest::addColumn<QString>("letter");
        QTest::newRow("no letter (type codes 11 to 15)") << QString();
        QTest::newRow("lower case") << QStringLiteral("k");
        QTest::newRow("unknown") << QStringLiteral("X");
        QTest::newRow("two letters") << QStringLiteral("KJ");
    }
    void letterOutsideTheTableKeepsThePreviousScale() {
        QFETCH(QString, letter);
        const graphs::PlotScale first = graphs::typeScale(letter, false, {});
        QCOMPARE(first.PlotYMin, 0.0);
        QCOMPARE(first.PlotYMax, 0.0);
        const graphs::PlotScale kept = graphs::typeScale(letter, true, {-328, 2498});
        QCOMPARE(kept.PlotYMin, -328.0);
        QCOMPARE(kept.PlotYMax, 2498.0);
    }

    void columnLoaderTakesTheLeadingNumber_data() {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<float>("value");
        QTest::newRow("reading") << "23.4" << 23.4f;
        QTest::newRow("negative tenths") << "-.5" << -0.5f;
        QTest::newRow("Over") << "Over" << 0.0f;
        QTest::newRow("Under") << "Under" << 0.0f;
        QTest::newRow("no probe") << "- - -" << 0.0f;
        QTest::newRow("number then text") << "-12.5x" << -12.5f;
        QTest::newRow("blanks first") << "  7" << 7.0f;
        QTest::newRow("empty") << "" << 0.0f;
    }
    void columnLoaderTakesTheLeadingNumber() {
        QFETCH(QString, cell);
        QFETCH(float, value);
        QCOMPARE(recording::plotValue(cell), value);
    }

    void onlyANumberIsAReading_data() {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("reading");
        QTest::addColumn<double>("value");
        QTest::newRow("tenths") << "23.4" << true << 23.4;
        QTest::newRow("negative without zero") << "-.5" << true << -0.5;
        QTest::newRow("whole") << "1370" << true << 1370.0;
        QTest::newRow("blanks around") << " 12.5 " << true << 12.5;
        QTest::newRow("Over") << "Over" << false << 0.0;
        QTest::newRow("Under") << "Under" << false << 0.0;
        QTest::newRow("no probe") << "- - -" << false << 0.0;
        QTest::newRow("a sign alone") << "-" << false << 0.0;
        QTest::newRow("two points") << "12.3.4" << false << 0.0;
        QTest::newRow("exponent") << "1e3" << false << 0.0;
        QTest::newRow("number then text") << "12x" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
    }
    void onlyANumberIsAReading() {
        QFETCH(QString, cell);
        QFETCH(bool, reading);
        QFETCH(double, value);
        const auto fromText = graphs::readingValue(QStringView(cell));
        const QByteArray bytes = cell.toLatin1();
        const auto fromBytes = graphs::readingValue(QByteArrayView(bytes));
        QCOMPARE(fromText.has_value(), reading);
        QCOMPARE(fromBytes.has_value(), reading);
        if (reading) {
            QCOMPARE(*fromText, value);
            QCOMPARE(*fromBytes, value);
        }
    }

    void histogramFiguresOfAHandComputedColumn() {
        // 141.8 / 7 = 20.2571428…; the squared deviations add up to
        // 0.937142857…, over 6 is 0.156190476…, whose root is 0.39520941.
        const graphs::HistogramFigures h =
            graphs::histogramOf({20.0, 20.1, 20.1, 20.3, 21.0, 19.8, 20.5}, 3);
        QCOMPARE(h.count, 7);
        QCOMPARE(h.notReadings, 3);
        QCOMPARE(h.minimum, 19.8);
        QCOMPARE(h.maximum, 21.0);
        QVERIFY(std::abs(h.mean - 20.2571428571) < 1e-9);
        QVERIFY(std::abs(h.standardDeviation - 0.3952094080) < 1e-9);
        // A span of 1.2 in about five bins: half a degree wide, edges
        // halfway between two tenths.
        QCOMPARE(h.binWidth, 0.5);
        QVERIFY(std::abs(h.binStart - 19.45) < 1e-9);
        QCOMPARE(h.bins, (std::vector<qsizetype>{1, 4, 1, 1}));
    }

    void histogramOfNothingOrOneReading() {
        const graphs::HistogramFigures none = graphs::histogramOf({}, 5);
        QCOMPARE(none.count, 0);
        QCOMPARE(none.notReadings, 5);
        QVERIFY(none.bins.empty());
        const graphs::HistogramFigures one = graphs::histogramOf({-12.5});
        QCOMPARE(one.count, 1);
        QCOMPARE(one.mean, -12.5);
        QCOMPARE(one.standardDeviation, 0.0);
        QCOMPARE(one.bins, std::vector<qsizetype>{1});
    }

    void histogramOfReadingsAtTheEndsOfTheDoubleRange() {
        // Their span is infinite: still a bounded number of bins, each
        // reading in one of them.
        const graphs::HistogramFigures h = graphs::histogramOf({-1e308, 0, 1e308});
        QVERIFY(!h.bins.empty() && h.bins.size() <= 240);
        QCOMPARE(std::accumulate(h.bins.begin(), h.bins.end(), qsizetype(0)), 3);
    }

    void histogramBinsOfTenthsHoldWholeTenths() {
        // 2000 readings over 20.0 … 29.9: every bin is a whole number of
        // tenths wide and holds as many of them as the next.
        std::vector<double> readings;
        for (int i = 0; i < 2000; ++i)
            readings.push_back(20.0 + (i % 100) / 10.0);
        const graphs::HistogramFigures h = graphs::histogramOf(readings);
        const double tenths = h.binWidth / 0.1;
        QVERIFY(std::abs(tenths - std::round(tenths)) < 1e-9);
        for (size_t i = 0; i + 1 < h.bins.size(); ++i)
            QCOMPARE(h.bins[i], qsizetype(20 * std::lround(tenths)));
        QCOMPARE(std::accumulate(h.bins.begin(), h.bins.end(), qsizetype(0)), 2000);
    }

    void figuresInViewMatchACountByHand() {
        QVector<float> values;
        auto* random = QRandomGenerator::global();
        for (int i = 0; i < 5000; ++i)
            values.append(float(random->bounded(-2000, 14000)) / 10.0f);
        const graphs::SampleStats stats(values);
        const QList<std::pair<double, double>> views{
            {1, 5000},     {0.5, 5000.5}, {-100, 1e9},    {1.2, 1.8},     {2, 2},
            {511, 1025.4}, {512, 513},    {1000.3, 4097}, {4999.9, 6000}, {6000, 7000},
        };
        for (const auto& [lower, upper] : views) {
            graphs::RangeFigures expected;
            double sum = 0;
            for (int x = 1; x <= values.size(); ++x) {
                if (x < lower || x > upper)
                    continue;
                const double v = values[x - 1];
                expected.minimum = expected.count ? std::min(expected.minimum, v) : v;
                expected.maximum = expected.count ? std::max(expected.maximum, v) : v;
                ++expected.count;
                sum += v;
            }
            const graphs::RangeFigures got = stats.over(lower, upper);
            const QByteArray where = QByteArray::number(lower) + " to " + QByteArray::number(upper);
            QVERIFY2(got.count == expected.count, where.constData());
            if (expected.count == 0)
                continue;
            QVERIFY2(got.minimum == expected.minimum, where.constData());
            QVERIFY2(got.maximum == expected.maximum, where.constData());
            QVERIFY2(std::abs(got.mean - sum / double(expected.count)) < 1e-9, where.constData());
        }
    }

    // Found in testing: the histogram showed a maximum of 1e26 as
    // "100000000000000004764729344.0".
    void figuresReadAtAGlanceWhateverTheirSize_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, double value, int decimals, const char* text) {
            QTest::newRow(name) << value << decimals << QString::fromLatin1(text);
        };
        row("a reading", 1370.0, 1, "1370.0");
        row("a mean", 20.2571, 2, "20.26");
        row("zero", 0.0, 2, "0.00");
        row("negative zero", -0.0, 1, "0.0");
        row("a count", 7.0, 0, "7");
        row("just below 1e9", 999999999.9, 1, "999999999.9");
        row("rounds up to 1e9", 999999999.96, 1, "1.00e+09");
        row("1e9", 1e9, 1, "1.00e+09");
        row("1e26", 1e26, 1, "1.00e+26");
        row("-1e26", -1e26, 2, "-1.00e+26");
        row("a count of 1e9", 1e9, 0, "1.00e+09");
        row("the largest double", 1.7976931348623157e308, 1, "1.80e+308");
        row("shows in the decimals", 0.05, 1, "0.1");
        row("too small for the decimals", 0.004, 2, "4.00e-03");
        row("negative and too small", -0.001, 1, "-1.00e-03");
        row("the smallest double", 4.9406564584124654e-324, 2, "4.94e-324");
        row("infinite", std::numeric_limits<double>::infinity(), 1, "inf");
        row("minus infinite", -std::numeric_limits<double>::infinity(), 1, "-inf");
        row("not a number", std::numeric_limits<double>::quiet_NaN(), 1, "nan");
    }
    void figuresReadAtAGlanceWhateverTheirSize() {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QTEST(graphs::figureText(value, decimals), "text");
    }

    void cursorReadoutTexts_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        const auto row = [](const char* name, double value, const char* x, const char* y) {
            QTest::newRow(name) << value << QString::fromLatin1(x) << QString::fromLatin1(y);
        };
        row("middle of 1 … 864000", 432000.5, "432000.5", "432000.5");
        row("whole", 300.0, "300", "300.0");
        row("rounded", 12.3456, "12.35", "12.3");
        row("negative zero", -0.001, "0", "0.0");
        row("negative", -12.55, "-12.55", "-12.6");
        row("large, no exponent", 8640000.0, "8640000", "8640000.0");
    }
    void cursorReadoutTexts() {
        QFETCH(double, value);
        QFETCH(QString, x);
        QFETCH(QString, y);
        QCOMPARE(graphs::cursorXText(value), x);
        QCOMPARE(graphs::cursorYText(value), y);
    }

    void sweepOfSixtyCountsWrapsEverySixtyTicks_data() {
        QTest::addColumn<float>("width");
        QTest::newRow("500") << 500.0f;
        QTest::newRow("737.4") << 737.4f;
        QTest::newRow("1013.37") << 1013.37f;
        QTest::newRow("333.33") << 333.33f;
    }
    void sweepOfSixtyCountsWrapsEverySixtyTicks() {
        QFETCH(float, width);
        graphs::SweepChart chart;
        chart.ChartWidth = width;
        chart.setCounts(60);
        QCOMPARE(chart.counts(), 60);
        QList<int> wraps;
        for (int tick = 1; tick <= 600; ++tick)
            if (chart.advance())
                wraps.append(tick);
        QCOMPARE(wraps, (QList<int>{60, 120, 180, 240, 300, 360, 420, 480, 540, 600}));
        QCOMPARE(chart.ChartX(), 0.0);
    }

    void sweepOfTheMostCountsWrapsOnTheLastTick() {
        // Summing 864000 steps in single precision would drift by dozens of
        // ticks; the sweep counts them.
        graphs::SweepChart chart;
        chart.ChartWidth = 777.7f;
        chart.setCounts(864000);
        int tick = 0;
        while (!chart.advance() && tick < 900000)
            ++tick;
        QCOMPARE(tick + 1, 864000);
    }

    void sweepStartsOneUnitATickAndKeepsItsPlaceOnNewCounts() {
        graphs::SweepChart chart;
        chart.ChartWidth = 600;
        QCOMPARE(chart.ChartStep(), 1.0f);
        QCOMPARE(chart.counts(), 600);
        for (int i = 0; i < 150; ++i)
            QVERIFY(!chart.advance());
        QCOMPARE(chart.ChartX(), 150.0);
        chart.setCounts(60); // 10 units a tick from where the sweep is
        QVERIFY(!chart.advance());
        QCOMPARE(chart.ChartX(), 160.0);
        int ticks = 1;
        while (!chart.advance())
            ++ticks;
        QCOMPARE(ticks + 1, 45); // (600 - 150) / 10
    }

    // #20: "Fit" shows every sample, a spike too, with a little room above
    // and below; a flat series gets a one-degree window, not its noise.
    void fitShowsEverySampleWithHeadroom_data() {
        QTest::addColumn<QList<float>>("values");
        QTest::addColumn<double>("xMax");
        QTest::addColumn<bool>("anyY");
        QTest::addColumn<double>("yMin");
        QTest::addColumn<double>("yMax");
        const float gap = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("a spike") << QList<float>{20, 21, 500, 20, 22} << 5.0 << true << 20 - 24.0
                                 << 500 + 24.0; // 5 % of 480 each side
        QTest::newRow("constant") << QList<float>(50, 25.0f) << 50.0 << true << 24.5 << 25.5;
        QTest::newRow("a tenth apart")
            << QList<float>{25.0f, 25.1f} << 2.0 << true << 24.55 << 25.55;
        QTest::newRow("gaps left out")
            << QList<float>{gap, 10, 30, gap} << 4.0 << true << 9.0 << 31.0;
        QTest::newRow("below zero") << QList<float>{-100, -300} << 2.0 << true << -310.0 << -90.0;
        QTest::newRow("one sample") << QList<float>{7} << 2.0 << true << 6.5 << 7.5;
        QTest::newRow("only gaps") << QList<float>{gap, gap, gap} << 3.0 << false << 0.0 << 0.0;
        QTest::newRow("empty") << QList<float>{} << 2.0 << false << 0.0 << 0.0;
    }
    void fitShowsEverySampleWithHeadroom() {
        QFETCH(QList<float>, values);
        QFETCH(double, xMax);
        QFETCH(bool, anyY);
        QFETCH(double, yMin);
        QFETCH(double, yMax);
        const graphs::FitRanges fit = graphs::fitRanges(values);
        QCOMPARE(fit.x.lower, 1.0);
        QCOMPARE(fit.x.upper, xMax);
        QCOMPARE(fit.y.has_value(), anyY);
        if (anyY) {
            QVERIFY2(std::abs(fit.y->lower - yMin) < 1e-4,
                     qPrintable(QString::number(fit.y->lower)));
            QVERIFY2(std::abs(fit.y->upper - yMax) < 1e-4,
                     qPrintable(QString::number(fit.y->upper)));
        }
    }

    // #20: the histogram's count axis steps in whole readings.
    void countStepsAreWhole_data() {
        QTest::addColumn<double>("rough");
        QTest::addColumn<double>("step");
        QTest::newRow("a fraction") << 0.4 << 1.0;
        QTest::newRow("one") << 1.0 << 1.0;
        QTest::newRow("just above one") << 1.2 << 2.0;
        QTest::newRow("two and a half") << 2.5 << 5.0;
        QTest::newRow("seven") << 7.0 << 10.0;
        QTest::newRow("twelve") << 12.0 << 20.0;
        QTest::newRow("forty") << 40.0 << 50.0;
        QTest::newRow("a million and one") << 1000001.0 << 2000000.0;
        QTest::newRow("nothing") << std::numeric_limits<double>::quiet_NaN() << 1.0;
    }
    void countStepsAreWhole() {
        QFETCH(double, rough);
        QFETCH(double, step);
        QCOMPARE(graphs::wholeNumberStep(rough), step);
    }

    // #20: ZoomX drags a band of the plot's full height, ZoomY one of its
    // full width: the view each will show.
    void zoomModesDrawTheBandTheyZoomTo_data() {
        QTest::addColumn<int>("zoomed");
        QTest::addColumn<QRect>("dragged");
        QTest::addColumn<QRect>("band");
        const QRect area(50, 20, 400, 300); // x 50..449, y 20..319
        QTest::newRow("ZoomX") << int(Qt::Horizontal) << QRect(QPoint(100, 80), QPoint(180, 120))
                               << QRect(QPoint(100, 20), QPoint(180, 319));
        QTest::newRow("ZoomX dragged leftwards")
            << int(Qt::Horizontal) << QRect(QPoint(180, 120), QPoint(100, 80))
            << QRect(QPoint(100, 20), QPoint(180, 319));
        QTest::newRow("ZoomY dragged upwards")
            << int(Qt::Vertical) << QRect(QPoint(180, 120), QPoint(100, 80))
            << QRect(QPoint(50, 80), QPoint(449, 120));
        QTest::newRow("ZoomY") << int(Qt::Vertical) << QRect(QPoint(100, 80), QPoint(180, 120))
                               << QRect(QPoint(50, 80), QPoint(449, 120));
        QTest::newRow("ZoomXY") << int(Qt::Horizontal | Qt::Vertical)
                                << QRect(QPoint(100, 80), QPoint(180, 120))
                                << QRect(QPoint(100, 80), QPoint(180, 120));
    }
    void zoomModesDrawTheBandTheyZoomTo() {
        QFETCH(int, zoomed);
        QFETCH(QRect, dragged);
        QFETCH(QRect, band);
        const QRect area(50, 20, 400, 300);
        QCOMPARE(graphs::zoomBand(dragged, area, Qt::Orientations(zoomed)), band);
    }

    void scaleLabelsBothEndsAndNiceStepsBetween_data() {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<int>("most");
        QTest::addColumn<QList<double>>("ticks");
        QTest::newRow("30 to 130") << 30.0 << 130.0 << 5 << QList<double>{30, 50, 70, 90, 110, 130};
        QTest::newRow("30 to 130, tall")
            << 30.0 << 130.0 << 10 << QList<double>{30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130};
        QTest::newRow("33 to 127") << 33.0 << 127.0 << 5 << QList<double>{33, 60, 80, 100, 127};
        QTest::newRow("30.5 to 31")
            << 30.5 << 31.0 << 5 << QList<double>{30.5, 30.6, 30.7, 30.8, 30.9, 31.0};
    }
    void scaleLabelsBothEndsAndNiceStepsBetween() {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(int, most);
        QFETCH(QList<double>, ticks);
        const std::vector<double> got = graphs::scaleTicks(lower, upper, most);
        QCOMPARE(qsizetype(got.size()), ticks.size());
        for (size_t i = 0; i < got.size(); ++i)
            QVERIFY2(std::abs(got[i] - ticks[qsizetype(i)]) < 1e-9,
                     qPrintable(QString::number(got[i])));
    }

    void scaleOfAnImpossibleRangeHasNoTicks() {
        QVERIFY(graphs::scaleTicks(130, 30, 5).empty());
        QVERIFY(graphs::niceTicks(-1e308, 1e308, 5).empty());
        QVERIFY(graphs::niceTicks(0, qInf(), 5).empty());
    }

    void clockTimesOfTheDateTimeColumn_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("a record") << QByteArray("2026/03/04 09:05:07") << true;
        QTest::newRow("leap day") << QByteArray("2024/02/29 23:59:59") << true;
        QTest::newRow("new year") << QByteArray("2000/01/01 00:00:00") << true;
        QTest::newRow("no leap day") << QByteArray("2023/02/29 00:00:00") << false;
        QTest::newRow("month 13") << QByteArray("2026/13/01 00:00:00") << false;
        QTest::newRow("hour 24") << QByteArray("2026/03/04 24:00:00") << false;
        QTest::newRow("dashes") << QByteArray("2026-03-04 09:05:07") << false;
        QTest::newRow("short") << QByteArray("2026/03/04 09:05") << false;
        QTest::newRow("letters") << QByteArray("2026/O3/04 09:05:07") << false;
        QTest::newRow("heading") << QByteArray("Date Time") << false;
    }
    void clockTimesOfTheDateTimeColumn() {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        const auto seconds = graphs::clockSeconds(text);
        QCOMPARE(seconds.has_value(), valid);
        if (valid) {
            const QDateTime expected = QDateTime::fromString(QString::fromLatin1(text),
                                                             QStringLiteral("yyyy/MM/dd HH:mm:ss"));
            QVERIFY(expected.isValid());
            QCOMPARE(
                *seconds,
                double(QDateTime(expected.date(), expected.time(), Qt::UTC).toSecsSinceEpoch()));
        }
    }

    void fileSeriesLeavesGapsForWhatIsNotAReading() {
        // Issue 13: "Over", "Under" and "- - -" are gaps, not zeros.
        const recording::DataFileLines lines(dataFile({
            "\xB0"
            "F\tDate Time\tT1 - K\tT2 - J\tT3 - T\tT4 - E\t",
            "1\t2026/03/04 09:05:07\t72.5\tOver\t- - -\t-12.5\t",
            "2\t2026/03/04 09:05:08\t72.7\t80.1\t- - -\tUnder\t",
            "3\tnot a time\t1\t2\t3\t4\t",
            "4\t2026/03/04 09:05:10\t73.0\t80.4\t- - -\t-11.0\t",
        }));
        const graphs::FileSeries series = graphs::fileSeries(lines);
        QVERIFY(!series.celsius);
        QCOMPARE(series.headings[0], QStringLiteral("T1 - K"));
        QCOMPARE(series.headings[3], QStringLiteral("T4 - E"));
        QCOMPARE(series.undatedLines, 1);
        QCOMPARE(series.times.size(), size_t(3));
        QCOMPARE(series.times[1] - series.times[0], 1.0);
        QCOMPARE(series.times[2] - series.times[0], 3.0);
        QCOMPARE(series.values[0], (std::vector<double>{72.5, 72.7, 73.0}));
        QVERIFY(std::isnan(series.values[1][0]));
        QCOMPARE(series.values[1][1], 80.1);
        for (const double v : series.values[2])
            QVERIFY(std::isnan(v));
        QCOMPARE(series.values[3][0], -12.5);
        QVERIFY(std::isnan(series.values[3][1]));
        QCOMPARE(series.readings, (shared::PerChannel<qsizetype>{3, 2, 0, 2}));
    }

    void fileSeriesPutsAClockSetBackInOrder() {
        const recording::DataFileLines lines(dataFile({
            "\xB0"
            "C\tDate Time\tT1 - K\tT2 - K\tT3 - K\tT4 - K\t",
            "1\t2026/03/04 10:00:00\t1.0\t1.0\t1.0\t1.0\t",
            "2\t2026/03/04 09:00:00\t2.0\t2.0\t2.0\t2.0\t",
            "3\t2026/03/04 10:00:00\t3.0\t3.0\t3.0\t3.0\t",
        }));
        const graphs::FileSeries series = graphs::fileSeries(lines);
        QVERIFY(series.celsius);
        QVERIFY(std::is_sorted(series.times.begin(), series.times.end()));
        // Each instant keeps its readings, records of one instant their order.
        QCOMPARE(series.values[2], (std::vector<double>{2.0, 1.0, 3.0}));
    }
};

QUADTHERM_TEST_SUITE(TestGraphRules, Core)

} // namespace tst_graph_rules

#include "tst_graph_rules.moc"
