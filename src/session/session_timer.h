#pragma once

#include "shared/clock.h"

#include <functional>

namespace quadtherm::session {

// Timer1 and Timer2 of the session: a timer on the Clock with the Enabled
// switch the meter's protocol turns on and off, and pauses counted apart
// from it. It runs while it is enabled and nothing pauses it, so the work of
// a window (a download, the clock window, a key press) keeps it quiet
// however the live poll and a rebuilt link turn it on meanwhile.
class SessionTimer {
public:
    SessionTimer(shared::Clock& clock, int intervalMs, std::function<void()> timeout);

    // Enabled on; the interval starts again when it runs.
    void start();
    // Enabled off.
    void stop();
    // Running: enabled and not paused.
    bool isActive() const { return m_timer.isActive(); }
    bool isEnabled() const { return m_enabled; }
    int interval() const { return m_timer.interval(); }

    // What ending a pause does to the Enabled switch.
    enum class Resume {
        Enable,  // on, as the protocol switches it on after its exchange
        Disable, // off, until the session turns it on again
        AsItWas, // as it was when the pause began, or as it was set meanwhile
    };
    void pause();
    void resume(Resume how);
    bool paused() const { return m_pauses > 0; }

private:
    void apply();

    shared::ClockTimer m_timer;
    bool m_enabled = false;
    int m_pauses = 0;
};

} // namespace quadtherm::session
