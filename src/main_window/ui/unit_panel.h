#pragma once

#include "session/display_cycle.h"
#include "shared/live_state.h"
#include "widgets/time_axis.h"

#include <QFrame>
#include <QString>

class QAction;
class QLabel;

namespace quadtherm::shared {
class Clock;
}

namespace quadtherm::widgets {
class KnobGauge;
class NumericEdit;
class StripChart;
} // namespace quadtherm::widgets

namespace quadtherm::main_window {

// One unit panel of the main window (`PicC` for °C, `PicF` for °F): a card
// per channel with its name, type letter, blinking alarm indicator, value,
// strip chart, and the alarm setpoint as a knob and an edit box that always
// show the same value. The charts read their X axis in time from the
// recording interval, before now or on the clock as their context menu
// chooses, their Y axis in the panel's unit, and draw the setpoint.
class UnitPanel : public QFrame {
    Q_OBJECT
public:
    // `prefix` is "C" or "F"; `setpoints` is the unit's setpoint array, which
    // the knobs and edit boxes keep up to date.
    UnitPanel(const QString& prefix, const QString& unitSymbol,
              shared::PerChannel<double>& setpoints, QWidget* parent = nullptr);

    // Display set-up of one channel: chart cleared with X 1 to 300, type
    // letter, knob and edit box limits and the stored setpoint.
    void setUpChannel(int k, const QString& typeLetter, double scaleMin, double scaleMax);
    // Values, indicators and charts emptied while the link is down.
    void clearReadings();
    // A recording cycle: each channel's value, its alarm indicator hidden or
    // blinking, and the point added to its chart.
    void showCycle(const shared::PerChannel<session::ShownChannel>& channels);

    // The recording interval the charts' points are apart. Points taken at
    // another interval are cleared, so the axis never dates them wrongly.
    void setChartInterval(int seconds);
    // How the charts' time axis reads (the context menu offers both).
    void setChartTimeMode(widgets::TimeAxisMode mode);
    // The clock that dates each cycle's points for the clock-time axis.
    void setChartClock(const shared::Clock& clock) { m_clock = &clock; }

    // The control arrays, indexed by channel.
    shared::PerChannel<widgets::StripChart*> CWG{};
    shared::PerChannel<QLabel*> LblType{};
    shared::PerChannel<widgets::KnobGauge*> CWK{};
    shared::PerChannel<widgets::NumericEdit*> CWE{};
    shared::PerChannel<QLabel*> LblValue{};
    shared::PerChannel<QLabel*> LblAlarm{};
    shared::PerChannel<QLabel*> LblTChanel{};
    shared::PerChannel<QLabel*> LblCF{};

Q_SIGNALS:
    // A chart was clicked: the channel's graph is asked for.
    void chartClicked(int channel);
    // The channel's stored setpoint took a new value.
    void setpointChanged(int channel, double value);
    // The user chose how the charts' time axis reads.
    void chartTimeModeChosen(widgets::TimeAxisMode mode);

private:
    QWidget* makeCard(int k, const QString& prefix, const QString& unitSymbol);
    void CWE_ValueChanged(int index, double value);
    void CWK_PointerValueChanged(int index, int pointer, double value);

    shared::PerChannel<double>& m_setpoints;
    bool m_syncing = false;
    const shared::Clock* m_clock = nullptr;
    int m_chartInterval = 1;
    widgets::TimeAxisMode m_chartMode = widgets::TimeAxisMode::BeforeNow;
    QAction* m_beforeNow = nullptr;
    QAction* m_clockTime = nullptr;
};

} // namespace quadtherm::main_window
