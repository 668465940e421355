#pragma once

#include "shared/alarm_state.h"
#include "shared/history.h"
#include "shared/link_state.h"
#include "shared/live_state.h"
#include "shared/recording_state.h"

namespace quadtherm::shared {

// Everything that lives for the whole run, owned once (by the program's main
// function) and passed by reference. A test builds a fresh one in one line.
struct RunState {
    LinkState link;
    LiveState live;
    AlarmState alarms;
    RecordingState recording;
    History history;
    WindowState windows;
};

} // namespace quadtherm::shared
