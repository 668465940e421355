#include "session/session_view.h"

namespace quadtherm::session {

ChannelSetup channelSetupOf(const shared::RunState& state, int k) {
    const auto& live = state.live;
    ChannelSetup setup;
    setup.TypeLetter = live.TypeLetter[k];
    setup.ProbePresent = live.ProbePresent[k];
    setup.ScaleMinC = live.ScaleMinC[k];
    setup.ScaleMaxC = live.ScaleMaxC[k];
    setup.ScaleMinF = live.ScaleMinF[k];
    setup.ScaleMaxF = live.ScaleMaxF[k];
    setup.AlarmSetpointC = state.alarms.AlarmSetpointC[k];
    setup.AlarmSetpointF = state.alarms.AlarmSetpointF[k];
    return setup;
}

ChannelsSetup channelsSetupOf(const shared::RunState& state) {
    ChannelsSetup setup;
    setup.MeterFahrenheit = state.live.MeterFahrenheit;
    setup.UnitText = state.live.UnitText;
    for (int k = 0; k < shared::kChannels; ++k)
        setup.channels[k] = channelSetupOf(state, k);
    return setup;
}

shared::PerChannel<QString> typeLetters(const ChannelsSetup& setup) {
    shared::PerChannel<QString> letters;
    for (int k = 0; k < shared::kChannels; ++k)
        letters[k] = setup.channels[k].TypeLetter;
    return letters;
}

} // namespace quadtherm::session
