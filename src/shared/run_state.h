#pragma once

#include "shared/alarm_state.h"
#include "shared/history.h"
#include "shared/link_state.h"
#include "shared/live_state.h"
#include "shared/recording_state.h"

namespace quadtherm::shared {

// Everything the meter session keeps for the whole run, owned once (by the
// program's main function), passed by reference and touched on the
// session's thread only; the windows keep theirs in ViewState. A test builds
// a fresh one in one line.
struct RunState {
    LinkState link;
    LiveState live;
    AlarmState alarms;
    RecordingState recording;
    History history;
};

} // namespace quadtherm::shared
