#include "session/meter_session.h"

#include "recording/data_file.h"
#include "session/live_tick.h"

#include <QScopeGuard>

namespace quadtherm::session {

MeterSession::MeterSession(meter_link::SerialPort& port, shared::Clock& clock,
                           shared::RunState& state, recording::Recorder::DeviceFactory openFile,
                           QObject* parent)
    : QObject(parent), Timer1(clock, kTickMs, [this] { Timer1_Timer(); }),
      Timer2(clock, kCycleMs, [this] { Timer2_Timer(); }), m_clock(clock), m_state(state),
      m_protocol(port, clock, state), m_recorder(state.recording, std::move(openFile)),
      m_gate(m_protocol) {
    connect(&m_protocol, &meter_link::MeterProtocol::resyncStarted, this,
            &MeterSession::onResyncStarted);
    connect(&m_protocol, &meter_link::MeterProtocol::resyncChannelDecoded, this,
            &MeterSession::onResyncChannelDecoded);
    connect(&m_protocol, &meter_link::MeterProtocol::resyncFinished, this,
            &MeterSession::onResyncFinished);
}

MeterSession::~MeterSession() {
    stop();
}

void MeterSession::start() {
    m_stopped = false;
    m_running = true;
    m_state.link.NeedResync = true;
    m_state.windows.ManualListOpen = false;
    m_state.windows.MemoryFormOpen = false;
    m_state.recording.RecordingActive = false;
    m_state.recording.PcSamplingSeconds = 1.0f;
    m_state.recording.StartDateTime = m_clock.now().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    enable(Timer1);
    enable(Timer2);
}

void MeterSession::stop() {
    m_stopped = true;
    m_running = false;
    m_protocol.stop();
    Timer1.stop();
    Timer2.stop();
}

void MeterSession::enable(shared::ClockTimer& timer) {
    if (!timer.isActive())
        timer.start();
}

void MeterSession::Timer1_Timer() {
    // A tick waits for its frame in the event loop, where the timer fires again.
    if (!m_gate.beginTick())
        return;
    const auto done = qScopeGuard([this] { m_gate.endTick(); });
    if (m_tickDeadlineMs >= 0)
        m_protocol.setGiveUpAfter(m_tickDeadlineMs);
    switch (LiveTick(m_protocol, m_state)) {
    case TickOutcome::Resynced:
        return;
    case TickOutcome::Stopped:
        if (!m_stopped)
            Q_EMIT meterSilent();
        return;
    case TickOutcome::Interrupted:
        // A re-synchronisation that gave way stopped the timer; the next tick
        // starts it again once the user's command has run.
        enable(Timer1);
        return;
    case TickOutcome::Stable:
        enable(Timer2);
        Q_EMIT frameRead(m_state.live.CurrentChannel, true);
        return;
    case TickOutcome::Changed:
        break;
    }
    Timer2.stop();
    Q_EMIT liveWindowsClosing();
    m_state.windows.ListOpen = false;
    if (m_state.recording.RecordingActive)
        endRecording(m_relinked ? recording::RecordingEnd::LinkRebuilt
                                : recording::RecordingEnd::ConfigurationChanged);
    Q_EMIT channelsChanged();
    AcceptConfiguration(m_state);
    Q_EMIT frameRead(m_state.live.CurrentChannel, false);
    // Timer2 stays off until the next tick finds the channels stable.
}

void MeterSession::Timer2_Timer() {
    const auto shown = session::RunDisplayCycle(m_state);
    if (!shown)
        return;
    auto& recording = m_state.recording;
    recording.CycleTimestamp = recording::recordTimestamp(m_clock.now());
    if (!recording.RecordingActive) {
        recording.RecordedCount = 0;
    } else {
        shared::PerChannel<QString> textsC, textsF;
        for (int k = 0; k < shared::kChannels; ++k) {
            textsC[k] = shown->c[k].text;
            textsF[k] = shown->f[k].text;
        }
        const qint64 number = recording.RecordedCount + 1;
        const auto& texts = recording.RecordingFahrenheit ? textsF : textsC;
        QString error;
        const bool ok = m_recorder.record(recording.CycleTimestamp, textsC, textsF, &error);
        // A record on disk counts even when the continuation file after it
        // could not be made.
        if (m_recorder.lastRecordWritten() == number)
            Q_EMIT recordWritten(number, recording.CycleTimestamp, texts);
        if (!ok)
            endRecording(recording::RecordingEnd::WriteFailed, error);
    }
    Q_EMIT cycleRun(*shown);
    session::FinishCycle(recording);
}

bool MeterSession::startRecording(const QString& path, QString* error) {
    const auto& live = m_state.live;
    if (!m_recorder.start(path, live.MeterFahrenheit, live.TypeLetter, error)) {
        m_state.recording.SaveFileChosen = false;
        return false;
    }
    m_relinked = false;
    return true;
}

void MeterSession::stopRecording() {
    endRecording(recording::RecordingEnd::Stopped);
}

void MeterSession::endRecording(recording::RecordingEnd why, const QString& error) {
    m_recorder.stop();
    Q_EMIT recordingEnded(why, error, m_recorder.lastRecordWritten());
}

void MeterSession::onResyncStarted() {
    Timer1.stop();
    Timer2.stop();
    if (m_state.recording.RecordingActive)
        m_relinked = true;
    Q_EMIT linkShown(false);
    Q_EMIT liveWindowsClosing();
    m_state.windows.ListOpen = false;
}

void MeterSession::onResyncChannelDecoded(int k) {
    // A rebuilt link starts every alarm at the top of its type's range.
    auto& live = m_state.live;
    m_state.alarms.AlarmSetpointC[k] = live.ScaleMaxC[k];
    m_state.alarms.AlarmSetpointF[k] = live.ScaleMaxF[k];
    live.PrevProbePresent[k] = live.ProbePresent[k];
    Q_EMIT channelSetUp(k);
}

void MeterSession::onResyncFinished() {
    m_state.recording.HistoryCount = 0;
    if (m_running) {
        enable(Timer1);
        enable(Timer2);
    }
    Q_EMIT linkShown(true);
}

} // namespace quadtherm::session
