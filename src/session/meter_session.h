#pragma once

#include "meter_link/meter_protocol.h"
#include "recording/recorder.h"
#include "recording/recording_end.h"
#include "session/command_gate.h"
#include "session/display_cycle.h"
#include "session/output_hub.h"
#include "session/session_timer.h"
#include "session/session_view.h"
#include "shared/clock.h"
#include "shared/run_state.h"

#include <QObject>
#include <QPointer>
#include <QVector>

#include <functional>
#include <map>
#include <optional>

namespace quadtherm::session {

// One meter session: the live poll (Timer1, one reading frame every 50 ms),
// the once-a-second cycle (Timer2: display values, history, record lines),
// the recorder, the exchange gate and what the program does around a
// re-synchronisation. It lives on a thread of its own in the desktop program
// (see SessionThread), so nothing on screen can hold a reading up; the
// command-line tool and the tests run it on their one thread.
//
// Its state is touched on its own thread only: the entry points below assert
// it. The windows talk to it through a SessionClient: requests come in
// queued, and what happened goes out in signals that carry copies. Its
// timers run on the Clock, so a test drives a whole session on a fake clock.
class MeterSession : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 50;
    static constexpr int kCycleMs = 1000;

    MeterSession(meter_link::SerialPort& port, shared::Clock& clock, shared::RunState& state,
                 recording::Recorder::DeviceFactory openFile = {}, QObject* parent = nullptr);
    ~MeterSession() override;

    // On the session's thread only (the command-line tool, tests).
    shared::RunState& state() { return m_state; }
    shared::Clock& clock() { return m_clock; }
    meter_link::MeterProtocol& protocol() { return m_protocol; }
    recording::Recorder& recorder() { return m_recorder; }

    // The session half of the main window's load: the run-wide flags to
    // their start values and both timers on. The first tick re-synchronises.
    void start();
    // Ends every wait and stops both timers: the program is closing.
    void stop();
    // The same from any thread: every wait ends at its next wake (within a
    // tenth of a second) and the timers stop once the session's thread is
    // back in its event loop.
    void requestStop();
    // Each live tick may wait this long for the meter (negative: without
    // limit, as the desktop program does); a tick that runs out emits
    // meterSilent().
    void setTickDeadline(qint64 ms) { m_tickDeadlineMs = ms; }

    SessionTimer Timer1;
    SessionTimer Timer2;
    void Timer1_Timer();
    void Timer2_Timer();
    // Turns a timer on without restarting an interval that is running.
    static void enable(SessionTimer& timer);

    // Runs `work` on the session's thread, queued to its event loop.
    void post(std::function<void()> work);
    // Where the windows' replies go: functions handed to Exchange::toWindows
    // and the refusals run on this object's thread.
    void setWindowsRelay(QObject* relay) { m_relay = relay; }

    // A window's hold on the meter for the exchanges of one piece of work
    // (one key press, or a download with the dialogs between its steps).
    // While it holds, its timers are paused and any other window's exchange
    // is refused; it begins with its first exchange.
    struct Lease {
        quint64 id = 0;
        Pausing pausing;
        // Ends with its one exchange.
        bool oneShot = true;
        // A long hold (a download, a dialog between exchanges): the windows
        // are told the meter is busy, `busyWith` saying with what
        // ("downloading its memory").
        bool long_ = false;
        QString busyWith;
        // The command, as a refusal names it ("HOLD").
        QString what;
    };
    // One exchange of `lease`: after the live tick or the exchange in
    // progress, never during one. Refused (with the note for the user) while
    // the link is down or another lease holds the meter.
    void leasedExchange(const Lease& lease, std::function<void(Exchange&)> work,
                        std::function<void(const QString& note)> refused);
    // Ends a lease once its exchanges are through; `how` says what its
    // timers do afterwards (pollAfter, cycleAfter).
    void releaseLease(quint64 id, const Pausing& how);
    // A pause of the timers that holds no meter: the windows' own work
    // (loading a file, filling a list, printing) keeps the timers quiet as
    // the protocol asks. Never refused.
    void pause(quint64 id, const Pausing& pausing);
    void endPause(quint64 id);

