#pragma once

#include <QDateTime>
#include <QMetaMethod>
#include <QObject>

#include <functional>
#include <memory>

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

    // What a ClockTimer runs on.
    class TimerBackend {
    public:
        virtual ~TimerBackend() = default;
        virtual void start(int intervalMs) = 0;
        virtual void stop() = 0;
        virtual bool isActive() const = 0;
    };
    virtual std::unique_ptr<TimerBackend> createTimer(std::function<void()> timeout) = 0;
};

// A repeating timer that runs on a Clock: on the real clock a QTimer, on a
// test's clock as that clock's time passes. Like a QTimer it does not fire
// again while its handler is still running (waiting in a nested event loop).
class ClockTimer {
public:
    ClockTimer(Clock& clock, int intervalMs, std::function<void()> timeout);

    // Starts, or restarts, the interval.
    void start() { m_backend->start(m_intervalMs); }
    void stop() { m_backend->stop(); }
    bool isActive() const { return m_backend->isActive(); }
    int interval() const { return m_intervalMs; }

private:
    int m_intervalMs;
    std::unique_ptr<Clock::TimerBackend> m_backend;
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
    std::unique_ptr<TimerBackend> createTimer(std::function<void()> timeout) override;

private:
    qint64 m_startMs;
};

} // namespace quadtherm::shared
