#pragma once

#include "shared/clock.h"
#include "shared/output_queue.h"

#include <QString>

namespace quadtherm::cli {

class SignalWatch;

// Standard output and standard error of the commands, each written by its own
// thread (shared::OutputQueue), so that a reader who stops reading never
// holds up the meter's waits, a recording or the answer to Ctrl-C.
class Console {
public:
    enum class WhenBlocked {
        Wait, // print() sleeps in the event loop until there is room (or a signal came)
        Drop, // print() drops what does not fit and says so on standard error
    };

    Console(shared::Clock& clock, const SignalWatch& signalWatch);

    void setWhenBlocked(WhenBlocked when) { m_when = when; }
    // Text for standard output, as it is.
    void print(const QString& text);
    // "quadtherm-cli: " and the message, on standard error.
    void error(const QString& message);
    void errorText(const QString& text);

    // Before the program ends: lets what is queued get out. Waits while the
    // readers keep reading; gives up after a second without progress when
    // lines may be dropped (a recording), after half a second once a signal
    // came, and at once on a further signal.
    void finish();

private:
    shared::Clock& m_clock;
    const SignalWatch& m_signals;
    shared::OutputQueue m_out;
    shared::OutputQueue m_err;
    WhenBlocked m_when = WhenBlocked::Wait;
    qint64 m_notPrinted = 0;
    bool m_toldBroken = false;
};

} // namespace quadtherm::cli
