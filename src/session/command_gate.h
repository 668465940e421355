#pragma once

#include <QObject>

#include <deque>
#include <functional>

namespace quadtherm::meter_link {
class MeterProtocol;
}

namespace quadtherm::session {

// Keeps what the user starts out of the waits of the live tick and of the
// exchanges with the meter. Those waits run the event loop, so a click lands
// inside them; a dialog opened there would hold the wait until it closed,
// with the once-a-second cycle recording the last readings all along. A
// command asked for during a wait runs right after it returns, in the order
// asked; a waiting live tick gives up its wait so the command is not kept.
class CommandGate : public QObject {
    Q_OBJECT
public:
    explicit CommandGate(meter_link::MeterProtocol& protocol, QObject* parent = nullptr);

    // A command of the user (a dialog, a window, a file): now when nothing
    // else runs, otherwise queued.
    void run(std::function<void()> command);
    // An exchange with the meter: one at a time, never during a live tick.
    // A command starts its own exchanges at once.
    void runExchange(std::function<void()> exchange);
    // Always after the handler in progress and any wait around it: for
    // what a timer wants to tell the user.
    void later(std::function<void()> command);

    // The live tick brackets its work: false while a tick or an exchange is
    // in progress (the tick is skipped).
    bool beginTick();
    void endTick();

    bool tickRunning() const { return m_tick; }
    qsizetype queued() const { return qsizetype(m_queue.size()); }

private:
    struct Item {
        std::function<void()> run;
        bool exchange = false;
    };
    bool idle() const { return !m_tick && !m_exchange && m_commands == 0; }
    void enqueue(Item item);
    void execute(Item item);
    void scheduleDrain();
    void drain();

    meter_link::MeterProtocol& m_protocol;
    std::deque<Item> m_queue;
    bool m_tick = false;
    bool m_exchange = false;
    int m_commands = 0;
    bool m_drainScheduled = false;
};

} // namespace quadtherm::session
