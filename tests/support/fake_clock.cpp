#include "support/fake_clock.h"

#include <QCoreApplication>
#include <QTest>

namespace quadtherm::test {

namespace {

// Delivers what was posted, and what that posted in turn: a request to the
// session, its reply to the windows, the next request. One pass of the event
// loop would leave what a delivery posts for a later pass, as fake time went on.
void deliverPosted(QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents) {
    for (int pass = 0; pass < 3; ++pass) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(flags);
    }
}

} // namespace

class FakeClock::Timer final : public Clock::TimerBackend {
public:
    Timer(FakeClock& clock, std::function<void()> timeout)
        : m_clock(clock), m_timeout(std::move(timeout)) {
        m_clock.m_timers.push_back(this);
    }
    ~Timer() override { std::erase(m_clock.m_timers, this); }

    void start(int intervalMs) override {
        m_intervalMs = qMax(1, intervalMs);
        m_dueMs = m_clock.elapsedMs() + m_intervalMs;
        m_active = true;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    // Due and not inside its own handler, as a QTimer fires.
    std::optional<qint64> due() const {
        return m_active && !m_running ? std::optional(m_dueMs) : std::nullopt;
    }
    void fire() {
        // The next time out is set before the handler runs; one that falls
        // behind fires once as soon as it can and takes up its step again.
        m_dueMs += m_intervalMs;
        if (m_dueMs < m_clock.elapsedMs())
            m_dueMs = m_clock.elapsedMs() + m_intervalMs;
        m_running = true;
        m_timeout();
        m_running = false;
    }

private:
    FakeClock& m_clock;
    std::function<void()> m_timeout;
    int m_intervalMs = 1;
    qint64 m_dueMs = 0;
    bool m_active = false;
    bool m_running = false;
};

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

std::unique_ptr<shared::Clock::TimerBackend> FakeClock::createTimer(std::function<void()> timeout) {
    return std::make_unique<Timer>(*this, std::move(timeout));
}

bool FakeClock::fireNextDue(qint64 limit) {
    Timer* timer = nullptr;
    qint64 due = limit + 1;
    for (Timer* t : m_timers)
        if (const auto d = t->due(); d && *d < due) {
            due = *d;
            timer = t;
        }
    auto action = m_actions.end();
    for (auto it = m_actions.begin(); it != m_actions.end(); ++it)
        if (it->first < due || (it->first == due && !timer)) {
            due = it->first;
            action = it;
        }
    if (due > limit)
        return false;
    m_elapsedMs = qMax(m_elapsedMs, due);
    if (action != m_actions.end()) {
        auto run = std::move(action->second);
        m_actions.erase(action);
        run();
    } else {
        timer->fire();
    }
    return true;
}

void FakeClock::run(qint64 ms) {
    const qint64 target = m_elapsedMs + qMax<qint64>(0, ms);
    // What was posted before time goes on happens first, as in an event loop.
    deliverPosted();
    while (fireNextDue(target))
        deliverPosted();
    m_elapsedMs = qMax(m_elapsedMs, target);
    deliverPosted();
}

bool FakeClock::runUntil(const std::function<bool()>& done, qint64 limitMs) {
    const qint64 limit = m_elapsedMs + limitMs;
    deliverPosted();
    while (!done()) {
        if (m_elapsedMs >= limit)
            return false;
        if (fireNextDue(limit))
            deliverPosted();
        else
            run(limit - m_elapsedMs);
    }
    return true;
}

void FakeClock::guardAgainstHangs(std::function<void()> stopWaits, qint64 realMs) {
    m_stopWaits = std::move(stopWaits);
    m_hangLimitMs = realMs;
    m_hung = false;
    m_realTime.start();
}

void FakeClock::checkHang() {
    if (m_hung || m_hangLimitMs < 0 || m_realTime.elapsed() <= m_hangLimitMs)
        return;
    m_hung = true;
    const QByteArray message = "A wait went on for " + QByteArray::number(m_hangLimitMs / 1000) +
                               " s of real time (" + QByteArray::number(m_elapsedMs / 1000) +
                               " s on the fake clock): an exchange that never ends?";
    QTest::qFail(message.constData(), __FILE__, __LINE__);
    if (!m_stopWaits)
        qFatal("%s", message.constData());
    m_stopWaits();
}

void FakeClock::sleep(int ms, const QObject* source, QMetaMethod, UserInput input) {
    ++m_sleeps;
    checkHang();
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
    // A scheduled action or a timer falling due is an event: it happens, and
    // it wakes the sleeper.
    if (!fireNextDue(target))
        m_elapsedMs = target;
    deliverPosted(input == UserInput::Hold ? QEventLoop::ExcludeUserInputEvents
                                           : QEventLoop::AllEvents);
}

} // namespace quadtherm::test
