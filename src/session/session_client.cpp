#include "session/session_client.h"

namespace quadtherm::session {

SessionClient::SessionClient(MeterSession& session, shared::Clock& clock, QObject* parent)
    : QObject(parent), m_session(session), m_clock(clock) {
    m_session.setWindowsRelay(this);
    // Each keeps the mirror up before the windows hear of it. They arrive
    // queued, in the order the session sent them, also when a test runs the
    // session on the windows' thread: a window's handler never runs inside
    // the session's work.
    connect(
        &session, &MeterSession::linkShown, this,
        [this](bool up) {
            m_mirror.linkUp = up;
            Q_EMIT linkShown(up);
        },
        Qt::QueuedConnection);
    connect(
        &session, &MeterSession::liveWindowsClosing, this, [this] { Q_EMIT liveWindowsClosing(); },
        Qt::QueuedConnection);
    connect(
        &session, &MeterSession::channelSetUp, this,
        [this](int k, const ChannelSetup& setup) {
            if (k >= 0 && k < shared::kChannels)
                m_mirror.channels.channels[k] = setup;
            Q_EMIT channelSetUp(k, setup);
        },
        Qt::QueuedConnection);
    connect(
        &session, &MeterSession::channelsChanged, this,
        [this](const ChannelsSetup& setup) {
            m_mirror.channels = setup;
            Q_EMIT channelsChanged(setup);
        },
        Qt::QueuedConnection);
    connect(
        &session, &MeterSession::meterFlagsChanged, this,
        [this](bool logging, bool full) {
            m_mirror.meterLogging = logging;
            m_mirror.memoryFull = full;
            Q_EMIT meterFlagsChanged(logging, full);
        },
        Qt::QueuedConnection);
    connect(
        &session, &MeterSession::cycleRun, this,
        [this](const ShownCycle& shown) {
            m_mirror.recording = shown.recording;
            m_mirror.recordedCount = shown.recordedCount;
            Q_EMIT cycleRun(shown);
        },
        Qt::QueuedConnection);
    connect(
        &session, &MeterSession::recordingStarted, this,
        [this](const QString& path) {
            m_mirror.recording = true;
            m_mirror.recordedCount = 0;
            m_mirror.recordingPath = path;
            Q_EMIT recordingStarted(path);
        },
        Qt::QueuedConnection);
    connect(
        &session, &MeterSession::recordingEnded, this,
        [this](recording::RecordingEnd why, const QString& error, qint64 records) {
            m_mirror.recording = false;
            m_mirror.recordedCount = 0;
            Q_EMIT recordingEnded(why, error, records);
        },
        Qt::QueuedConnection);
    connect(
        &session, &MeterSession::availabilityChanged, this,
        [this](Availability availability, const QString& busyWith, quint64 lease) {
            setAvailability(availability, busyWith, lease);
        },
        Qt::QueuedConnection);
}

SessionClient::~SessionClient() = default;

void SessionClient::setAvailability(Availability availability, const QString& busyWith,
                                    quint64 lease) {
    m_mirror.availability = availability;
    m_mirror.busyWith = busyWith;
    m_mirror.busyLease = lease;
    Q_EMIT availabilityChanged(availability, busyWith);
}

void SessionClient::start() {
    m_session.post([s = &m_session] { s->start(); });
}

void SessionClient::stop() {
    m_session.requestStop();
}

void SessionClient::startRecording(const QString& path, QObject* context,
                                   std::function<void(bool, const QString&)> done) {
    QPointer<QObject> guard(context);
    m_session.post([s = &m_session, path, guard, done = std::move(done)] {
        QString error;
        const bool ok = s->startRecording(path, &error);
        deliver(guard, [done, ok, error] { done(ok, error); });
    });
}

void SessionClient::stopRecording() {
    m_session.post([s = &m_session] { s->stopRecording(); });
}

void SessionClient::setPcSampling(int seconds) {
    m_mirror.pcSamplingSeconds = seconds;
    m_session.post([s = &m_session, seconds] { s->setPcSampling(seconds); });
    Q_EMIT pcSamplingChanged(seconds);
}

void SessionClient::setAlarmSetpoint(int channel, bool fahrenheit, double value) {
    m_session.post([s = &m_session, channel, fahrenheit, value] {
        s->setAlarmSetpoint(channel, fahrenheit, value);
    });
}

void SessionClient::copyHistory(int channel, bool fahrenheit, QObject* context,
                                std::function<void(QVector<float>)> done) {
    QPointer<QObject> guard(context);
    m_session.post([s = &m_session, channel, fahrenheit, guard, done = std::move(done)] {
        QVector<float> values = s->historyCopy(channel, fahrenheit);
        deliver(guard, [done, values = std::move(values)]() mutable { done(std::move(values)); });
    });
}

void SessionClient::cancelDump() {
    m_session.cancelDump();
}

std::unique_ptr<SessionClient::Pause> SessionClient::pause(const Pausing& pausing) {
    const quint64 id = m_nextId++;
    m_session.post([s = &m_session, id, pausing] { s->pause(id, pausing); });
    return std::unique_ptr<Pause>(new Pause(m_session, id));
}

SessionClient::Pause::~Pause() {
    if (MeterSession* session = m_session)
        session->post([session, id = m_id] { session->endPause(id); });
}

std::shared_ptr<SessionClient::Lease> SessionClient::lease(const QString& what,
                                                           const Pausing& pausing, bool long_,
                                                           const QString& busyWith) {
    MeterSession::Lease lease;
    lease.id = m_nextId++;
    lease.pausing = pausing;
    lease.oneShot = false;
    lease.long_ = long_;
    lease.busyWith = busyWith;
    lease.what = what;
    return std::shared_ptr<Lease>(new Lease(*this, std::move(lease)));
}

QString SessionClient::refusalNow(const QString& what) const {
    switch (m_mirror.availability) {
    case Availability::Ready:
        return {};
    case Availability::LinkDown:
        return QStringLiteral("%1 not sent: the link to the meter is down (No COM).").arg(what);
    case Availability::Busy:
        break;
    }
    return QStringLiteral("%1 not sent: the meter is busy %2.").arg(what, m_mirror.busyWith);
}

SessionClient::Lease::~Lease() {
    // Possibly on the session's thread, where the last function holding it
    // was dropped: only the session is told, and that from any thread. A
    // session the program closed first needs telling no more.
    if (MeterSession* session = m_session; session && !ended() && m_posted)
        session->post(
            [session, id = m_lease.id, how = m_lease.pausing] { session->releaseLease(id, how); });
}

void SessionClient::Lease::release() {
    release(m_lease.pausing);
}

void SessionClient::Lease::release(const Pausing& how) {
    if (ended())
        return;
    m_released = true;
    // The meter is free again as far as these windows know: a next command
    // must not be refused on the word of this lease's busy note still on
    // its way back.
    if (m_client && m_client->m_mirror.availability == Availability::Busy &&
        m_client->m_mirror.busyLease == m_lease.id) {
        m_client->m_mirror.availability = Availability::Ready;
        m_client->m_mirror.busyWith.clear();
        m_client->m_mirror.busyLease = 0;
        // Told from the event loop: a lease may end as its window is deleted.
        QMetaObject::invokeMethod(
            m_client,
            [client = m_client] {
                if (client && client->m_mirror.availability == Availability::Ready)
                    Q_EMIT client->availabilityChanged(Availability::Ready, {});
            },
            Qt::QueuedConnection);
    }
    if (MeterSession* session = m_session; session && m_posted)
        session->post([session, id = m_lease.id, how] { session->releaseLease(id, how); });
}

void SessionClient::Lease::refuse(const QString& note) {
    if (m_refused)
        return;
    m_refused = true;
    if (m_client)
        m_client->note(note);
    if (m_onRefused && m_context)
        m_onRefused();
}

void SessionClient::Lease::post(std::function<void(Exchange&)> work,
                                const QPointer<QObject>& context) {
    if (!m_posted)
        m_context = context;
    if (!m_posted && m_client) {
        // The first exchange asks for the meter: refused at once when the
        // windows already know it cannot be had.
        const QString note = m_client->refusalNow(m_lease.what);
        if (!note.isEmpty()) {
            refuse(note);
            return;
        }
    }
    m_posted = true;
    // The refusal outlives a one-shot lease that nobody holds any more.
    auto refused = [self = weak_from_this(), client = m_client, context,
                    handler = m_onRefused](const QString& note) {
        if (auto held = self.lock()) {
            held->refuse(note);
            return;
        }
        if (client)
            client->note(note);
        if (handler && context)
            handler();
    };
    if (MeterSession* session = m_session)
        session->post([session, lease = m_lease, work = std::move(work), refused] {
            session->leasedExchange(lease, work, refused);
        });
}

} // namespace quadtherm::session
