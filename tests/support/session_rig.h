#pragma once

// A whole meter session on test doubles, for the suites that drive windows
// over it: the fake clock, the scripted port, the run state, the windows'
// state, the scripted dialogs, the session over them and the windows' client
// of it, all on the test's one thread. A suite's rig derives from it and adds
// its windows, which are destroyed before the session.

#include "session/meter_session.h"
#include "session/session_client.h"
#include "shared/run_state.h"
#include "shared/view_state.h"
#include "sim/simulated_serial_port.h"
#include "support/fake_clock.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_serial_port.h"

#include <QCoreApplication>

namespace quadtherm::test {

// `Port` is the scripted port (SessionRig) or the simulated meter
// (SimSessionRig), either one on the fake clock.
template <typename Port> struct SessionRigOf {
    FakeClock clock;
    Port port{clock};
    shared::RunState state;
    shared::ViewState view;
    ScriptedDialogs dialogs;
    session::MeterSession session{port, clock, state};
    session::SessionClient client{session, clock};

    SessionRigOf() {
        clock.guardAgainstHangs([this] { session.stop(); });
    }
    // What the session said and sent back reaches the windows: its signals
    // and replies arrive queued, as they do across threads.
    static void settle() {
        for (int i = 0; i < 8; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
};

using SessionRig = SessionRigOf<ScriptedSerialPort>;
using SimSessionRig = SessionRigOf<sim::SimulatedSerialPort>;

} // namespace quadtherm::test
