#pragma once

#include "session/output_hub.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace quadtherm::mqtt {

// What the messages carry: JSON in a fixed key order, so that a reading
// reads the same in every message, and bare numbers as the file writes them.

// PREFIX/Tn: {"value":23.4,"unit":"°C","type":"K","state":"ok","alarm":false,
// "time":"...","record":12}; "value" is null for a state other than ok,
// "type" null for a type without a letter, "record" only when `record` > 0.
QByteArray readingJson(const session::OutReading& reading, bool fahrenheit, const QDateTime& at,
                       qint64 record);
// PREFIX/Tn/value: "23.4", or empty for a state without a number.
QByteArray readingValue(const session::OutReading& reading);

// A channel going into or out of alarm, or losing or regaining its probe.
enum class ChannelEvent { AlarmOn, AlarmOff, ProbeLost, ProbeBack };
QString channelEventName(ChannelEvent event);
struct ChannelMark {
    bool probe = false;
    bool alarm = false;
};
ChannelMark markOf(const session::OutReading& reading);
// The events between two marks of one channel: the probe's first, then the alarm's.
std::vector<ChannelEvent> channelEvents(const ChannelMark& before, const ChannelMark& after);
// PREFIX/alarm: {"channel":"T2","event":"alarm_on","value":412.5,"time":"..."}.
QByteArray alarmJson(int channel, ChannelEvent event, const session::OutReading& reading,
                     const QDateTime& at);

// PREFIX/status/detail.
struct StatusDetail {
    std::optional<bool> linkUp; // nothing before the session said
    bool recording = false;
    QString file;                  // the recording's, or the last one's
    std::optional<qint64> records; // once a recording ended
    QString ended;                 // why it ended
    QString error;                 // the system's reason when it could not write
    quint64 dropped = 0;           // messages the full queue dropped
    quint64 droppedEvents = 0;     // readings the publisher could not take in time
    int queueLimit = 0;
    QDateTime at;
};
QByteArray statusDetailJson(const StatusDetail& detail);

// Home Assistant's discovery: homeassistant/sensor/NODE/tN/config, NODE made
// from the prefix ("lab/meter1" gives "quadtherm_lab_meter1").
QString discoveryNode(const QString& prefix);
QByteArray discoveryTopic(const QString& prefix, int channel);
QByteArray discoveryConfig(const QString& prefix, int channel, bool fahrenheit);

} // namespace quadtherm::mqtt
