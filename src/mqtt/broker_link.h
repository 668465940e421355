#pragma once

#include "mqtt/message_queue.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace quadtherm::mqtt {

// Why a connection could not be made, or ended.
struct LinkFailure {
    enum class Kind {
        Unreachable,          // no connection: refused, no route, no such host
        Refused,              // the broker answered the CONNECT with `code`
        Tls,                  // the TLS handshake or the certificate failed
        ClosedBeforeAccepted, // the broker hung up before it answered the CONNECT
        NoAnswer,             // no answer to the CONNECT in time
        Lost,                 // an accepted connection broke
    };
    Kind kind = Kind::Lost;
    int code = 0;
    QString detail; // the system's or the library's words
};

// What the program says about a failure on standard error. The broker is
// named by `where` ("host:1883").
QString failureText(const LinkFailure& failure, const QString& where);

// Messages handed to a link and not yet delivered, at most: the publisher
// keeps the rest in its own queue, where they can be counted and dropped.
inline constexpr int kInFlight = 100;

// The backoff before the n-th attempt after a failure (n from 0): 1 s,
// doubled up to 30 s.
int reconnectDelayMs(int attempt);

// The seam between the publisher and the network: a connection to the
// broker that keeps itself up. The handlers run on the link's own thread;
// send() is called from the publisher's.
class BrokerLink {
public:
    struct Handlers {
        std::function<void()> connected; // the broker accepted the connection
        std::function<void(const LinkFailure&)> failed;
        std::function<void(int id)> delivered; // QoS 1: acknowledged; QoS 0: written
        std::function<void(const QByteArray& topic, const QByteArray& payload)> received;
    };
    struct Sent {
        enum class Outcome {
            Taken,  // on its way under `id`; delivered(id) follows
            NotNow, // the link is down: try again once connected
            Never,  // the library refuses this message (`why`)
        };
        Outcome outcome = Outcome::NotNow;
        int id = 0;
        QString why;
    };

    virtual ~BrokerLink() = default;
    // Connects, and after every failure connects again with a backoff,
    // until stop().
    virtual void start(Handlers handlers) = 0;
    virtual Sent send(const Message& message) = 0;
    // Disconnects cleanly (the broker does not send the last will) and ends
    // the link's thread; no handler runs afterwards.
    virtual void stop() = 0;
};

} // namespace quadtherm::mqtt
