#include "mqtt/payloads.h"

#include "recording/local_time_offsets.h"
#include "shared/reading_text.h"

#include <QByteArrayList>

namespace quadtherm::mqtt {

namespace {

QByteArray jsonString(const QString& text) {
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (quint8(c) < 0x20)
                out += "\\u00" + QByteArray::number(quint8(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    return out + '"';
}

// Keys in the order they are added.
class JsonObject {
public:
    JsonObject& raw(const char* key, const QByteArray& json) {
        m_fields << jsonString(QString::fromLatin1(key)) + ':' + json;
        return *this;
    }
    JsonObject& text(const char* key, const QString& value) { return raw(key, jsonString(value)); }
    JsonObject& textOrNull(const char* key, const QString& value) {
        return raw(key, value.isEmpty() ? QByteArray("null") : jsonString(value));
    }
    JsonObject& flag(const char* key, bool value) { return raw(key, value ? "true" : "false"); }
    JsonObject& number(const char* key, qint64 value) {
        return raw(key, QByteArray::number(value));
    }
    QByteArray bytes() const { return '{' + m_fields.join(',') + '}'; }

private:
    QByteArrayList m_fields;
};

// The meter reads in tenths, as the file writes them; "-.5" in the file is
// -0.5 here, which JSON and every parser of bare numbers take.
QByteArray tenths(double value) {
    return QByteArray::number(value, 'f', 1);
}

QByteArray valueJson(const session::OutReading& reading) {
    if (reading.state != session::ReadingState::Ok || !reading.value)
        return "null";
    return tenths(*reading.value);
}

QString channelName(int channel) {
    return QStringLiteral("T%1").arg(channel + 1);
}

} // namespace

QByteArray readingJson(const session::OutReading& reading, bool fahrenheit, const QDateTime& at,
                       qint64 record) {
    JsonObject json;
    json.raw("value", valueJson(reading))
        .text("unit", shared::unitText(fahrenheit))
        .textOrNull("type", reading.type)
        .text("state", session::readingStateName(reading.state))
        .flag("alarm", reading.alarm)
        .text("time", recording::isoTimeText(at));
    if (record > 0)
        json.number("record", record);
    return json.bytes();
}

QByteArray readingValue(const session::OutReading& reading) {
    if (reading.state != session::ReadingState::Ok || !reading.value)
        return {};
    return tenths(*reading.value);
}

QString channelEventName(ChannelEvent event) {
    switch (event) {
    case ChannelEvent::AlarmOn:
        return QStringLiteral("alarm_on");
    case ChannelEvent::AlarmOff:
        return QStringLiteral("alarm_off");
    case ChannelEvent::ProbeLost:
        return QStringLiteral("probe_lost");
    case ChannelEvent::ProbeBack:
        break;
    }
    return QStringLiteral("probe_back");
}

ChannelMark markOf(const session::OutReading& reading) {
    return {reading.state != session::ReadingState::NoProbe, reading.alarm};
}

std::vector<ChannelEvent> channelEvents(const ChannelMark& before, const ChannelMark& after) {
    std::vector<ChannelEvent> events;
    if (before.probe != after.probe)
        events.push_back(after.probe ? ChannelEvent::ProbeBack : ChannelEvent::ProbeLost);
    if (before.alarm != after.alarm)
        events.push_back(after.alarm ? ChannelEvent::AlarmOn : ChannelEvent::AlarmOff);
    return events;
}

QByteArray alarmJson(int channel, ChannelEvent event, const session::OutReading& reading,
                     const QDateTime& at) {
    return JsonObject()
        .text("channel", channelName(channel))
        .text("event", channelEventName(event))
        .raw("value", valueJson(reading))
        .text("state", session::readingStateName(reading.state))
        .text("time", recording::isoTimeText(at))
        .bytes();
}

QByteArray statusDetailJson(const StatusDetail& detail) {
    JsonObject json;
    json.text("link", !detail.linkUp   ? QStringLiteral("unknown")
                      : *detail.linkUp ? QStringLiteral("up")
                                       : QStringLiteral("down"))
        .flag("recording", detail.recording)
        .textOrNull("file", detail.file);
    if (detail.records)
        json.number("records", *detail.records);
    if (!detail.ended.isEmpty())
        json.text("ended", detail.ended);
    if (!detail.error.isEmpty())
        json.text("error", detail.error);
    return json.number("dropped", qint64(detail.dropped))
        .number("dropped_events", qint64(detail.droppedEvents))
        .number("queue_limit", detail.queueLimit)
        .text("time", recording::isoTimeText(detail.at))
        .bytes();
}

QString discoveryNode(const QString& prefix) {
    // Home Assistant takes only [a-zA-Z0-9_-] in a node's name.
    QString node = QStringLiteral("quadtherm_");
    for (const QChar c : prefix) {
        const bool kept = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                          (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
        node += kept ? c : u'_';
    }
    return node;
}

QByteArray discoveryTopic(const QString& prefix, int channel) {
    return QStringLiteral("homeassistant/sensor/%1/t%2/config")
        .arg(discoveryNode(prefix))
        .arg(channel + 1)
        .toUtf8();
}

QByteArray discoveryConfig(const QString& prefix, int channel, bool fahrenheit) {
    const QString node = discoveryNode(prefix);
    const QString state = prefix + u'/' + channelName(channel);
    const QByteArray device = JsonObject()
                                  .raw("identifiers", '[' + jsonString(node) + ']')
                                  .text("name", QStringLiteral("QuadTherm ") + prefix)
                                  .text("model", QStringLiteral("Four-channel thermocouple "
                                                                "thermometer"))
                                  .bytes();
    return JsonObject()
        .text("name", channelName(channel))
        .text("unique_id", node + QStringLiteral("_t%1").arg(channel + 1))
        .text("state_topic", state)
        // A null value (over, under, no probe) renders "None": the state is unknown.
        .text("value_template", QStringLiteral("{{ value_json.value }}"))
        .text("json_attributes_topic", state)
        .text("unit_of_measurement", shared::unitText(fahrenheit))
        .text("device_class", QStringLiteral("temperature"))
        .text("state_class", QStringLiteral("measurement"))
        .text("availability_topic", prefix + QStringLiteral("/status"))
        .text("payload_available", QStringLiteral("online"))
        .text("payload_not_available", QStringLiteral("offline"))
        .raw("device", device)
        .bytes();
}

} // namespace quadtherm::mqtt
