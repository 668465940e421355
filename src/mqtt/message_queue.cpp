#include "mqtt/message_queue.h"

#include <algorithm>

namespace quadtherm::mqtt {

bool MessageQueue::push(Message message) {
    message.latestOnly = false;
    const bool full = qsizetype(m_stream.size()) >= m_limit;
    if (full) {
        m_stream.pop_front();
        ++m_dropped;
    }
    m_stream.push_back(std::move(message));
    return full;
}

void MessageQueue::setLatest(Message message) {
    message.latestOnly = true;
    const auto same = std::find_if(m_latest.begin(), m_latest.end(),
                                   [&](const Message& m) { return m.topic == message.topic; });
    if (same != m_latest.end())
        *same = std::move(message);
    else
        m_latest.push_back(std::move(message));
}

void MessageQueue::putBack(Message message) {
    if (!message.latestOnly) {
        m_stream.push_front(std::move(message));
        return;
    }
    // A newer state set meanwhile wins over the one that could not go.
    const bool newer = std::any_of(m_latest.begin(), m_latest.end(),
                                   [&](const Message& m) { return m.topic == message.topic; });
    if (!newer)
        m_latest.insert(m_latest.begin(), std::move(message));
}

Message MessageQueue::takeNext() {
    Message next;
    if (!m_latest.empty()) {
        next = std::move(m_latest.front());
        m_latest.erase(m_latest.begin());
    } else if (!m_stream.empty()) {
        next = std::move(m_stream.front());
        m_stream.pop_front();
    }
    return next;
}

} // namespace quadtherm::mqtt
