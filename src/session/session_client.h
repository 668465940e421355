#pragma once

#include "recording/recording_end.h"
#include "session/display_cycle.h"
#include "session/meter_session.h"
#include "session/session_view.h"

#include <QObject>
#include <QPointer>
#include <QVector>

#include <functional>
#include <memory>
#include <type_traits>

namespace quadtherm::session {

// The windows' handle on the meter session, on the windows' thread. It asks
// the session for exchanges, pauses and recordings, always queued to the
// session's thread, and hands on the session's signals, keeping a copy of
// what they said (mirror()). No window reaches the session's state.
//
// A window's work that needs the meter holds a Lease: its exchanges run one
// after another on the session's thread, with the live poll (and the cycle)
// paused until the lease ends, and dialogs between them run here. Work that
// only needs the timers quiet holds a Pause. Both end however the window's
// work ends: when their last handle goes.
class SessionClient : public QObject {
    Q_OBJECT
public:
    SessionClient(MeterSession& session, shared::Clock& clock, QObject* parent = nullptr);
    ~SessionClient() override;

    // What the session's signals last said.
    struct Mirror {
        bool linkUp = true;
        ChannelsSetup channels;
        bool meterLogging = false;
        bool memoryFull = false;
        bool recording = false;
        qint64 recordedCount = 0;
        QString recordingPath;
        int pcSamplingSeconds = 1;
        Availability availability = Availability::Ready;
        QString busyWith;
        quint64 busyLease = 0; // the lease that makes it busy
    };
    const Mirror& mirror() const { return m_mirror; }
    // The clock the session runs on; its now() and elapsedMs() serve any thread.
    shared::Clock& clock() { return m_clock; }

    void start();
    // Ends every wait of the session and stops its timers.
    void stop();

    // The recording: `done` says whether the file was made, or why not.
    void startRecording(const QString& path, QObject* context,
                        std::function<void(bool ok, const QString& error)> done);
    void stopRecording();
    void setPcSampling(int seconds);
    void setAlarmSetpoint(int channel, bool fahrenheit, double value);
    void copyHistory(int channel, bool fahrenheit, QObject* context,
                     std::function<void(QVector<float>)> done);
    // Ends the dump being received, at once.
    void cancelDump();

    // Keeps the session's timers paused for as long as it lives.
    class Pause {
    public:
        ~Pause();
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

    private:
        friend class SessionClient;
        Pause(MeterSession& session, quint64 id) : m_session(&session), m_id(id) {}
        // Gone when the program closed the session first.
        QPointer<MeterSession> m_session;
        quint64 m_id;
    };
    std::unique_ptr<Pause> pause(const Pausing& pausing);

    class Lease;
    // A lease for a piece of work named `what` ("HOLD", "The download"),
    // pausing the timers as `pausing` says. A long one marks the meter busy
    // for the other windows while it lasts.
    std::shared_ptr<Lease> lease(const QString& what, const Pausing& pausing, bool long_,
                                 const QString& busyWith = {});
    // One exchange on a lease of its own, which ends with it.
    template <typename Work, typename Done>
    void exchange(const QString& what, const Pausing& pausing, Work work, QObject* context,
                  Done done, std::function<void()> refused = {});

    // The note a command that needs the meter gets now, or nothing when it
    // may go: the session's own rule, on what the windows last heard.
    QString refusalNow(const QString& what) const;
    // Shows a note on the bottom bar.
    void note(const QString& text) { Q_EMIT noteShown(text); }

Q_SIGNALS:
    void linkShown(bool up);
    void liveWindowsClosing();
    void channelSetUp(int channel, const session::ChannelSetup& setup);
    void channelsChanged(const session::ChannelsSetup& setup);
    void meterFlagsChanged(bool logging, bool memoryFull);
    void cycleRun(const session::ShownCycle& shown);
    void recordingStarted(const QString& path);
    void recordingEnded(recording::RecordingEnd why, const QString& error, qint64 records);
    // setPcSampling() set the interval of the recording cycle.
    void pcSamplingChanged(int seconds);
    void availabilityChanged(session::Availability availability, const QString& busyWith);
    // A command was refused, or something else the bottom bar should say.
    void noteShown(const QString& text);

private:
    friend class Lease;
    void setAvailability(Availability availability, const QString& busyWith, quint64 lease);
    // Runs `work` on the windows' thread, only while `context` lives.
    template <typename F> static void deliver(const QPointer<QObject>& context, F work);

    MeterSession& m_session;
    shared::Clock& m_clock;
    Mirror m_mirror;
    quint64 m_nextId = 1;
};

class SessionClient::Lease : public std::enable_shared_from_this<Lease> {
public:
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    // One exchange: `work(Exchange&)` runs on the session's thread, then
    // `done(result)` here, if `context` still lives. A lease the session
    // refused runs neither; its refusal handler runs instead.
    template <typename Work, typename Done> void exchange(Work work, QObject* context, Done done);
    // Runs when the session refuses the lease (the note for the user goes
    // to the bottom bar), while the first exchange's context lives.
    void onRefused(std::function<void()> handler) { m_onRefused = std::move(handler); }
    // Ends the lease; its timers resume as `how` says (pollAfter,
    // cycleAfter), or as the lease's pausing said.
    void release();
    void release(const Pausing& how);
    bool refused() const { return m_refused; }
    bool ended() const { return m_released || m_refused; }

private:
    friend class SessionClient;
    Lease(SessionClient& client, MeterSession::Lease lease)
        : m_client(&client), m_session(&client.m_session), m_lease(std::move(lease)) {}
    void post(std::function<void(Exchange&)> work, const QPointer<QObject>& context);
    void refuse(const QString& note);

    QPointer<SessionClient> m_client;
    // Gone when the program closed the session first: the last holder of a
    // lease may be a reply that the closing drops.
    QPointer<MeterSession> m_session;
    MeterSession::Lease m_lease;
    QPointer<QObject> m_context; // the first exchange's
    bool m_posted = false;
    bool m_released = false;
    bool m_refused = false;
    std::function<void()> m_onRefused;
};

template <typename F> void SessionClient::deliver(const QPointer<QObject>& context, F work) {
    // Only ever dereferenced on the windows' thread.
    QObject* target = context.data();
    if (!target)
        return;
    QMetaObject::invokeMethod(
        target,
        [context, work = std::move(work)]() mutable {
            if (context)
                work();
        },
        Qt::QueuedConnection);
}

template <typename Work, typename Done>
void SessionClient::Lease::exchange(Work work, QObject* context, Done done) {
    using Result = std::invoke_result_t<Work&, Exchange&>;
    if (ended())
        return;
    QPointer<QObject> guard(context);
    post(
        [work = std::move(work), guard, done = std::move(done)](Exchange& exchange) mutable {
            if constexpr (std::is_void_v<Result>) {
                work(exchange);
                exchange.toWindows([guard, done]() mutable {
                    if (guard)
                        done();
                });
            } else {
                Result result = work(exchange);
                exchange.toWindows([guard, done, result = std::move(result)]() mutable {
                    if (guard)
                        done(std::move(result));
                });
            }
        },
        guard);
}

template <typename Work, typename Done>
void SessionClient::exchange(const QString& what, const Pausing& pausing, Work work,
                             QObject* context, Done done, std::function<void()> refused) {
    auto once = lease(what, pausing, false);
    once->m_lease.oneShot = true;
    once->onRefused(std::move(refused));
    once->exchange(std::move(work), context, std::move(done));
    // The session ends it after its exchange.
    once->m_released = !once->m_refused;
}

} // namespace quadtherm::session
