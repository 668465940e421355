#include "session/session_timer.h"

namespace quadtherm::session {

SessionTimer::SessionTimer(shared::Clock& clock, int intervalMs, std::function<void()> timeout)
    : m_timer(clock, intervalMs, std::move(timeout)) {}

void SessionTimer::start() {
    m_enabled = true;
    if (m_pauses == 0)
        m_timer.start();
}

void SessionTimer::stop() {
    m_enabled = false;
    m_timer.stop();
}

void SessionTimer::pause() {
    ++m_pauses;
    m_timer.stop();
}

void SessionTimer::resume(Resume how) {
    if (m_pauses > 0)
        --m_pauses;
    if (how == Resume::Enable)
        m_enabled = true;
    else if (how == Resume::Disable)
        m_enabled = false;
    apply();
}

void SessionTimer::apply() {
    if (m_enabled && m_pauses == 0 && !m_timer.isActive())
        m_timer.start();
    else if ((!m_enabled || m_pauses > 0) && m_timer.isActive())
        m_timer.stop();
}

} // namespace quadtherm::session
