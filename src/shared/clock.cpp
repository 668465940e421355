#include "shared/clock.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace quadtherm::shared {

namespace {

class QtTimerBackend final : public Clock::TimerBackend {
public:
    explicit QtTimerBackend(std::function<void()> timeout) {
        // Precise: a once-a-second cycle must not drift a second in twenty.
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, std::move(timeout));
    }
    void start(int intervalMs) override { m_timer.start(intervalMs); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace

ClockTimer::ClockTimer(Clock& clock, int intervalMs, std::function<void()> timeout)
    : m_intervalMs(intervalMs), m_backend(clock.createTimer(std::move(timeout))) {}

double Clock::secondsSinceMidnight() const {
    const QTime t = now().time();
    return t.msecsSinceStartOfDay() / 1000.0;
}

SystemClock::SystemClock() : m_startMs(QDeadlineTimer::current().deadline()) {}

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}

qint64 SystemClock::elapsedMs() const {
    return QDeadlineTimer::current().deadline() - m_startMs;
}

void SystemClock::sleep(int ms, const QObject* source, QMetaMethod signal, UserInput input) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QMetaObject::Connection wake;
    if (source && signal.isValid()) {
        const QMetaMethod quit =
            loop.metaObject()->method(loop.metaObject()->indexOfSlot("quit()"));
        wake = QObject::connect(source, signal, &loop, quit);
    }
    timer.start(qMax(0, ms));
    loop.exec(input == UserInput::Hold ? QEventLoop::ExcludeUserInputEvents
                                       : QEventLoop::AllEvents);
    if (wake)
        QObject::disconnect(wake);
}

std::unique_ptr<Clock::TimerBackend> SystemClock::createTimer(std::function<void()> timeout) {
    return std::make_unique<QtTimerBackend>(std::move(timeout));
}

} // namespace quadtherm::shared
