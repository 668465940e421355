#include "mqtt/mosquitto_link.h"

#include <mosquitto.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace quadtherm::mqtt {

namespace {

using SteadyClock = std::chrono::steady_clock;

// A broker that has not accepted a connection within this time (a host
// that drops the packets, a broker that reads but does not answer) is
// tried again later.
constexpr auto kConnectTimeout = std::chrono::seconds(10);
// The broker hears from us at least this often; a program that hangs is
// declared gone (and its last will sent) after one and a half times it.
constexpr int kKeepAliveSeconds = 30;
// How long the loop sleeps when nothing happens: the bound on noticing stop().
constexpr int kLoopMs = 100;
constexpr int kDisconnectLoops = 10;

// Where Debian and its kin keep the trusted certificates, hashed for OpenSSL.
constexpr const char* kSystemCertificates = "/etc/ssl/certs";

// Outside the library's range: the connection hung.
constexpr int kTimedOut = -1000;

std::mutex libraryMutex;
int libraryUsers = 0;

void useLibrary() {
    const std::lock_guard lock(libraryMutex);
    if (libraryUsers++ == 0)
        mosquitto_lib_init();
}

void releaseLibrary() {
    const std::lock_guard lock(libraryMutex);
    if (--libraryUsers == 0)
        mosquitto_lib_cleanup();
}

MosquittoLink* linkOf(void* self) {
    return static_cast<MosquittoLink*>(self);
}

} // namespace

