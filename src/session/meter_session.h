#pragma once

#include "meter_link/meter_protocol.h"
#include "recording/recorder.h"
#include "recording/recording_end.h"
#include "session/command_gate.h"
#include "session/display_cycle.h"
#include "shared/clock.h"
#include "shared/run_state.h"

#include <QObject>

#include <functional>

namespace quadtherm::session {

// One meter session: the live poll (Timer1, one reading frame every 50 ms),
// the once-a-second cycle (Timer2: display values, history, record lines),
// the recorder, the exchange gate and what the program does around a
// re-synchronisation. The windows and the command-line tool are its views:
// they learn what happened from its signals and ask it for exchanges. Its
// timers run on the Clock, so a test drives a whole session on a fake clock.
class MeterSession : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 50;
    static constexpr int kCycleMs = 1000;

    MeterSession(meter_link::SerialPort& port, shared::Clock& clock, shared::RunState& state,
                 recording::Recorder::DeviceFactory openFile = {}, QObject* parent = nullptr);
    ~MeterSession() override;

    shared::RunState& state() { return m_state; }
    shared::Clock& clock() { return m_clock; }
    meter_link::MeterProtocol& protocol() { return m_protocol; }
    recording::Recorder& recorder() { return m_recorder; }

    // The session half of the main window's load: the run-wide flags to
    // their start values and both timers on. The first tick re-synchronises.
    void start();
    // Ends every wait and stops both timers: the program is closing.
    void stop();
    // Each live tick may wait this long for the meter (negative: without
    // limit, as the desktop program does); a tick that runs out emits
    // meterSilent().
    void setTickDeadline(qint64 ms) { m_tickDeadlineMs = ms; }

    shared::ClockTimer Timer1;
    shared::ClockTimer Timer2;
    void Timer1_Timer();
    void Timer2_Timer();
    // Turns a timer on without restarting an interval that is running.
    static void enable(shared::ClockTimer& timer);

    // A user's command (a dialog, a window): at once, or right after the
    // live tick or the exchange that is waiting.
    void runCommand(std::function<void()> command) { m_gate.run(std::move(command)); }
    // An exchange with the meter: never during a live tick or another exchange.
    void runExchange(std::function<void()> exchange) { m_gate.runExchange(std::move(exchange)); }
    // After the handler in progress and any wait around it.
    void later(std::function<void()> command) { m_gate.later(std::move(command)); }
    bool tickRunning() const { return m_gate.tickRunning(); }

    // Creates `path` with its heading line for the channels as they are now;
    // false, with the reason, when it cannot be written.
    bool startRecording(const QString& path, QString* error = nullptr);
    // Ends the recording in progress; recordingEnded(Stopped) follows.
    void stopRecording();

Q_SIGNALS:
    // The link went down ("No COM") or came back.
    void linkShown(bool up);
    // The live list and the real-time chart close: the channels they show
    // are about to change.
    void liveWindowsClosing();
    // The re-synchronisation decoded the channel and put its alarm setpoints
    // at the top of its type's range: set up its displays.
    void channelSetUp(int channel);
    // A probe, a type or the unit changed: set up every channel's displays.
    // The cycle is off until the next tick finds the channels stable.
    void channelsChanged();
    // A tick decoded this channel's frame; `stable` when nothing about the
    // channels changed with it.
    void frameRead(int channel, bool stable);
    // A recording cycle ran: what each channel shows, and the record line
    // written when a recording runs.
    void cycleRun(const session::ShownCycle& shown);
    void recordWritten(qint64 number, const QString& timestamp,
                       const shared::PerChannel<QString>& texts);
    // `records` were written to it, across its continuation files.
    void recordingEnded(recording::RecordingEnd why, const QString& error, qint64 records);
    // A live tick ran out of its deadline.
    void meterSilent();

private:
    void onResyncStarted();
    void onResyncChannelDecoded(int channel);
    void onResyncFinished();
    void endRecording(recording::RecordingEnd why, const QString& error = {});

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
};

} // namespace quadtherm::session
