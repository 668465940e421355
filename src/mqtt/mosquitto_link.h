#pragma once

#include "mqtt/broker_link.h"
#include "mqtt/mqtt_options.h"

#include <QByteArrayList>

#include <condition_variable>
#include <mutex>
#include <thread>

struct mosquitto;
struct mosquitto_message;

namespace quadtherm::mqtt {

// The broker link over libmosquitto. Its network loop runs on a thread that
// this class drives itself rather than mosquitto_loop_start(): every
// callback comes on that one thread, the backoff is ours (1 s doubling to
// 30 s), a connection that hangs is given up after a while, and a TLS
// failure, which ends the library's own loop for good, is told and retried
// like any other. A host name is looked up on the link's thread: a slow
// resolver can hold the end of the program up for its own timeout.
class MosquittoLink : public BrokerLink {
public:
    // `will` goes to the broker with each CONNECT (retained "offline" on the
    // status topic); `subscriptions` are made on every connection.
    MosquittoLink(const MqttOptions& options, const QByteArray& willTopic,
                  const QByteArrayList& subscriptions);
    ~MosquittoLink() override;
    MosquittoLink(const MosquittoLink&) = delete;
    MosquittoLink& operator=(const MosquittoLink&) = delete;

    void start(Handlers handlers) override;
    Sent send(const Message& message) override;
    void stop() override;

private:
    void run();
    bool stopping();
    void disconnectCleanly();
    LinkFailure failureOf(int rc, int error, bool wasAccepted) const;
    static void onConnect(mosquitto* mosq, void* self, int code);
    static void onDisconnect(mosquitto* mosq, void* self, int rc);
    static void onPublish(mosquitto* mosq, void* self, int id);
    static void onMessage(mosquitto* mosq, void* self, const mosquitto_message* message);
    static void onLog(mosquitto* mosq, void* self, int level, const char* text);

    mosquitto* m_mosq = nullptr;
    QByteArray m_host;
    int m_port = 0;
    QByteArrayList m_subscriptions;
    QString m_setupError;
    Handlers m_handlers;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    // The network thread's own, for the connection being tried.
    bool m_accepted = false;
    int m_refusedCode = 0;
    int m_lostErrno = 0;
    QString m_libraryError;
};

} // namespace quadtherm::mqtt
