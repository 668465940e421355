#pragma once

#include "mqtt/broker_url.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;

namespace quadtherm::mqtt {

// Messages that wait for the broker: at about nine a second (four channels,
// each as JSON and as a bare number, and a status now and then) a quarter
// of an hour of readings.
inline constexpr int kDefaultQueueLimit = 10000;

struct MqttOptions {
    BrokerUrl broker;
    std::optional<QString> password;
    QString caFile; // mqtts:// only; empty: the system's certificate authorities
    bool discovery = false;
    int queueLimit = kDefaultQueueLimit;
};

struct TakenOptions {
    std::optional<MqttOptions> options; // when --mqtt was given and everything checks out
    QString error;                      // a usage error, said as it is
};

// Takes --mqtt URL, --mqtt-cafile FILE, --mqtt-password-file FILE and
// --mqtt-discovery (also written --option=VALUE) out of `args`, wherever
// they stand, and checks them with what they name: the URL, the files, the
// password from the file or else from QUADTHERM_MQTT_PASSWORD, and the
// queue size from QUADTHERM_MQTT_QUEUE_LIMIT (for trying the overflow).
// Everything else is left in `args` in its order.
TakenOptions takeMqttOptions(QStringList& args, const QProcessEnvironment& environment);

// The options' lines for a --help text.
QString mqttOptionsHelp();
// The same options for the desktop program's --help; it takes them out of
// the arguments with takeMqttOptions() before the parser sees them.
void describeMqttOptions(QCommandLineParser& parser);

} // namespace quadtherm::mqtt
