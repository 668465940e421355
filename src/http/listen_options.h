#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>

namespace quadtherm::http {

// Where the server listens. Without an address it is the loopback address:
// nothing beyond this computer reads the meter unless the user says so.
struct ListenAddress {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0; // 0: any free port, told once listening
};

// "8080" (127.0.0.1:8080), "0.0.0.0:8080", "[::1]:8080", "localhost:8080".
// Addresses are written as numbers: a host name other than localhost is
// refused rather than looked up. Nothing, with why in `error`, for anything else.
std::optional<ListenAddress> parseListenAddress(const QString& text, QString* error);

// Any address of this computer, not only the loopback.
bool listensBeyondThisComputer(const QHostAddress& address);

// "127.0.0.1:8080", "[::1]:8080".
QString hostAndPort(const QHostAddress& address, quint16 port);

struct ListenOptions {
    ListenAddress where;
    QString authFile; // empty: no authentication
};

// Takes "--listen ADDRESS" and "--listen-auth-file FILE" out of `args`,
// wherever they stand. Nothing when neither was given, or when they are
// wrong: an option without its value, a bad address or an auth file without
// --listen, said in `error` (left alone otherwise).
std::optional<ListenOptions> takeListenOptions(QStringList& args, QString* error);

} // namespace quadtherm::http
