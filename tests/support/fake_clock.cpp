#include "support/fake_clock.h"

#include <QCoreApplication>

namespace quadtherm::test {

FakeClock::FakeClock(QDateTime start) : m_start(std::move(start)) {}

QDateTime FakeClock::now() const {
    return m_start.addMSecs(m_elapsedMs - m_startOffsetMs);
}

void FakeClock::setNow(const QDateTime& when) {
    m_start = when;
    m_startOffsetMs = m_elapsedMs;
}

void FakeClock::addWakeSource(std::function<std::optional<qint64>()> nextDueMs) {
    m_wakeSources.push_back(std::move(nextDueMs));
}

void FakeClock::at(qint64 elapsedMs, std::function<void()> action) {
    m_actions.emplace_back(elapsedMs, std::move(action));
}

void FakeClock::sleep(int ms, const QObject* source, QMetaMethod, UserInput input) {
    ++m_sleeps;
    if (input == UserInput::Hold)
        ++m_heldInputSleeps;
    qint64 target = m_elapsedMs + qMax(0, ms);
    if (source) {
        for (const auto& next : m_wakeSources) {
            const auto due = next();
            if (due && *due < target)
                target = qMax(*due, m_elapsedMs);
        }
    }
    // A scheduled action is an event: it wakes the sleeper.
    for (const auto& [due, action] : m_actions)
        if (due < target)
            target = qMax(due, m_elapsedMs);
    m_elapsedMs = target;
    std::vector<std::function<void()>> dueNow;
    for (auto it = m_actions.begin(); it != m_actions.end();) {
        if (it->first <= m_elapsedMs) {
            dueNow.push_back(std::move(it->second));
            it = m_actions.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& action : dueNow)
        action();
    QCoreApplication::processEvents(input == UserInput::Hold ? QEventLoop::ExcludeUserInputEvents
                                                             : QEventLoop::AllEvents);
}

} // namespace quadtherm::test
