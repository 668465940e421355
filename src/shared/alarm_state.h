#pragma once

#include "shared/live_state.h"

namespace quadtherm::shared {

// The alarm setpoint of each channel, in both units.
struct AlarmState {
    PerChannel<double> AlarmSetpointC{};
    PerChannel<double> AlarmSetpointF{};
};

} // namespace quadtherm::shared
