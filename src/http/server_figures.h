#pragma once

#include <QByteArray>

#include <array>

namespace quadtherm::http {

// Why the server closed a connection early or refused a request.
enum class Refusal {
    ClientLimit,  // every place taken by a client in the middle of a request
    IdleEvicted,  // an idle connection closed to make room for a new one
    Timeout,      // a request that did not arrive whole in time
    BadRequest,   // not a well-formed GET or HEAD
    Method,       // another method than GET or HEAD
    TooLarge,     // a request line or head over the limit
    Unauthorized, // no user, or a wrong password
    ForeignHost,  // a loopback server asked for by another host name
};
inline constexpr int kRefusals = 8;

// "client_limit", "idle_evicted", "timeout", "bad_request",
// "method_not_allowed", "too_large", "unauthorized", "foreign_host".
QByteArray refusalName(Refusal why);

// What the server counts of itself, for /metrics.
struct ServerFigures {
    // Events of the session its mailbox dropped while it fell behind.
    quint64 dropped = 0;
    int connections = 0;
    std::array<quint64, kRefusals> refused{};
};

} // namespace quadtherm::http
