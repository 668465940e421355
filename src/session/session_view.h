#pragma once

// The copies the meter session hands to the windows: they live on the
// windows' thread, the session's state on its own.

#include "session/session_timer.h"
#include "shared/run_state.h"

#include <QMetaType>
#include <QString>

#include <functional>

namespace quadtherm::meter_link {
class MeterProtocol;
}

namespace quadtherm::session {

// What a channel's displays are set up for.
struct ChannelSetup {
    QString TypeLetter;
    bool ProbePresent = false;
    int ScaleMinC = 0, ScaleMaxC = 0, ScaleMinF = 0, ScaleMaxF = 0;
    double AlarmSetpointC = 0, AlarmSetpointF = 0;
};
ChannelSetup channelSetupOf(const shared::RunState& state, int channel);

// Every channel, and the unit the meter shows.
struct ChannelsSetup {
    bool MeterFahrenheit = false;
    QString UnitText;
    shared::PerChannel<ChannelSetup> channels;
};
ChannelsSetup channelsSetupOf(const shared::RunState& state);

// Whether the meter can take a window's command now.
enum class Availability {
    Ready,
    LinkDown, // "No COM": the link is being rebuilt
    Busy,     // a long exchange holds it: a download, a dialog between exchanges
};

// Which of the session's timers a window's work pauses, and what ending the
// pause does to each.
struct Pausing {
    bool poll = false;  // Timer1, the live poll
    bool cycle = false; // Timer2, the once-a-second cycle
    SessionTimer::Resume pollAfter = SessionTimer::Resume::Enable;
    SessionTimer::Resume cycleAfter = SessionTimer::Resume::Enable;
};

// The live poll paused; the poll and the cycle paused. Each is on again at the end.
inline Pausing pollPaused() {
    Pausing pausing;
    pausing.poll = true;
    return pausing;
}
inline Pausing pollAndCyclePaused() {
    Pausing pausing;
    pausing.poll = pausing.cycle = true;
    return pausing;
}

// The type letters of the channels, as the list headings show them.
shared::PerChannel<QString> typeLetters(const ChannelsSetup& setup);

// What an exchange runs with, on the session's thread.
struct Exchange {
    meter_link::MeterProtocol& protocol;
    shared::RunState& state;
    // Runs a function on the windows' thread: progress and partial results.
    std::function<void(std::function<void()>)> toWindows;
};

} // namespace quadtherm::session

Q_DECLARE_METATYPE(quadtherm::session::ChannelSetup)
Q_DECLARE_METATYPE(quadtherm::session::ChannelsSetup)
Q_DECLARE_METATYPE(quadtherm::session::Availability)
