#include "session/command_gate.h"

#include "meter_link/meter_protocol.h"

#include <QScopeGuard>
#include <QTimer>

namespace quadtherm::session {

CommandGate::CommandGate(meter_link::MeterProtocol& protocol, QObject* parent)
    : QObject(parent), m_protocol(protocol) {}

void CommandGate::run(std::function<void()> command) {
    Item item{std::move(command), false};
    if (idle())
        execute(std::move(item));
    else
        enqueue(std::move(item));
}

void CommandGate::runExchange(std::function<void()> exchange) {
    Item item{std::move(exchange), true};
    if (!m_tick && !m_exchange)
        execute(std::move(item));
    else
        enqueue(std::move(item));
}

void CommandGate::later(std::function<void()> command) {
    m_queue.push_back({std::move(command), false});
    scheduleDrain();
}

bool CommandGate::beginTick() {
    if (m_tick || m_exchange)
        return false;
    m_tick = true;
    return true;
}

void CommandGate::endTick() {
    m_tick = false;
    m_protocol.clearInterrupt();
    scheduleDrain();
}

void CommandGate::enqueue(Item item) {
    m_queue.push_back(std::move(item));
    if (m_tick)
        m_protocol.interrupt();
}

void CommandGate::execute(Item item) {
    const bool exchange = item.exchange;
    if (exchange)
        m_exchange = true;
    else
        ++m_commands;
    const auto done = qScopeGuard([this, exchange] {
        if (exchange)
            m_exchange = false;
        else
            --m_commands;
        scheduleDrain();
    });
    item.run();
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
    Item item = std::move(m_queue.front());
    m_queue.pop_front();
    execute(std::move(item));
}

} // namespace quadtherm::session
