#include "support/test_suite.h"
#include "widgets/knob_gauge.h"
#include "widgets/knob_scale.h"
#include "widgets/numeric_edit.h"
#include "widgets/strip_chart.h"
#include "widgets/time_axis.h"

#include <QContextMenuEvent>
#include <QDoubleSpinBox>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <qcustomplot.h>

#include <cmath>
#include <limits>

namespace tst_instrument_widgets {

using namespace quadtherm::widgets;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

QList<double> keysOf(const StripChart& chart) {
    QList<double> keys;
    for (auto it = chart.graph()->data()->constBegin(); it != chart.graph()->data()->constEnd();
         ++it)
        keys.append(it->key);
    return keys;
}

QPointF xSpan(const StripChart& chart) {
    return {chart.xLower(), chart.xUpper()};
}

QPointF ySpan(const StripChart& chart) {
    return {chart.yLower(), chart.yUpper()};
}

using Ticks = QList<QPair<double, QString>>;

Ticks ticksOf(const std::vector<TimeTick>& ticks) {
    Ticks list;
    for (const TimeTick& tick : ticks)
        list.append({tick.x, tick.label});
    return list;
}

// Positions to a millionth of a point, labels exactly.
bool sameTicks(const Ticks& actual, const Ticks& expected) {
    if (actual.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < actual.size(); ++i)
        if (std::abs(actual[i].first - expected[i].first) > 1e-6 ||
            actual[i].second != expected[i].second)
            return false;
    return true;
}

QString shown(const Ticks& ticks) {
    QStringList parts;
    for (const auto& [x, label] : ticks)
        parts.append(QStringLiteral("%1 \"%2\"").arg(x, 0, 'g', 10).arg(label));
    return parts.join(QStringLiteral(", "));
}

} // namespace

