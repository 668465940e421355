#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <deque>
#include <vector>

namespace quadtherm::mqtt {

struct Message {
    QByteArray topic;
    QByteArray payload;
    int qos = 1;
    bool retain = false;
    // A state whose latest value is all that matters (the status, the
    // discovery announcements): a newer one replaces it while it waits.
    bool latestOnly = false;
};

// What waits for the broker. The readings, records and alarm events wait in
// order in a queue of at most `limit` messages; when it is full the oldest
// message makes room and is counted, so that what goes out after a long
// outage is the most recent stretch, without a gap inside it. States that
// only need their latest value wait beside the queue, one per topic, are
// never dropped and go out first.
class MessageQueue {
public:
    explicit MessageQueue(int limit) : m_limit(qMax(1, limit)) {}

    // True when the oldest message was dropped to make room.
    bool push(Message message);
    void setLatest(Message message);
    // A message taken that could not be sent goes back where it came from.
    void putBack(Message message);

    bool empty() const { return m_latest.empty() && m_stream.empty(); }
    // Latest states first (in the order their topics were first set), then
    // the stream in order.
    Message takeNext();

    qsizetype streamSize() const { return qsizetype(m_stream.size()); }
    int limit() const { return m_limit; }
    quint64 dropped() const { return m_dropped; }

private:
    int m_limit;
    std::deque<Message> m_stream;
    std::vector<Message> m_latest;
    quint64 m_dropped = 0;
};

} // namespace quadtherm::mqtt
