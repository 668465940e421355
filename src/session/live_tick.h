#pragma once

#include "meter_link/meter_protocol.h"
#include "shared/run_state.h"

namespace quadtherm::session {

// What one live tick did.
enum class TickOutcome {
    Resynced, // the link was (re)built instead of reading a frame
    Stopped,  // the protocol was stopped while waiting
    // A command the user started is waiting for the tick: the tick gave up
    // its wait (a re-synchronisation starts again on the next tick).
    Interrupted,
    Stable,  // a frame was decoded and nothing about the channels changed
    Changed, // a probe, a type or the unit changed: the displays need setting up
};

// One tick of the live poll: re-synchronises when needed, runs the periodic
// status exchange every 100 ticks, reads and decodes one reading frame and
// tests it for a configuration change. On a change the frame's channel has
// its ranges set; the caller sets up its displays, then calls
// AcceptConfiguration.
TickOutcome LiveTick(meter_link::MeterProtocol& protocol, shared::RunState& state);

// A probe plugged or pulled, a type or the unit changed since the displays
// were last set up.
bool ConfigurationChanged(const shared::LiveState& live);

// The displays now show the current configuration: remember it, and start
// the history afresh.
void AcceptConfiguration(shared::RunState& state);

} // namespace quadtherm::session
