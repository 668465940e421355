#pragma once

#include "shared/run_state.h"

#include <QMetaType>
#include <QString>

#include <optional>

namespace quadtherm::session {

// What a channel's alarm indicator does in a cycle: hidden, or blinking
// (its visibility inverted) while the reading is at or above the setpoint.
enum class AlarmShow { Hide, Toggle };

// One channel in one unit after a recording cycle.
struct ShownChannel {
    QString text; // "- - -", "Over", "Under" or the reading with one decimal
    AlarmShow alarm = AlarmShow::Hide;
    // The value charted and kept in the history; none without a probe.
    std::optional<double> point;
};

struct ShownCycle {
    shared::PerChannel<ShownChannel> c, f;
    // The cycle's date and time ("yyyy/mm/dd hh:nn:ss"), and the recording
    // as the cycle left it.
    QString timestamp;
    bool recording = false;
    qint64 recordedCount = 0;
};

// The interval gate of the once-a-second tick: true when this tick runs a
// cycle; otherwise the tick is counted.
bool PassIntervalGate(shared::RecordingState& recording);

// What every channel shows, from the latest decoded reading. Over and under
// range chart at the type's range limits.
ShownCycle ShowChannels(const shared::LiveState& live, const shared::AlarmState& alarms);

// A cycle's display half: gate, history count, what to show and the history
// stores. Nothing when the gate holds. Once the history is full it stops
// storing and keeps its count at the capacity; the rest of the cycle goes on.
std::optional<ShownCycle> RunDisplayCycle(shared::RunState& state);

// The cycle's last step: the next cycle comes a full interval later.
inline void FinishCycle(shared::RecordingState& recording) {
    recording.PcSamplingTick = 1.0f;
}

} // namespace quadtherm::session

Q_DECLARE_METATYPE(quadtherm::session::ShownCycle)
