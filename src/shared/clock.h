#pragma once

#include <QDateTime>
#include <QMetaMethod>
#include <QObject>

namespace quadtherm::shared {

// Every wait and every reading of the time goes through a Clock, so tests can
// run midnight, month ends and two-second key presses in microseconds.
class Clock {
public:
    virtual ~Clock() = default;

    // The computer's local date and time.
    virtual QDateTime now() const = 0;

    // A monotonic millisecond count that never jumps with the wall clock.
    virtual qint64 elapsedMs() const = 0;

    // What a sleep does with the user's clicks and keys: deliver them, or
    // hold them in the window system's queue until the sleeper's caller has
    // returned to the event loop.
    enum class UserInput { Deliver, Hold };

    // Lets the event loop run for at most `ms` milliseconds (0: one pass over
    // the pending events), returning early when `source` emits `signal`.
    virtual void sleep(int ms, const QObject* source = nullptr, QMetaMethod signal = {},
                       UserInput input = UserInput::Deliver) = 0;

    // Seconds since local midnight, with fractions.
    double secondsSinceMidnight() const;
};

// The real clock: sleeps in a nested event loop, so the user interface stays
// responsive and the CPU idles while waiting.
class SystemClock final : public Clock {
public:
    SystemClock();
    QDateTime now() const override;
    qint64 elapsedMs() const override;
    void sleep(int ms, const QObject* source = nullptr, QMetaMethod signal = {},
               UserInput input = UserInput::Deliver) override;

private:
    qint64 m_startMs;
};

} // namespace quadtherm::shared
