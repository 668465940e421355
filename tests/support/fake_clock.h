#pragma once

#include "shared/clock.h"

#include <QElapsedTimer>

#include <functional>
#include <optional>
#include <vector>

namespace quadtherm::test {

// A clock the test moves. sleep() jumps ahead (to the next scripted byte
// arrival when it waits for bytes, or to a timer falling due, which it then
// fires) and lets pending events run once. run() lets time pass at the top
// level, firing the timers as a real event loop would.
class FakeClock final : public shared::Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)));

    QDateTime now() const override;
    qint64 elapsedMs() const override { return m_elapsedMs; }
    void sleep(int ms, const QObject* source = nullptr, QMetaMethod signal = {},
               UserInput input = UserInput::Deliver) override;
    std::unique_ptr<TimerBackend> createTimer(std::function<void()> timeout) override;

    // Lets `ms` of time pass, firing the timers and the actions that fall due.
    void run(qint64 ms);
    // Lets time pass until `done` holds, at most `limitMs`; false on the limit.
    bool runUntil(const std::function<bool()>& done, qint64 limitMs);

    void advance(qint64 ms) { m_elapsedMs += ms; }
    void setNow(const QDateTime& when);
    int sleepCount() const { return m_sleeps; }
    // Sleeps so far that held the user's input back.
    int heldInputSleeps() const { return m_heldInputSleeps; }

    // When something waits for bytes, it wakes at the earliest time these
    // report (elapsed milliseconds), if that comes before its own limit.
    void addWakeSource(std::function<std::optional<qint64>()> nextDueMs);
    // Runs `action` inside the first sleep that reaches `elapsedMs`.
    void at(qint64 elapsedMs, std::function<void()> action);

    // A fault that makes a wait go on for ever would spin through fake time
    // until ctest gives up minutes later. Once a sleep comes more than
    // `realMs` of real time after this call, the test fails and `stopWaits`
    // runs (it stops the protocol, so every wait returns); without one the
    // suite aborts.
    void guardAgainstHangs(std::function<void()> stopWaits, qint64 realMs = kHangLimitMs);
#if defined(__SANITIZE_ADDRESS__)
    static constexpr qint64 kHangLimitMs = 60000;
#else
    static constexpr qint64 kHangLimitMs = 20000;
#endif

    class Timer;

private:
    // The next timer or action due at or before `limit`, made to happen;
    // false when there is none.
    bool fireNextDue(qint64 limit);
    void checkHang();

    QDateTime m_start;
    qint64 m_elapsedMs = 0;
    qint64 m_startOffsetMs = 0;
    int m_sleeps = 0;
    int m_heldInputSleeps = 0;
    std::vector<std::function<std::optional<qint64>()>> m_wakeSources;
    std::vector<std::pair<qint64, std::function<void()>>> m_actions;
    std::vector<Timer*> m_timers;
    QElapsedTimer m_realTime;
    qint64 m_hangLimitMs = -1;
    std::function<void()> m_stopWaits;
    bool m_hung = false;
};

} // namespace quadtherm::test
