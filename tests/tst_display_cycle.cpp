// The once-a-second cycle's display half: the interval gate, what each
// channel shows and charts, and the history.

#include "session/display_cycle.h"
#include "support/test_suite.h"

#include <QTest>

namespace tst_display_cycle {

using namespace quadtherm;
using session::AlarmShow;

namespace {

// Channel 0 reads 100.0 °C / 212.0 °F on a K thermocouple.
shared::RunState readingState() {
    shared::RunState state;
    auto& live = state.live;
    for (int k = 0; k < shared::kChannels; ++k) {
        live.ProbePresent[k] = true;
        live.RangeMinC[k] = -200;
        live.RangeMaxC[k] = 1370;
        live.RangeMinF[k] = -328;
        live.RangeMaxF[k] = 2498;
        live.LiveValueC[k] = 100.0;
        live.LiveTextC[k] = QStringLiteral("100.0");
        live.LiveValueF[k] = 212.0;
        live.LiveTextF[k] = QStringLiteral("212.0");
        state.alarms.AlarmSetpointC[k] = 1370;
        state.alarms.AlarmSetpointF[k] = 2498;
    }
    return state;
}

} // namespace

class TestDisplayCycle : public QObject {
    Q_OBJECT
private slots:
    void cyclesRunEveryIntervalTicks_data() {
        QTest::addColumn<float>("seconds");
        QTest::addColumn<float>("startTick");
        QTest::addColumn<QList<int>>("cycleTicks");
        // At start-up the counter is 0: a cycle on every tick after the first.
        QTest::newRow("1 s from start-up") << 1.0f << 0.0f << QList<int>{2, 3, 4, 5, 6};
        // After a cycle the counter is 1.
        QTest::newRow("10 s after a cycle") << 10.0f << 1.0f << QList<int>{10, 20, 30};
        // The sampling command zeroes it: the first cycle comes N + 1 ticks later.
        QTest::newRow("3 s after the sampling command") << 3.0f << 0.0f << QList<int>{4, 7, 10};
    }
    void cyclesRunEveryIntervalTicks() {
        QFETCH(float, seconds);
        QFETCH(float, startTick);
        QFETCH(QList<int>, cycleTicks);
        shared::RunState state = readingState();
        state.recording.PcSamplingSeconds = seconds;
        state.recording.PcSamplingTick = startTick;
        QList<int> ran;
        for (int tick = 1; ran.size() < cycleTicks.size() && tick < 100; ++tick) {
            if (session::RunDisplayCycle(state)) {
                ran << tick;
                session::FinishCycle(state.recording);
            }
        }
        QCOMPARE(ran, cycleTicks);
        QCOMPARE(state.recording.HistoryCount, cycleTicks.size());
    }

    void eachChannelShowsItsFirstMatchingCase_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("over");
        QTest::addColumn<bool>("under");
        QTest::addColumn<double>("setpointC");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("charted");
        QTest::addColumn<double>("pointC");
        QTest::addColumn<double>("pointF");
        QTest::addColumn<bool>("alarm");
        QTest::newRow("no probe wins over over-range")
            << false << true << false << 0.0 << "- - -" << false << 0.0 << 0.0 << false;
        // Over and under range chart at the type's limits, never at the setpoint.
        QTest::newRow("over range")
            << true << true << false << 50.0 << "Over" << true << 1370.0 << 2498.0 << false;
        QTest::newRow("over wins over under")
            << true << true << true << 50.0 << "Over" << true << 1370.0 << 2498.0 << false;
        QTest::newRow("under range")
            << true << false << true << 50.0 << "Under" << true << -200.0 << -328.0 << false;
        QTest::newRow("below the setpoint")
            << true << false << false << 100.1 << "100.0" << true << 100.0 << 212.0 << false;
        QTest::newRow("at the setpoint blinks")
            << true << false << false << 100.0 << "100.0" << true << 100.0 << 212.0 << true;
    }
    void eachChannelShowsItsFirstMatchingCase() {
        QFETCH(bool, present);
        QFETCH(bool, over);
        QFETCH(bool, under);
        QFETCH(double, setpointC);
        QFETCH(QString, text);
        QFETCH(bool, charted);
        QFETCH(double, pointC);
        QFETCH(double, pointF);
        QFETCH(bool, alarm);
        shared::RunState state = readingState();
        state.live.ProbePresent[2] = present;
        state.live.OverRange[2] = over;
        state.live.UnderRange[2] = under;
        state.alarms.AlarmSetpointC[2] = setpointC;
        const auto shown = session::ShowChannels(state.live, state.alarms);
        QCOMPARE(shown.c[2].text, text);
        QCOMPARE(shown.c[2].point.has_value(), charted);
        QCOMPARE(shown.c[2].alarm == AlarmShow::Toggle, alarm);
        if (charted) {
            QCOMPARE(*shown.c[2].point, pointC);
            QCOMPARE(*shown.f[2].point, pointF);
        }
        QCOMPARE(shown.f[2].text, text == "100.0" ? QStringLiteral("212.0") : text);
        // The neighbours are untouched by channel 2's state.
        QCOMPARE(shown.c[1].text, QStringLiteral("100.0"));
    }

    void theFahrenheitAlarmComparesTheFahrenheitSetpoint() {
        shared::RunState state = readingState();
        state.alarms.AlarmSetpointF[0] = 200;
        const auto shown = session::ShowChannels(state.live, state.alarms);
        QVERIFY(shown.f[0].alarm == AlarmShow::Toggle);
        QVERIFY(shown.c[0].alarm == AlarmShow::Hide);
    }

    void historyKeepsEveryChartedCycleAndSkipsChannelsWithoutProbe() {
        shared::RunState state = readingState();
        state.live.ProbePresent[3] = false;
        state.recording.PcSamplingTick = 1;
        for (int cycle = 1; cycle <= 3; ++cycle) {
            state.live.LiveValueC[0] = cycle;
            state.live.LiveValueF[0] = 30 + cycle;
            QVERIFY(session::RunDisplayCycle(state));
            session::FinishCycle(state.recording);
        }
        QCOMPARE(state.history.HistoryC(0, 2), 2.0f);
        QCOMPARE(state.history.HistoryF(0, 3), 33.0f);
        QCOMPARE(state.history.HistoryC(3, 2), 0.0f);
        QCOMPARE(state.history.HistoryC(0, 0), 0.0f); // cycle 0 is never written
    }

    void aFullHistoryStopsStoringButTheCycleGoesOn() {
        shared::RunState state = readingState();
        const int capacity = 864000;
        state.recording.HistoryCount = capacity - 1;
        state.recording.PcSamplingTick = 1;
        state.live.LiveValueC[1] = 7;
        QVERIFY(session::RunDisplayCycle(state));
        QCOMPARE(state.recording.HistoryCount, capacity);
        QCOMPARE(state.history.HistoryC(1, capacity), 7.0f);
        state.live.LiveValueC[1] = 8;
        state.live.LiveTextC[1] = QStringLiteral("8.0");
        const auto shown = session::RunDisplayCycle(state);
        QVERIFY(shown);
        QCOMPARE(shown->c[1].text, QStringLiteral("8.0"));
        QCOMPARE(state.recording.HistoryCount, capacity);
        QCOMPARE(state.history.HistoryC(1, capacity), 7.0f);
    }
};

QUADTHERM_TEST_SUITE(TestDisplayCycle, Core)

} // namespace tst_display_cycle

#include "tst_display_cycle.moc"
