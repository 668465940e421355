#include "session/meter_session.h"

#include "recording/data_file.h"
#include "session/live_tick.h"

#include <QScopeGuard>
#include <QThread>

namespace quadtherm::session {

namespace {

QString refusal(const QString& what, const QString& why) {
    return QStringLiteral("%1 not sent: %2.").arg(what, why);
}

} // namespace

MeterSession::MeterSession(meter_link::SerialPort& port, shared::Clock& clock,
                           shared::RunState& state, recording::Recorder::DeviceFactory openFile,
                           QObject* parent)
    : QObject(parent), Timer1(clock, kTickMs, [this] { Timer1_Timer(); }),
      Timer2(clock, kCycleMs, [this] { Timer2_Timer(); }), m_clock(clock), m_state(state),
      m_protocol(port, clock, state), m_recorder(state.recording, std::move(openFile)),
      m_gate(m_protocol) {
    qRegisterMetaType<ChannelSetup>();
    qRegisterMetaType<ChannelsSetup>();
    qRegisterMetaType<Availability>();
    qRegisterMetaType<ShownCycle>();
    qRegisterMetaType<recording::RecordingEnd>();
    qRegisterMetaType<shared::PerChannel<QString>>();
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

void MeterSession::assertOnOwnThread() const {
    Q_ASSERT_X(QThread::currentThread() == thread(), "MeterSession",
               "the session's state is touched on its own thread only");
}

void MeterSession::post(std::function<void()> work) {
    // Queued even from the session's own thread (a test that runs it on
    // one): a request never runs inside the handler that asked for it.
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void MeterSession::toWindows(std::function<void()> work) {
    if (m_relay)
        QMetaObject::invokeMethod(m_relay, std::move(work), Qt::QueuedConnection);
}

void MeterSession::start() {
    assertOnOwnThread();
    m_stopped = false;
    m_running = true;
    m_state.link.NeedResync = true;
    m_state.recording.RecordingActive = false;
    m_state.recording.PcSamplingSeconds = 1.0f;
    m_state.recording.StartDateTime = m_clock.now().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    enable(Timer1);
    enable(Timer2);
}

void MeterSession::stop() {
    assertOnOwnThread();
    m_stopped = true;
    m_running = false;
    m_protocol.stop();
    Timer1.stop();
    Timer2.stop();
}

void MeterSession::requestStop() {
    m_protocol.stop();
    QMetaObject::invokeMethod(
        this, [this] { stop(); }, Qt::QueuedConnection);
}

void MeterSession::enable(SessionTimer& timer) {
    if (!timer.isActive())
        timer.start();
}

void MeterSession::Timer1_Timer() {
    assertOnOwnThread();
    // A tick waits for its frame in the event loop, where the timer fires again.
    if (!m_gate.beginTick())
        return;
    const auto done = qScopeGuard([this] { m_gate.endTick(); });
    if (m_tickDeadlineMs >= 0)
        m_protocol.setGiveUpAfter(m_tickDeadlineMs);
    const TickOutcome outcome = LiveTick(m_protocol, m_state);
    noteMeterFlags();
    switch (outcome) {
    case TickOutcome::Resynced:
        return;
    case TickOutcome::Stopped:
        if (!m_stopped)
            Q_EMIT meterSilent();
        return;
    case TickOutcome::Interrupted:
        // A re-synchronisation that gave way stopped the timer; the next tick
        // starts it again once the exchange has run.
        enable(Timer1);
        return;
    case TickOutcome::Stable:
        enable(Timer2);
        Q_EMIT frameRead(m_state.live.CurrentChannel, true);
        publishFrame();
        publishLive();
        return;
    case TickOutcome::Changed:
        break;
    }
    Timer2.stop();
    Q_EMIT liveWindowsClosing();
    if (m_state.recording.RecordingActive)
        endRecording(m_relinked ? recording::RecordingEnd::LinkRebuilt
                                : recording::RecordingEnd::ConfigurationChanged);
    Q_EMIT channelsChanged(channelsSetupOf(m_state));
    AcceptConfiguration(m_state);
    Q_EMIT frameRead(m_state.live.CurrentChannel, false);
    publishFrame();
    // Timer2 stays off until the next tick finds the channels stable.
}

void MeterSession::publishFrame() {
    if (!m_outputs.wants(OutEvent::Kind::Frame))
        return;
    OutEvent event;
    event.kind = OutEvent::Kind::Frame;
    event.frame = shared::liveChannel(m_state.live, m_state.live.CurrentChannel);
    event.sample.at = m_clock.now();
    m_outputs.publish(event);
}

void MeterSession::publishLive() {
    const qint64 nowMs = m_clock.elapsedMs();
    if (!m_outputs.wants(OutEvent::Kind::Live) ||
        (m_lastLiveMs >= 0 && nowMs - m_lastLiveMs < kCycleMs))
        return;
    m_lastLiveMs = nowMs;
    OutEvent event;
    event.kind = OutEvent::Kind::Live;
    event.sample =
        sampleOf(ShowChannels(m_state.live, m_state.alarms), m_state.live, m_clock.now());
    m_outputs.publish(event);
}

void MeterSession::noteMeterFlags() {
    const auto& live = m_state.live;
    if (live.MeterRecording == m_logging && live.MemoryFull == m_memoryFull)
        return;
    m_logging = live.MeterRecording;
    m_memoryFull = live.MemoryFull;
    Q_EMIT meterFlagsChanged(m_logging, m_memoryFull);
}

void MeterSession::Timer2_Timer() {
    assertOnOwnThread();
    auto shown = session::RunDisplayCycle(m_state);
    if (!shown)
        return;
    auto& recording = m_state.recording;
    const QDateTime at = m_clock.now();
    recording.CycleTimestamp = recording::recordTimestamp(at);
    qint64 recorded = 0;
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
        if (m_recorder.lastRecordWritten() == number) {
            recorded = number;
            Q_EMIT recordWritten(number, recording.CycleTimestamp, texts);
        }
        if (!ok)
            endRecording(recording::RecordingEnd::WriteFailed, error);
    }
    shown->timestamp = recording.CycleTimestamp;
    shown->recording = recording.RecordingActive;
    shown->recordedCount = recording.RecordedCount;
    Q_EMIT cycleRun(*shown);
    if (m_outputs.wants(OutEvent::Kind::Cycle)) {
        OutEvent event;
        event.kind = OutEvent::Kind::Cycle;
        event.sample = sampleOf(*shown, m_state.live, at, recorded);
        m_outputs.publish(event);
    }
    session::FinishCycle(recording);
}

bool MeterSession::startRecording(const QString& path, QString* error) {
    assertOnOwnThread();
    const auto& live = m_state.live;
    if (!m_recorder.start(path, live.MeterFahrenheit, live.TypeLetter, error)) {
        m_state.recording.SaveFileChosen = false;
        return false;
    }
    m_relinked = false;
    Q_EMIT recordingStarted(path);
    OutEvent event;
    event.kind = OutEvent::Kind::RecordingStarted;
    event.path = path;
    m_outputs.publish(event);
    return true;
}

void MeterSession::stopRecording() {
    assertOnOwnThread();
    if (m_state.recording.RecordingActive)
        endRecording(recording::RecordingEnd::Stopped);
}

void MeterSession::endRecording(recording::RecordingEnd why, const QString& error) {
    const qint64 records = m_recorder.lastRecordWritten();
    OutEvent event;
    event.kind = OutEvent::Kind::RecordingEnded;
    event.path = m_recorder.currentPath();
    event.records = records;
    event.why = recording::recordingEndName(why);
    event.error = error;
    m_recorder.stop();
    Q_EMIT recordingEnded(why, error, records);
    m_outputs.publish(event);
}

void MeterSession::setPcSampling(int seconds) {
    assertOnOwnThread();
    m_state.recording.PcSamplingSeconds = static_cast<float>(seconds);
    m_state.recording.PcSamplingTick = 0;
    enable(Timer1);
}

void MeterSession::setAlarmSetpoint(int channel, bool fahrenheit, double value) {
    assertOnOwnThread();
    if (channel < 0 || channel >= shared::kChannels)
        return;
    (fahrenheit ? m_state.alarms.AlarmSetpointF : m_state.alarms.AlarmSetpointC)[channel] = value;
}

QVector<float> MeterSession::historyCopy(int channel, bool fahrenheit) const {
    assertOnOwnThread();
    if (channel < 0 || channel >= shared::kChannels)
        return {};
    return m_state.history.copy(channel, m_state.recording.HistoryCount, fahrenheit);
}

void MeterSession::leasedExchange(const Lease& lease, std::function<void(Exchange&)> work,
                                  std::function<void(const QString&)> refused) {
    assertOnOwnThread();
    if (m_stopped)
        return;
    // Refused as it arrives, even inside a wait: a click on a busy meter is
    // told at once, and never carried out later. Short exchanges that come
    // while another short one runs take their turn behind it.
    if (refuseUnlessFree(lease, /*arriving=*/true, refused))
        return;
    m_gate.runExchange([this, lease, work = std::move(work), refused = std::move(refused)] {
        runLeased(lease, work, refused);
    });
}

bool MeterSession::refuseUnlessFree(const Lease& lease, bool arriving,
                                    const std::function<void(const QString&)>& refused) {
    const bool current = m_lease && m_lease->id == lease.id;
    QString why;
    if (!current && m_lease && (m_lease->long_ || !arriving))
        why = QStringLiteral("the meter is busy %1").arg(m_lease->busyWith);
    else if (!current && m_state.link.NeedResync)
        why = QStringLiteral("the link to the meter is down (No COM)");
    if (why.isEmpty())
        return false;
    toWindows([refused, note = refusal(lease.what, why)] {
        if (refused)
            refused(note);
    });
    return true;
}

void MeterSession::runLeased(const Lease& lease, const std::function<void(Exchange&)>& work,
                             const std::function<void(const QString&)>& refused) {
    if (m_stopped)
        return;
    if (refuseUnlessFree(lease, /*arriving=*/false, refused))
        return;
    const bool current = m_lease && m_lease->id == lease.id;
    if (!current)
        grant(lease);
    Exchange exchange{m_protocol, m_state,
                      [this](std::function<void()> fn) { toWindows(std::move(fn)); }};
    work(exchange);
    if (lease.oneShot && !m_stopped)
        releaseLease(lease.id, lease.pausing);
}

void MeterSession::grant(const Lease& lease) {
    m_lease = lease;
    if (lease.pausing.poll)
        Timer1.pause();
    if (lease.pausing.cycle)
        Timer2.pause();
    updateAvailability();
}

void MeterSession::releaseLease(quint64 id, const Pausing& how) {
    assertOnOwnThread();
    const auto release = [this, id, how] {
        if (!m_lease || m_lease->id != id)
            return;
        const Pausing pausing = m_lease->pausing;
        m_lease.reset();
        if (!m_stopped)
            resumeAfter(pausing, how);
        updateAvailability();
    };
    // Never in the middle of an exchange: after it, as the next in turn.
    if (m_gate.exchangeRunning())
        m_gate.runExchange(release);
    else
        release();
}

void MeterSession::resumeAfter(const Pausing& pausing, const Pausing& how) {
    if (pausing.poll)
        Timer1.resume(how.pollAfter);
    if (pausing.cycle)
        Timer2.resume(how.cycleAfter);
}

void MeterSession::pause(quint64 id, const Pausing& pausing) {
    assertOnOwnThread();
    if (m_stopped || m_pauses.count(id))
        return;
    m_pauses[id] = pausing;
    if (pausing.poll)
        Timer1.pause();
    if (pausing.cycle)
        Timer2.pause();
}

void MeterSession::endPause(quint64 id) {
    assertOnOwnThread();
    const auto it = m_pauses.find(id);
    if (it == m_pauses.end())
        return;
    const Pausing pausing = it->second;
    m_pauses.erase(it);
    if (!m_stopped)
        resumeAfter(pausing, pausing);
}

void MeterSession::setAvailability(Availability availability, const QString& busyWith,
                                   quint64 lease) {
    if (availability == m_availability && availability != Availability::Busy)
        return;
    m_availability = availability;
    Q_EMIT availabilityChanged(availability, busyWith, lease);
}

void MeterSession::updateAvailability() {
    if (m_lease && m_lease->long_)
        setAvailability(Availability::Busy, m_lease->busyWith, m_lease->id);
    else if (m_state.link.NeedResync)
        setAvailability(Availability::LinkDown);
    else
        setAvailability(Availability::Ready);
}

void MeterSession::onResyncStarted() {
    Timer1.stop();
    Timer2.stop();
    if (m_state.recording.RecordingActive)
        m_relinked = true;
    Q_EMIT linkShown(false);
    OutEvent event;
    event.kind = OutEvent::Kind::Link;
    event.linkUp = false;
    m_outputs.publish(event);
    Q_EMIT liveWindowsClosing();
    updateAvailability();
}

void MeterSession::onResyncChannelDecoded(int k) {
    // A rebuilt link starts every alarm at the top of its type's range.
    auto& live = m_state.live;
    m_state.alarms.AlarmSetpointC[k] = live.ScaleMaxC[k];
    m_state.alarms.AlarmSetpointF[k] = live.ScaleMaxF[k];
    live.PrevProbePresent[k] = live.ProbePresent[k];
    Q_EMIT channelSetUp(k, channelSetupOf(m_state, k));
}

void MeterSession::onResyncFinished() {
    m_state.recording.HistoryCount = 0;
    if (m_running) {
        enable(Timer1);
        enable(Timer2);
    }
    Q_EMIT linkShown(true);
    OutEvent event;
    event.kind = OutEvent::Kind::Link;
    event.linkUp = true;
    m_outputs.publish(event);
    updateAvailability();
}

} // namespace quadtherm::session