    // Creates `path` with its heading line for the channels as they are now;
    // false, with the reason, when it cannot be written.
    bool startRecording(const QString& path, QString* error = nullptr);
    // Ends the recording in progress; recordingEnded(Stopped) follows.
    void stopRecording();
    // The PC's recording interval, whole seconds; the live poll is switched on.
    void setPcSampling(int seconds);
    // A setpoint the user moved: the cycle's alarm indicators follow it.
    void setAlarmSetpoint(int channel, bool fahrenheit, double value);
    // A copy of a channel's history, in one go between two cycles.
    QVector<float> historyCopy(int channel, bool fahrenheit) const;
    // Ends the dump being received; from any thread.
    void cancelDump() { m_protocol.cancelDump(); }

    // Where readings, records and the link's state go out to the console,
    // MQTT and HTTP; attach and detach from any thread.
    OutputHub& outputs() { return m_outputs; }

    bool tickRunning() const { return m_gate.tickRunning(); }
    // A window's work holds the meter.
    bool leaseHeld() const { return m_lease.has_value(); }
    Availability availability() const { return m_availability; }

Q_SIGNALS:
    // The link went down ("No COM") or came back.
    void linkShown(bool up);
    // The live list and the real-time chart close: the channels they show
    // are about to change.
    void liveWindowsClosing();
    // The re-synchronisation decoded the channel and put its alarm setpoints
    // at the top of its type's range: set up its displays.
    void channelSetUp(int channel, const session::ChannelSetup& setup);
    // A probe, a type or the unit changed: set up every channel's displays.
    // The cycle is off until the next tick finds the channels stable.
    void channelsChanged(const session::ChannelsSetup& setup);
    // A tick decoded this channel's frame; `stable` when nothing about the
    // channels changed with it.
    void frameRead(int channel, bool stable);
    // The meter's own logging and memory-full flags changed.
    void meterFlagsChanged(bool logging, bool memoryFull);
    // A recording cycle ran: what each channel shows, and the record line
    // written when a recording runs.
    void cycleRun(const session::ShownCycle& shown);
    void recordWritten(qint64 number, const QString& timestamp,
                       const shared::PerChannel<QString>& texts);
    void recordingStarted(const QString& path);
    // `records` were written to it, across its continuation files.
    void recordingEnded(recording::RecordingEnd why, const QString& error, qint64 records);
    // A live tick ran out of its deadline.
    void meterSilent();
    // Whether the windows' commands can have the meter; `busyWith` says
    // what holds it, the lease `lease` (0 for none).
    void availabilityChanged(session::Availability availability, const QString& busyWith,
                             quint64 lease);

private:
    void assertOnOwnThread() const;
    void onResyncStarted();
    void onResyncChannelDecoded(int channel);
    void onResyncFinished();
    void endRecording(recording::RecordingEnd why, const QString& error = {});
    // True, with the note on its way to the windows, when `lease` cannot
    // have the meter now (`arriving`: the request has just come in).
    bool refuseUnlessFree(const Lease& lease, bool arriving,
                          const std::function<void(const QString&)>& refused);
    void runLeased(const Lease& lease, const std::function<void(Exchange&)>& work,
                   const std::function<void(const QString&)>& refused);
    void grant(const Lease& lease);
    void resumeAfter(const Pausing& pausing, const Pausing& how);
    void setAvailability(Availability availability, const QString& busyWith = {},
                         quint64 lease = 0);
    void updateAvailability();
    void toWindows(std::function<void()> work);
    void noteMeterFlags();
    void publishFrame();
    void publishLive();

    shared::Clock& m_clock;
    shared::RunState& m_state;
    meter_link::MeterProtocol m_protocol;
    recording::Recorder m_recorder;
    CommandGate m_gate;
    qint64 m_tickDeadlineMs = -1;
    bool m_stopped = false;
    // Between start() and stop(): only then does a rebuilt link restart the
    // timers (a one-shot exchange of the command-line tool has none).
    bool m_running = false;
    // The link was rebuilt while the recording ran.
    bool m_relinked = false;
    std::optional<Lease> m_lease;
    std::map<quint64, Pausing> m_pauses;
    QPointer<QObject> m_relay;
    Availability m_availability = Availability::Ready;
    OutputHub m_outputs;
    qint64 m_lastLiveMs = -1;
    bool m_logging = false;
    bool m_memoryFull = false;
};

} // namespace quadtherm::session
