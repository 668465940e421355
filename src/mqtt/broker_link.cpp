#include "mqtt/broker_link.h"

#include <algorithm>

namespace quadtherm::mqtt {

namespace {

constexpr int kFirstDelayMs = 1000;
constexpr int kLongestDelayMs = 30000;

} // namespace

int reconnectDelayMs(int attempt) {
    const int doublings = std::clamp(attempt, 0, 16);
    return std::min(kLongestDelayMs, kFirstDelayMs << doublings);
}

QString failureText(const LinkFailure& failure, const QString& where) {
    const QString detail =
        failure.detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(failure.detail);
    switch (failure.kind) {
    case LinkFailure::Kind::Unreachable:
        return QStringLiteral("cannot reach the MQTT broker at %1%2").arg(where, detail);
    case LinkFailure::Kind::Refused:
        // 4 is "bad user name or password", 5 "not authorised": the user
        // cannot tell them apart, and brokers answer either to a wrong password.
        if (failure.code == 4 || failure.code == 5)
            return QStringLiteral("the MQTT broker at %1 refused the connection: not authorised "
                                  "(check the user in the URL and the password)")
                .arg(where);
        return QStringLiteral("the MQTT broker at %1 refused the connection%2").arg(where, detail);
    case LinkFailure::Kind::Tls:
        return QStringLiteral("no TLS connection with the MQTT broker at %1%2: is it a plain "
                              "MQTT port? mqtts:// needs the broker's TLS port (usually 8883) "
                              "and a certificate its CA file vouches for")
            .arg(where, detail);
    case LinkFailure::Kind::ClosedBeforeAccepted:
        return QStringLiteral("the MQTT broker at %1 closed the connection before accepting it%2 "
                              "(a TLS port? then use mqtts://)")
            .arg(where, detail);
    case LinkFailure::Kind::NoAnswer:
        return QStringLiteral("the MQTT broker at %1 did not answer in time").arg(where);
    case LinkFailure::Kind::Lost:
        break;
    }
    return QStringLiteral("lost the connection to the MQTT broker at %1%2").arg(where, detail);
}

} // namespace quadtherm::mqtt
