#include "shared/clock.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace quadtherm::shared {

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

} // namespace quadtherm::shared
