#pragma once

#include "shared/clock.h"

#include <functional>
#include <optional>
#include <vector>

namespace quadtherm::test {

// A clock the test moves. sleep() jumps ahead (to the next scripted byte
// arrival when it waits for bytes) and lets pending events run once.
class FakeClock final : public shared::Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)));

    QDateTime now() const override;
    qint64 elapsedMs() const override { return m_elapsedMs; }
    void sleep(int ms, const QObject* source = nullptr, QMetaMethod signal = {},
               UserInput input = UserInput::Deliver) override;

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

private:
    QDateTime m_start;
    qint64 m_elapsedMs = 0;
    qint64 m_startOffsetMs = 0;
    int m_sleeps = 0;
    int m_heldInputSleeps = 0;
    std::vector<std::function<std::optional<qint64>()>> m_wakeSources;
    std::vector<std::pair<qint64, std::function<void()>>> m_actions;
};

} // namespace quadtherm::test