MosquittoLink::MosquittoLink(const MqttOptions& options, const QByteArray& willTopic,
                             const QByteArrayList& subscriptions)
    : m_host(options.broker.host.toUtf8()), m_port(options.broker.port),
      m_subscriptions(subscriptions) {
    useLibrary();
    m_mosq = mosquitto_new(nullptr, true, this);
    if (!m_mosq) {
        m_setupError = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    mosquitto_threaded_set(m_mosq, true);
    mosquitto_max_inflight_messages_set(m_mosq, kInFlight);
    mosquitto_connect_callback_set(m_mosq, &MosquittoLink::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MosquittoLink::onDisconnect);
    mosquitto_publish_callback_set(m_mosq, &MosquittoLink::onPublish);
    mosquitto_message_callback_set(m_mosq, &MosquittoLink::onMessage);
    mosquitto_log_callback_set(m_mosq, &MosquittoLink::onLog);
    static const char kOffline[] = "offline";
    mosquitto_will_set(m_mosq, willTopic.constData(), int(sizeof kOffline - 1), kOffline, 1, true);
    const auto& broker = options.broker;
    if (!broker.user.isEmpty()) {
        const QByteArray user = broker.user.toUtf8();
        const QByteArray password = options.password.value_or(QString()).toUtf8();
        mosquitto_username_pw_set(m_mosq, user.constData(),
                                  options.password ? password.constData() : nullptr);
    }
    if (broker.tls) {
        // Without a CA file, the system's folder of certificates. Not
        // MOSQ_OPT_TLS_USE_OS_CERTS: libmosquitto 2.0.11 refuses every
        // reconnection with it (its log complains that no cafile, capath or
        // psk was given), so one failure would be for good.
        const QByteArray caFile = options.caFile.toLocal8Bit();
        const int rc =
            caFile.isEmpty()
                ? mosquitto_tls_set(m_mosq, nullptr, kSystemCertificates, nullptr, nullptr, nullptr)
                : mosquitto_tls_set(m_mosq, caFile.constData(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            m_setupError = QStringLiteral("TLS cannot be set up: %1")
                               .arg(QString::fromLocal8Bit(mosquitto_strerror(rc)));
    }
}

MosquittoLink::~MosquittoLink() {
    stop();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
    releaseLibrary();
}

void MosquittoLink::start(Handlers handlers) {
    m_handlers = std::move(handlers);
    if (!m_setupError.isEmpty()) {
        m_handlers.failed({LinkFailure::Kind::Unreachable, 0, m_setupError});
        return;
    }
    m_thread = std::thread([this] { run(); });
}

void MosquittoLink::stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool MosquittoLink::stopping() {
    const std::lock_guard lock(m_mutex);
    return m_stop;
}

BrokerLink::Sent MosquittoLink::send(const Message& message) {
    int id = 0;
    const int rc =
        mosquitto_publish(m_mosq, &id, message.topic.constData(), int(message.payload.size()),
                          message.payload.constData(), message.qos, message.retain);
    if (rc == MOSQ_ERR_SUCCESS)
        return {Sent::Outcome::Taken, id, {}};
    // The library keeps a QoS 1 message even when the connection has just
    // gone, and sends it again after the reconnect; a QoS 0 one is lost.
    if (rc == MOSQ_ERR_NO_CONN)
        return message.qos > 0 ? Sent{Sent::Outcome::Taken, id, {}} : Sent{};
    return {Sent::Outcome::Never, 0, QString::fromLocal8Bit(mosquitto_strerror(rc))};
}

void MosquittoLink::run() {
    int attempt = 0;
    bool first = true;
    while (!stopping()) {
        m_accepted = false;
        m_refusedCode = 0;
        m_lostErrno = 0;
        m_libraryError.clear();
        errno = 0;
        int rc = first ? mosquitto_connect_bind_async(m_mosq, m_host.constData(), m_port,
                                                      kKeepAliveSeconds, nullptr)
                       : mosquitto_reconnect_async(m_mosq);
        int error = errno;
        first = false;
        bool wasAccepted = false;
        if (rc == MOSQ_ERR_SUCCESS) {
            const auto began = SteadyClock::now();
            while (!stopping()) {
                errno = 0;
                rc = mosquitto_loop(m_mosq, kLoopMs, 1);
                error = m_lostErrno != 0 ? m_lostErrno : errno;
                if (m_accepted) {
                    wasAccepted = true;
                    attempt = 0;
                }
                if (rc != MOSQ_ERR_SUCCESS)
                    break;
                if (!m_accepted && SteadyClock::now() - began > kConnectTimeout) {
                    rc = kTimedOut;
                    break;
                }
            }
            if (stopping()) {
                if (m_accepted)
                    disconnectCleanly();
                break;
            }
        }
        m_handlers.failed(failureOf(rc, error, wasAccepted));
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(reconnectDelayMs(attempt++)),
                        [this] { return m_stop; });
    }
}

void MosquittoLink::disconnectCleanly() {
    if (mosquitto_disconnect(m_mosq) != MOSQ_ERR_SUCCESS)
        return;
    for (int i = 0; i < kDisconnectLoops; ++i)
        if (mosquitto_loop(m_mosq, kLoopMs, 1) != MOSQ_ERR_SUCCESS)
            return;
}

LinkFailure MosquittoLink::failureOf(int rc, int error, bool wasAccepted) const {
    using Kind = LinkFailure::Kind;
    const QString system = error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString();
    const QString library =
        rc == kTimedOut ? QString() : QString::fromLocal8Bit(mosquitto_strerror(rc));
    if (m_refusedCode > 0)
        return {Kind::Refused, m_refusedCode,
                QString::fromLocal8Bit(mosquitto_connack_string(m_refusedCode))};
    if (rc == MOSQ_ERR_TLS)
        return {Kind::Tls, 0, m_libraryError.isEmpty() ? library : m_libraryError};
    if (rc == kTimedOut)
        return {Kind::NoAnswer, 0, {}};
    const bool closed = rc == MOSQ_ERR_CONN_LOST;
    const QString detail = rc == MOSQ_ERR_ERRNO && !system.isEmpty() ? system : library;
    if (wasAccepted)
        return {Kind::Lost, 0, closed ? QStringLiteral("closed by the broker") : detail};
    if (closed)
        return {Kind::ClosedBeforeAccepted, 0, {}};
    if (rc == MOSQ_ERR_ERRNO && error == ECONNRESET)
        return {Kind::ClosedBeforeAccepted, 0, system};
    if (rc == MOSQ_ERR_EAI)
        return {Kind::Unreachable, 0, QStringLiteral("no such host")};
    return {Kind::Unreachable, 0, detail};
}

void MosquittoLink::onConnect(mosquitto* mosq, void* self, int code) {
    MosquittoLink* link = linkOf(self);
    if (code != 0) {
        link->m_refusedCode = code;
        return;
    }
    link->m_accepted = true;
    for (const QByteArray& topic : link->m_subscriptions)
        mosquitto_subscribe(mosq, nullptr, topic.constData(), 1);
    link->m_handlers.connected();
}

void MosquittoLink::onDisconnect(mosquitto*, void* self, int rc) {
    // errno still says why the read or the write failed.
    if (rc != 0)
        linkOf(self)->m_lostErrno = errno;
}

void MosquittoLink::onPublish(mosquitto*, void* self, int id) {
    linkOf(self)->m_handlers.delivered(id);
}

void MosquittoLink::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    linkOf(self)->m_handlers.received(
        QByteArray(message->topic),
        QByteArray(static_cast<const char*>(message->payload), message->payloadlen));
}

void MosquittoLink::onLog(mosquitto*, void* self, int level, const char* text) {
    // OpenSSL's words for a failed handshake come only through the log.
    if (level & MOSQ_LOG_ERR)
        linkOf(self)->m_libraryError = QString::fromLocal8Bit(text);
}

} // namespace quadtherm::mqtt
