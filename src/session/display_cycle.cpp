#include "session/display_cycle.h"

namespace quadtherm::session {

bool PassIntervalGate(shared::RecordingState& recording) {
    if (recording.PcSamplingTick < recording.PcSamplingSeconds) {
        recording.PcSamplingTick += 1.0f;
        return false;
    }
    return true;
}

namespace {

ShownChannel reading(const QString& text, double value, double setpoint) {
    return {text, value < setpoint ? AlarmShow::Hide : AlarmShow::Toggle, value};
}

} // namespace

ShownCycle ShowChannels(const shared::LiveState& live, const shared::AlarmState& alarms) {
    ShownCycle shown;
    for (int k = 0; k < shared::kChannels; ++k) {
        auto& c = shown.c[k];
        auto& f = shown.f[k];
        if (!live.ProbePresent[k]) {
            c = f = {QStringLiteral("- - -"), AlarmShow::Hide, std::nullopt};
        } else if (live.OverRange[k]) {
            c = {QStringLiteral("Over"), AlarmShow::Hide, live.RangeMaxC[k]};
            f = {QStringLiteral("Over"), AlarmShow::Hide, live.RangeMaxF[k]};
        } else if (live.UnderRange[k]) {
            c = {QStringLiteral("Under"), AlarmShow::Hide, live.RangeMinC[k]};
            f = {QStringLiteral("Under"), AlarmShow::Hide, live.RangeMinF[k]};
        } else {
            c = reading(live.LiveTextC[k], live.LiveValueC[k], alarms.AlarmSetpointC[k]);
            f = reading(live.LiveTextF[k], live.LiveValueF[k], alarms.AlarmSetpointF[k]);
        }
    }
    return shown;
}

std::optional<ShownCycle> RunDisplayCycle(shared::RunState& state) {
    auto& recording = state.recording;
    if (!PassIntervalGate(recording))
        return std::nullopt;
    const bool room = recording.HistoryCount < shared::History::kCapacity;
    if (room)
        ++recording.HistoryCount;
    ShownCycle shown = ShowChannels(state.live, state.alarms);
    for (int k = 0; room && k < shared::kChannels; ++k)
        if (shown.c[k].point && shown.f[k].point)
            state.history.store(k, recording.HistoryCount, static_cast<float>(*shown.c[k].point),
                                static_cast<float>(*shown.f[k].point));
    return shown;
}

} // namespace quadtherm::session
