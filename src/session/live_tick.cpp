#include "session/live_tick.h"

#include "meter_link/live_reading.h"

namespace quadtherm::session {

namespace {

constexpr int kStatusEveryTicks = 100;

// Why a wait of the tick ended early.
TickOutcome endedEarly(const meter_link::MeterProtocol& protocol) {
    return protocol.interrupted() ? TickOutcome::Interrupted : TickOutcome::Stopped;
}

TickOutcome resync(meter_link::MeterProtocol& protocol) {
    protocol.ResyncMeter();
    return protocol.stopped() ? endedEarly(protocol) : TickOutcome::Resynced;
}

} // namespace

TickOutcome LiveTick(meter_link::MeterProtocol& protocol, shared::RunState& state) {
    auto& link = state.link;
    if (link.NeedResync)
        return resync(protocol);
    if (++link.PollCount >= kStatusEveryTicks) {
        if (!protocol.QueryStatus())
            return endedEarly(protocol); // the next tick asks again
        link.PollCount = 0;
    }
    const auto frame = protocol.readReadingFrame();
    if (protocol.stopped())
        return endedEarly(protocol);
    if (!frame)
        return resync(protocol);
    meter_link::DecodeFrame(state.live, *frame);
    if (!ConfigurationChanged(state.live))
        return TickOutcome::Stable;
    meter_link::SetRanges(state.live, state.live.CurrentChannel);
    return TickOutcome::Changed;
}

bool ConfigurationChanged(const shared::LiveState& live) {
    if (live.UnitText != live.PrevUnitText)
        return true;
    for (int k = 0; k < shared::kChannels; ++k)
        if (live.ProbePresent[k] != live.PrevProbePresent[k] ||
            live.TypeCode[k] != live.PrevTypeCode[k])
            return true;
    return false;
}

void AcceptConfiguration(shared::RunState& state) {
    auto& live = state.live;
    live.PrevProbePresent = live.ProbePresent;
    live.PrevTypeCode = live.TypeCode;
    live.PrevUnitText = live.UnitText;
    state.recording.HistoryCount = 0;
}

} // namespace quadtherm::session
