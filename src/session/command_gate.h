#pragma once

#include <QObject>

#include <deque>
#include <functional>

namespace quadtherm::meter_link {
class MeterProtocol;
}

namespace quadtherm::session {

// Keeps the exchanges with the meter apart from the waits of the live tick
// and from one another. A wait runs the session thread's event loop, so a
// request lands inside it; an exchange asked for during a wait runs right
// after the wait's tick or exchange returns, in the order asked, and a
// waiting live tick gives up its wait so the exchange is not kept.
class CommandGate : public QObject {
    Q_OBJECT
public:
    explicit CommandGate(meter_link::MeterProtocol& protocol, QObject* parent = nullptr);

    // An exchange with the meter: one at a time, never during a live tick.
    void runExchange(std::function<void()> exchange);

    // The live tick brackets its work: false while a tick or an exchange is
    // in progress (the tick is skipped).
    bool beginTick();
    void endTick();

    bool tickRunning() const { return m_tick; }
    bool exchangeRunning() const { return m_exchange; }
    qsizetype queued() const { return qsizetype(m_queue.size()); }

private:
    bool idle() const { return !m_tick && !m_exchange; }
    void execute(std::function<void()> exchange);
    void scheduleDrain();
    void drain();

    meter_link::MeterProtocol& m_protocol;
    std::deque<std::function<void()>> m_queue;
    bool m_tick = false;
    bool m_exchange = false;
    bool m_drainScheduled = false;
};

} // namespace quadtherm::session
