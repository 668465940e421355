#pragma once

#include "shared/clock.h"
#include "shared/live_state.h"
#include "shared/settings.h"

#include <QObject>
#include <QString>

#include <optional>

namespace quadtherm::main_window {

// The rules of the audible alarm, beside the blinking ALARM tags: it sounds
// once a channel has been in alarm (the condition that blinks its tag) for
// the chosen delay, or at once when a probe is pulled during a recording; a
// channel stays in alarm until its reading falls below the setpoint by the
// chosen margin (or its probe is back). An acknowledge stops the sound and
// keeps the channels then in alarm quiet for the snooze time; a channel
// still in alarm after that sounds it again, and so does a new alarm
// meanwhile. Off by default. Time is the Clock's.
class AlarmBell : public QObject {
    Q_OBJECT
public:
    explicit AlarmBell(shared::Clock& clock, QObject* parent = nullptr);

    void setChoice(const shared::AlarmSoundChoice& choice);
    const shared::AlarmSoundChoice& choice() const { return m_choice; }

    // What a channel shows in a cycle.
    struct Channel {
        bool inAlarm = false;          // at or above its setpoint: its tag blinks
        std::optional<double> reading; // none without a plain reading
        double setpoint = 0;
    };
    void cycle(const shared::PerChannel<Channel>& channels);
    // A probe was pulled while a recording ran, or put back.
    void probeLost(int channel);
    void probeBack(int channel);
    // The user heard it: quiet for the snooze time.
    void acknowledge();

    bool ringing() const { return m_ringing; }
    // Which channels, and why: "T1 at its setpoint", "T3 lost its probe".
    QString reason() const;

Q_SIGNALS:
    void ringingChanged(bool ringing, const QString& reason);

private:
    struct State {
        std::optional<qint64> alarmSinceMs; // the alarm condition holds since
        bool active = false;                // in alarm, as the bell counts it
        bool probeLost = false;
        qint64 quietUntilMs = -1; // acknowledged: heard again from then on
    };
    void update();

    shared::Clock& m_clock;
    shared::AlarmSoundChoice m_choice;
    shared::PerChannel<State> m_states{};
    bool m_ringing = false;
};

} // namespace quadtherm::main_window
