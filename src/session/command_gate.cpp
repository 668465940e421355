#include "session/command_gate.h"

#include "meter_link/meter_protocol.h"

#include <QScopeGuard>
#include <QTimer>

namespace quadtherm::session {

CommandGate::CommandGate(meter_link::MeterProtocol& protocol, QObject* parent)
    : QObject(parent), m_protocol(protocol) {}

void CommandGate::runExchange(std::function<void()> exchange) {
    if (idle() && m_queue.empty()) {
        execute(std::move(exchange));
        return;
    }
    m_queue.push_back(std::move(exchange));
    if (m_tick)
        m_protocol.interrupt();
    scheduleDrain();
}

bool CommandGate::beginTick() {
    if (!idle())
        return false;
    m_tick = true;
    return true;
}

void CommandGate::endTick() {
    m_tick = false;
    m_protocol.clearInterrupt();
    scheduleDrain();
}

void CommandGate::execute(std::function<void()> exchange) {
    m_exchange = true;
    const auto done = qScopeGuard([this] {
        m_exchange = false;
        scheduleDrain();
    });
    exchange();
}

void CommandGate::scheduleDrain() {
    if (m_queue.empty() || m_drainScheduled)
        return;
    m_drainScheduled = true;
    // From the event loop, so the handler that queued it has returned.
    QTimer::singleShot(0, this, [this] {
        m_drainScheduled = false;
        drain();
    });
}

void CommandGate::drain() {
    // One at a time: each runs on its own, and the next waits until it ends.
    if (m_queue.empty() || !idle())
        return;
    auto exchange = std::move(m_queue.front());
    m_queue.pop_front();
    execute(std::move(exchange));
}

} // namespace quadtherm::session