class TestInstrumentWidgets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What a user would see as wrong on a scale: ticks outside it, uneven or
    // unround steps, too many to read, a pointer that runs the wrong way, or
    // labels with floating-point noise. The exact choices are the widget's.
    void majorTicksAreFewRoundAndEvenInsideTheRange_data() {
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::newRow("0..100") << 0.0 << 100.0;
        QTest::newRow("K in °C") << -200.0 << 1370.0;
        QTest::newRow("C in °F") << 32.0 << 4190.0;
        QTest::newRow("B in °C") << 600.0 << 1820.0;
        QTest::newRow("reversed bounds") << 10.0 << 0.0;
        QTest::newRow("tenths") << 0.0 << 0.3;
        QTest::newRow("typed limits") << -12.5 << 333.3;
    }
    void majorTicksAreFewRoundAndEvenInsideTheRange() {
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        const double lo = std::min(minimum, maximum), hi = std::max(minimum, maximum);
        for (int maxTicks : {4, 7, 11}) {
            const std::vector<double> ticks = knobMajorTicks(minimum, maximum, maxTicks);
            QVERIFY(ticks.size() >= 2 && int(ticks.size()) <= maxTicks);
            const double step = ticks[1] - ticks[0];
            const double decade = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
            const double mantissa = step / decade;
            QVERIFY2(std::abs(mantissa - std::round(mantissa)) < 1e-6 &&
                         QList<double>({1, 2, 5}).contains(std::round(mantissa)),
                     qPrintable(QString::number(step)));
            for (std::size_t i = 0; i < ticks.size(); ++i) {
                QVERIFY(ticks[i] >= lo - 1e-9 && ticks[i] <= hi + 1e-9);
                if (i > 0)
                    QVERIFY(std::abs(ticks[i] - ticks[i - 1] - step) < step * 1e-6);
            }
            for (double minor : knobMinorTicks(lo, hi, step))
                QVERIFY(minor > lo - 1e-9 && minor < hi + 1e-9);
        }
    }

    void scaleWithoutFiniteBoundsHasNoTicks() {
        QVERIFY(knobMajorTicks(kNaN, 10.0, 6).empty());
        QVERIFY(knobMajorTicks(0.0, kInf, 6).empty());
        QCOMPARE(knobMajorTicks(5.0, 5.0, 6).size(), std::size_t(1));
    }

    void pointerTurnsOneWayFromTheMinimumToTheMaximum() {
        // Along the sweep: the angle falls as the value grows, and values
        // beyond the range stop at its ends, whichever way round it is given.
        for (auto [minimum, maximum] : {std::pair{0.0, 100.0}, std::pair{100.0, 0.0}}) {
            const double first = knobAngleForValue(minimum, minimum, maximum);
            const double last = knobAngleForValue(maximum, minimum, maximum);
            QCOMPARE(first - last, kKnobSweep);
            QCOMPARE(knobAngleForValue(minimum - (maximum - minimum), minimum, maximum), first);
            QCOMPARE(knobAngleForValue(maximum + (maximum - minimum), minimum, maximum), last);
        }
        double previous = knobAngleForValue(0, 0, 100);
        for (double v = 10; v <= 100; v += 10) {
            const double angle = knobAngleForValue(v, 0, 100);
            QVERIFY(angle < previous);
            previous = angle;
        }
        QCOMPARE(knobAngleForValue(kNaN, 0, 100), knobAngleForValue(0, 0, 100));
        // Dragging round and back lands where it started.
        const double start = knobFractionForAngle(90.0);
        QCOMPARE(knobDragFraction(knobDragFraction(start, 90.0, 30.0), 30.0, 90.0), start);
    }

    void userValuesLandOnTenths() {
        for (double input : {23.44, 23.46, -0.06, 99.96, -7.25})
            QCOMPARE(roundUserValue(input) * 10, std::round(input * 10));
        for (auto [minimum, maximum] : {std::pair{0.0, 100.0}, std::pair{-200.0, 1370.0},
                                        std::pair{0.0, 5.0}, std::pair{5.0, 5.0}}) {
            const double step = knobUserStep(minimum, maximum, 0.01);
            QVERIFY(step >= 0.1);
            QVERIFY(knobUserStep(minimum, maximum, 0.1) >= step);
        }
    }

    void tickLabelsCarryNoFloatingPointNoise() {
        QCOMPARE(knobTickLabel(0.30000000000000004, 0.1), QStringLiteral("0.3"));
        QCOMPARE(knobTickLabel(12.25, 0.05), QStringLiteral("12.25"));
        QCOMPARE(knobTickLabel(-0.0, 1.0), QStringLiteral("0"));
        QCOMPARE(knobTickLabel(-0.01, 0.5), QStringLiteral("0"));
        for (double big : {4190.0, 20000.0, 2.5e6})
            QVERIFY(knobTickLabel(big, big / 4).size() <= 7);
    }

    void knobClampsAndEmitsOncePerRealChange() {
        KnobGauge knob(3);
        knob.setAxisRange(0, 100);
        QSignalSpy spy(&knob, &KnobGauge::pointerValueChanged);
        knob.setValue(150);
        QCOMPARE(knob.value(), 100.0);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0), QVariantList({3, 0, 100.0}));
        knob.setValue(100);
        knob.setValue(120);
        knob.setValue(kNaN);
        QCOMPARE(spy.count(), 1);
        knob.setAxisMaximum(50);
        QCOMPARE(knob.value(), 50.0);
        QCOMPARE(spy.count(), 2);
        knob.setAxisRange(60, 20); // reversed: the value is kept inside [20, 60]
        QCOMPARE(spy.count(), 2);
        knob.setAxisRange(80, 70);
        QCOMPARE(knob.value(), 70.0);
        knob.setAxisRange(70, 70);
        knob.setAxisRange(kNaN, 10);
        QCOMPARE(knob.axisMinimum(), 70.0);
        QCOMPARE(knob.value(), 70.0);
        QCOMPARE(spy.count(), 3);
    }

    void knobKeysAndWheelStepFromTheValue() {
        KnobGauge knob;
        knob.setAxisRange(-200, 1372);
        knob.setValue(100.04);
        QTest::keyClick(&knob, Qt::Key_Up);
        QCOMPARE(knob.value(), 120.0);
        QTest::keyClick(&knob, Qt::Key_PageDown);
        QCOMPARE(knob.value(), -80.0);
        QTest::keyClick(&knob, Qt::Key_PageDown);
        QCOMPARE(knob.value(), -200.0);
        QTest::keyClick(&knob, Qt::Key_End);
        QCOMPARE(knob.value(), 1372.0);
        QWheelEvent halfNotch({50, 50}, {50, 50}, {}, {0, 60}, Qt::NoButton, {}, Qt::NoScrollPhase,
                              false);
        QApplication::sendEvent(&knob, &halfNotch);
        QCOMPARE(knob.value(), 1372.0);
        QWheelEvent down({50, 50}, {50, 50}, {}, {0, -180}, Qt::NoButton, {}, Qt::NoScrollPhase,
                         false);
        QApplication::sendEvent(&knob, &down);
        QCOMPARE(knob.value(), 1352.0); // +60 and -180 eighths of a degree: one notch down
    }

    void knobDragFollowsTheAngleAndStopsAtTheEnds() {
        KnobGauge knob;
        knob.setAxisRange(0, 100);
        knob.resize(200, 200);
        knob.show();
        QVERIFY(QTest::qWaitForWindowExposed(&knob));
        QTest::mousePress(&knob, Qt::LeftButton, {}, {100, 0});
        QVERIFY2(qAbs(knob.value() - 50) < 3, qPrintable(QString::number(knob.value())));
        QCOMPARE(std::round(knob.value() * 10), knob.value() * 10);
        // Round the left side and across the bottom: the knob stops at zero
        // instead of jumping to the maximum on the far side of the gap.
        for (QPoint pos : {QPoint(0, 100), QPoint(0, 199), QPoint(100, 199), QPoint(199, 199)})
            QTest::mouseMove(&knob, pos);
        QCOMPARE(knob.value(), 0.0);
        QTest::mouseRelease(&knob, Qt::LeftButton, {}, {199, 199});
    }

    void knobAndEditUpdatingEachOtherSettleOnOneValue() {
        KnobGauge knob(1);
        NumericEdit edit(1);
        knob.setAxisRange(0, 100);
        edit.setRange(0, 100);
        int emitted = 0;
        connect(&knob, &KnobGauge::pointerValueChanged, &edit, [&](int, int, double v) {
            ++emitted;
            edit.setValue(v);
        });
        connect(&edit, &NumericEdit::valueChanged, &knob, [&](int, double v) {
            ++emitted;
            knob.setValue(v);
        });
        auto settles = [&](auto change, double expected) {
            emitted = 0;
            change();
            return knob.value() == expected && edit.value() == expected && emitted <= 4;
        };
        QVERIFY(settles([&] { knob.setValue(33.33); }, 33.3));
        QVERIFY(settles([&] { edit.setValue(150); }, 100));
        QVERIFY(settles([&] { knob.setAxisRange(0, 50); }, 50));
        QVERIFY(settles([&] { edit.setRange(-10, 40); }, 40));
        QVERIFY(settles([&] { knob.setValue(40); }, 40));
        QCOMPARE(emitted, 0);
    }

    void knobDrawsOddRangesAtAnySize_data() {
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::newRow("equal") << 5.0 << 5.0;
        QTest::newRow("reversed") << 10.0 << 0.0;
        QTest::newRow("tiny span") << 0.0 << 1e-12;
        QTest::newRow("huge span") << -1e300 << 1e300;
        QTest::newRow("far from zero") << 1e15 << 1e15 + 1;
    }
    void knobDrawsOddRangesAtAnySize() {
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        KnobGauge knob;
        knob.setAxisRange(minimum, maximum);
        knob.setValue(maximum);
        for (QSize size : {QSize(20, 20), QSize(110, 110), QSize(300, 120)}) {
            knob.resize(size);
            QVERIFY(!knob.grab().isNull());
        }
        QCOMPARE(knob.value(), maximum);
    }

    void editTakesTypedTextOnEnterAndClampsEveryValue() {
        NumericEdit edit(2);
        edit.setRange(-200, 1372);
        edit.spinBox()->setLocale(QLocale::c());
        QSignalSpy spy(&edit, &NumericEdit::valueChanged);
        edit.spinBox()->selectAll();
        QTest::keyClicks(edit.spinBox(), "25.4");
        QCOMPARE(spy.count(), 0);
        QTest::keyClick(edit.spinBox(), Qt::Key_Return);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0), QVariantList({2, 25.4}));
        QTest::keyClick(edit.spinBox(), Qt::Key_Up);
        QCOMPARE(edit.value(), 26.4);
        edit.setValue(2000);
        edit.setValue(1372);
        edit.setValue(kNaN);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(edit.value(), 1372.0);
        edit.setMaximum(10);
        QCOMPARE(spy.count(), 4);
        QCOMPARE(edit.value(), 10.0);
    }

    // #20: the small charts counted points, so at 2 s an interval the same
    // axis silently covered ten minutes. Their X axis reads in time: how
    // long before the newest point, or the time of day it was taken.
    void timeAxisReadsTheIntervalBeforeNowOrOnTheClock_data() {
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("clockTime");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("newest");
        QTest::addColumn<Ticks>("expected");
        const QString minus = QStringLiteral("\u2212");
        // Four labels at most; the newest point taken at 14:07:25 on 4 March 2026.
        // 300 points of 1 s span 299 s: a label every 2 min.
        QTest::newRow("1 s before now")
            << 1 << false << 1.0 << 300.0 << 300.0
            << Ticks{{60, minus + "4 min"}, {180, minus + "2 min"}, {300, "now"}};
        QTest::newRow("60 s before now")
            << 60 << false << 1.0 << 300.0 << 300.0
            << Ticks{{60, minus + "4 h"}, {180, minus + "2 h"}, {300, "now"}};
        QTest::newRow("3600 s before now")
            << 3600 << false << 1.0 << 300.0 << 300.0
            << Ticks{{60, minus + "10 d"}, {180, minus + "5 d"}, {300, "now"}};
        // On the clock the labels fall on whole steps of the time of day.
        QTest::newRow("1 s clock") << 1 << true << 1.0 << 300.0 << 300.0
                                   << Ticks{{300.0 - 85 - 120, "14:04"}, {300.0 - 85, "14:06"}};
        const double sinceTwo = (7 * 60 + 25) / 60.0; // 14:00 is 7 min 25 s back
        QTest::newRow("60 s clock") << 60 << true << 1.0 << 300.0 << 300.0
                                    << Ticks{{300 - sinceTwo - 240, "10:00"},
                                             {300 - sinceTwo - 120, "12:00"},
                                             {300 - sinceTwo, "14:00"}};
        // From a day on, dates; five-day steps counted from 1 January 1970.
        const double sinceThird = (24 * 3600 + 14 * 3600 + 7 * 60 + 25) / 3600.0;
        QTest::newRow("3600 s clock") << 3600 << true << 1.0 << 300.0 << 300.0
                                      << Ticks{{300 - sinceThird - 240, "21 Feb"},
                                               {300 - sinceThird - 120, "26 Feb"},
                                               {300 - sinceThird, "3 Mar"}};
        // Filling up: the step stays that of the whole axis, and nothing is
        // labelled right of the newest point.
        QTest::newRow("half full")
            << 1 << false << 1.0 << 300.0 << 150.0 << Ticks{{30, minus + "2 min"}, {150, "now"}};
        QTest::newRow("half full, clock")
            << 1 << true << 1.0 << 300.0 << 150.0 << Ticks{{150.0 - 85, "14:06"}};
        // Scrolled on: the labels keep their places.
        QTest::newRow("scrolled") << 2 << false << 101.0 << 400.0 << 400.0
                                  << Ticks{{250, minus + "5 min"}, {400, "now"}};
    }
    void timeAxisReadsTheIntervalBeforeNowOrOnTheClock() {
        QFETCH(int, interval);
        QFETCH(bool, clockTime);
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(double, newest);
        QFETCH(Ticks, expected);
        TimeAxisView view;
        view.lower = lower;
        view.upper = upper;
        view.newestX = newest;
        view.intervalSeconds = interval;
        view.newestTime = QDateTime(QDate(2026, 3, 4), QTime(14, 7, 25));
        const Ticks ticks = ticksOf(
            timeAxisTicks(view, clockTime ? TimeAxisMode::ClockTime : TimeAxisMode::BeforeNow, 4));
        QVERIFY2(sameTicks(ticks, expected), qPrintable(shown(ticks)));
    }

    void timeAxisWithoutADateHasNoClockLabels() {
        TimeAxisView view;
        view.lower = 1;
        view.upper = 300;
        view.newestX = 300;
        QVERIFY(timeAxisTicks(view, TimeAxisMode::ClockTime, 4).empty());
        QCOMPARE(timeAxisTicks(view, TimeAxisMode::BeforeNow, 4).size(), std::size_t(3));
        // Below a minute the clock shows seconds.
        view.upper = view.newestX = 30;
        view.newestTime = QDateTime(QDate(2026, 3, 4), QTime(14, 7, 25));
        QCOMPARE(ticksOf(timeAxisTicks(view, TimeAxisMode::ClockTime, 4)),
                 (Ticks{{5, "14:07:00"}, {15, "14:07:10"}, {25, "14:07:20"}}));
    }

    // #20: the chart's own axis, as it is drawn.
    void chartLabelsItsAxisInTimeOnceItHasPoints() {
        StripChart chart;
        chart.resize(240, 120); // four labels at most
        chart.setXRange(1, 300);
        chart.setTimeAxis(TimeAxisMode::BeforeNow, 60);
        chart.setValueLabel(QStringLiteral("°F"));
        chart.plot()->replot(QCustomPlot::rpImmediateRefresh);
        QVERIFY(chart.plot()->xAxis->tickVectorLabels().isEmpty()); // nothing taken yet
        const QDateTime taken(QDate(2026, 3, 4), QTime(14, 7, 25));
        for (int i = 0; i < 300; ++i)
            chart.appendPoint(20, taken);
        chart.plot()->replot(QCustomPlot::rpImmediateRefresh);
        const QString minus = QStringLiteral("\u2212");
        QCOMPARE(chart.plot()->xAxis->tickVectorLabels(),
                 QList<QString>({minus + "4 h", minus + "2 h", "now"}));
        QCOMPARE(chart.plot()->yAxis->label(), QStringLiteral("°F"));
        chart.setTimeAxis(TimeAxisMode::ClockTime, 60);
        chart.plot()->replot(QCustomPlot::rpImmediateRefresh);
        QCOMPARE(chart.plot()->xAxis->tickVectorLabels(),
                 QList<QString>({"10:00", "12:00", "14:00"}));
        // An interval of 0 counts the points again.
        chart.setTimeAxis(TimeAxisMode::ClockTime, 0);
        chart.plot()->replot(QCustomPlot::rpImmediateRefresh);
        const QList<QString> counted = chart.plot()->xAxis->tickVectorLabels();
        QVERIFY(!counted.isEmpty());
        for (const QString& label : counted)
            QVERIFY2(QRegularExpression(QStringLiteral("^\\d+$")).match(label).hasMatch(),
                     qPrintable(label));
    }

    // #20: the alarm setpoint as a dashed line, only where the chart shows it.
    void setpointLineShowsOnlyInsideTheYRange() {
        StripChart chart;
        chart.resize(220, 110);
        chart.setXRange(1, 300);
        for (double y : {20.0, 25.0, 30.0})
            chart.appendPoint(y);
        const auto line = [&] {
            chart.plot()->replot(QCustomPlot::rpImmediateRefresh);
            for (int i = 0; i < chart.plot()->itemCount(); ++i)
                if (auto* item = qobject_cast<QCPItemStraightLine*>(chart.plot()->item(i)))
                    return item;
            return static_cast<QCPItemStraightLine*>(nullptr);
        };
        QVERIFY(line() && !line()->visible()); // no setpoint yet
        chart.setSetpoint(27.5);
        QVERIFY(line()->visible());
        QCOMPARE(line()->pen().style(), Qt::DashLine);
        QVERIFY(line()->pen().widthF() <= 1.0);
        QCOMPARE(line()->point1->coords().y(), 27.5);
        QCOMPARE(line()->point2->coords().y(), 27.5);
        QVERIFY(chart.setpointShown());
        // Beyond the autoscaled range: no line, and the range does not reach for it.
        chart.setSetpoint(1370);
        QVERIFY(!line()->visible());
        QVERIFY(!chart.setpointShown());
        QVERIFY(chart.yUpper() < 32);
        // Once the readings climb to it, it shows.
        chart.appendPoint(1400);
        QVERIFY(line()->visible());
        chart.setSetpoint(std::nullopt);
        QVERIFY(!line()->visible());
    }

    // #20, found on screen: QCustomPlot keeps a right click from its parent,
    // so the chart's context menu (its time axis choice) never opened.
    void rightClickOnThePlotReachesTheChartsContextMenu() {
        StripChart chart;
        chart.setContextMenuPolicy(Qt::CustomContextMenu);
        QSignalSpy spy(&chart, &QWidget::customContextMenuRequested);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(30, 20),
                                chart.plot()->mapToGlobal(QPoint(30, 20)));
        QApplication::sendEvent(chart.plot(), &event);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toPoint(), chart.plot()->mapTo(&chart, QPoint(30, 20)));
    }

    void appendAfterClearStartsAtTheXLowerBound() {
        StripChart chart;
        chart.setXRange(1, 300);
        for (double y : {20.0, 21.0, 22.0})
            chart.appendPoint(y);
        QCOMPARE(keysOf(chart), QList<double>({1, 2, 3}));
        chart.clear();
        QCOMPARE(chart.pointCount(), 0);
        QCOMPARE(xSpan(chart), QPointF(1, 300));
        chart.setXRange(10, 50);
        chart.appendPoint(5);
        QCOMPARE(keysOf(chart), QList<double>({10}));
    }

    void fullChartScrollsKeepingItsWidth() {
        StripChart chart;
        chart.setXRange(1, 300);
        for (int i = 0; i < 300; ++i)
            chart.appendPoint(i);
        QCOMPARE(xSpan(chart), QPointF(1, 300));
        chart.appendPoint(0);
        QCOMPARE(xSpan(chart), QPointF(2, 301));
        for (int i = 0; i < 99; ++i)
            chart.appendPoint(0);
        QCOMPARE(xSpan(chart), QPointF(101, 400));
        QCOMPARE(chart.pointCount(), 400);
        chart.setHistoryLimit(300);
        chart.appendPoint(0);
        QCOMPARE(chart.pointCount(), 300);
        QCOMPARE(keysOf(chart).first(), 102.0);
    }

    void plotArrayPlacesPointsFromFirstXByStep() {
        StripChart chart;
        chart.appendPoint(99);
        chart.plotArray({1, 2, 3}, 10, 0.5);
        QCOMPARE(keysOf(chart), QList<double>({10, 10.5, 11}));
        chart.appendPoint(4);
        QCOMPARE(keysOf(chart).last(), 12.0);
        chart.plotArray({1, 2}, kNaN, 1);
        chart.plotArray({1, 2}, 0, kInf);
        QCOMPARE(chart.pointCount(), 4);
        chart.plotArray({}, 0, 1);
        QCOMPARE(chart.pointCount(), 0);
    }

    void autoscaleFollowsFinitePointsInViewUntilYIsFixed() {
        StripChart chart;
        chart.setXRange(1, 10);
        for (double y : {20.0, kNaN, kInf, -kInf, 30.0})
            chart.appendPoint(y);
        QVERIFY(chart.yLower() < 20 && chart.yLower() > 18);
        QVERIFY(chart.yUpper() > 30 && chart.yUpper() < 32);
        // Once the spike has scrolled out, a flat trace keeps a one-degree window.
        for (int i = 0; i < 10; ++i)
            chart.appendPoint(5);
        QCOMPARE(ySpan(chart), QPointF(4.5, 5.5));
        chart.setYRange(50, 0);
        chart.appendPoint(1000);
        QCOMPARE(ySpan(chart), QPointF(0.0, 50.0));
        chart.setAutoScaleY(true);
        QVERIFY(chart.yUpper() > 1000);
        const double lower = chart.yLower();
        chart.plotArray({kNaN, kNaN}, 1, 1);
        QCOMPARE(chart.yLower(), lower);
    }

    void manyAppendsCoalesceIntoOneRedraw() {
        StripChart chart;
        int redraws = 0;
        connect(chart.plot(), &QCustomPlot::afterReplot, this, [&] { ++redraws; });
        for (int i = 0; i < 500; ++i)
            chart.appendPoint(i % 17);
        QCOMPARE(redraws, 0);
        QTRY_COMPARE(redraws, 1);
    }

    void clickCarriesTheChannelIndex() {
        StripChart chart(2);
        chart.resize(220, 110);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        QSignalSpy spy(&chart, &StripChart::clicked);
        QTest::mouseClick(chart.plot(), Qt::LeftButton, {}, {110, 50});
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 2);
        QTest::mousePress(chart.plot(), Qt::LeftButton, {}, {20, 50});
        QTest::mouseRelease(chart.plot(), Qt::LeftButton, {}, {200, 50});
        QCOMPARE(spy.count(), 1);
    }
};

QUADTHERM_TEST_SUITE(TestInstrumentWidgets, Gui)

} // namespace tst_instrument_widgets

#include "tst_instrument_widgets.moc"
