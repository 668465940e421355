#pragma once

// A whole meter session on test doubles, for the suites that drive windows
// over it: the fake clock, the scripted port, the run state, the scripted
// dialogs and the session over them. A suite's rig derives from it and adds
// its windows, which are destroyed before the session.

#include "session/meter_session.h"
#include "shared/run_state.h"
#include "support/fake_clock.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_serial_port.h"

namespace quadtherm::test {

struct SessionRig {
    FakeClock clock;
    ScriptedSerialPort port{clock};
    shared::RunState state;
    ScriptedDialogs dialogs;
    session::MeterSession session{port, clock, state};

    SessionRig() {
        clock.guardAgainstHangs([this] { session.stop(); });
    }
};

} // namespace quadtherm::test
