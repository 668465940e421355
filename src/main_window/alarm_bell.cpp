#include "main_window/alarm_bell.h"

#include <QStringList>

namespace quadtherm::main_window {

AlarmBell::AlarmBell(shared::Clock& clock, QObject* parent) : QObject(parent), m_clock(clock) {}

void AlarmBell::setChoice(const shared::AlarmSoundChoice& choice) {
    m_choice = choice;
    update();
}

void AlarmBell::cycle(const shared::PerChannel<Channel>& channels) {
    const qint64 now = m_clock.elapsedMs();
    for (int k = 0; k < shared::kChannels; ++k) {
        const Channel& channel = channels[k];
        State& state = m_states[k];
        if (channel.inAlarm) {
            if (!state.alarmSinceMs)
                state.alarmSinceMs = now;
            if (now - *state.alarmSinceMs >= qint64(m_choice.delaySeconds) * 1000)
                state.active = true;
        } else {
            state.alarmSinceMs.reset();
            // Below the setpoint by the margin, or no reading to go by: over.
            const bool wellBelow =
                !channel.reading || *channel.reading < channel.setpoint - m_choice.marginDegrees;
            if (wellBelow) {
                state.active = false;
                if (!state.probeLost)
                    state.quietUntilMs = -1; // over: the next alarm is a new one
            }
        }
    }
    update();
}

void AlarmBell::probeLost(int channel) {
    if (channel < 0 || channel >= shared::kChannels)
        return;
    m_states[channel].probeLost = true;
    update();
}

void AlarmBell::probeBack(int channel) {
    if (channel < 0 || channel >= shared::kChannels)
        return;
    State& state = m_states[channel];
    state.probeLost = false;
    if (!state.active)
        state.quietUntilMs = -1;
    update();
}

void AlarmBell::acknowledge() {
    const qint64 until = m_clock.elapsedMs() + qint64(m_choice.snoozeSeconds) * 1000;
    for (State& state : m_states)
        if (state.active || state.probeLost)
            state.quietUntilMs = until;
    update();
}

QString AlarmBell::reason() const {
    QStringList why;
    for (int k = 0; k < shared::kChannels; ++k) {
        if (m_states[k].probeLost)
            why << QStringLiteral("T%1 lost its probe").arg(k + 1);
        else if (m_states[k].active)
            why << QStringLiteral("T%1 at its setpoint").arg(k + 1);
    }
    return why.join(QStringLiteral(", "));
}

void AlarmBell::update() {
    const qint64 now = m_clock.elapsedMs();
    bool any = false;
    for (const State& state : m_states)
        any = any || ((state.active || state.probeLost) && now >= state.quietUntilMs);
    const bool ring = m_choice.enabled && any;
    if (ring == m_ringing)
        return;
    m_ringing = ring;
    Q_EMIT ringingChanged(ring, reason());
}

} // namespace quadtherm::main_window
