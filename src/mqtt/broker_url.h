#pragma once

#include <QString>

#include <optional>

namespace quadtherm::mqtt {

inline constexpr quint16 kPlainPort = 1883;
inline constexpr quint16 kTlsPort = 8883;

// Where the readings go: mqtt://[USER@]HOST[:PORT]/PREFIX, or mqtts:// for
// TLS. The password never travels in the URL (it would show in the process
// list and the shell's history).
struct BrokerUrl {
    bool tls = false;
    QString user; // empty: no user name is sent
    QString host; // an IPv6 address without its brackets
    quint16 port = kPlainPort;
    QString prefix; // topic levels without a leading or trailing '/'

    // "host:1883", "[::1]:1883": how messages name the broker.
    QString where() const;
};

// The URL checked before anything is opened; nothing, with the reason in
// `error`, for a URL that cannot be used as it is.
std::optional<BrokerUrl> parseBrokerUrl(const QString& text, QString* error);

} // namespace quadtherm::mqtt
