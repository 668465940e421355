#pragma once

#include "mqtt/broker_link.h"
#include "mqtt/message_queue.h"
#include "mqtt/mqtt_options.h"
#include "mqtt/payloads.h"
#include "session/output_hub.h"
#include "shared/clock.h"
#include "shared/live_state.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QObject>

#include <functional>
#include <optional>

namespace quadtherm::mqtt {

// Turns what leaves the meter session into MQTT messages and hands them to
// the broker link as fast as it takes them. Lives on a thread of its own:
// the session's events reach it through its mailbox of the OutputHub, the
// link's news through queued calls, so nothing here ever waits on the
// session's thread, and nothing the broker does reaches back to it.
//
// Readings go to PREFIX/T1..T4 (JSON) and PREFIX/T1/value..T4/value (the
// bare number), retained: once a second at QoS 0 from the live readings, or
// while recording once per record at QoS 1 with its number. PREFIX/status
// is "online" while the meter's link is up and the broker connected
// ("offline" through the last will, on a lost link and at a clean end);
// PREFIX/status/detail carries the link, the recording and the drops;
// PREFIX/alarm each alarm and probe change of a channel.
class Publisher : public QObject, public session::OutputSink {
    Q_OBJECT
public:
    Publisher(const MqttOptions& options, BrokerLink& link, const shared::Clock& clock,
              QObject* parent = nullptr);

    // From the session, one at a time and in order.
    void receive(const session::OutEvent& event) override;

    // From the link, on this object's thread.
    void onConnected();
    void onFailed(const LinkFailure& failure);
    void onDelivered(int id);
    void onReceived(const QByteArray& topic, const QByteArray& payload);

    // How many events the hub had to drop before they reached us.
    void setHubDrops(std::function<quint64()> count) { m_hubDrops = std::move(count); }

    // Before the program ends: lets what waits go out while the broker takes
    // it, within `graceMs`, says "offline", and stops the link.
    void finish(int graceMs);

    bool connected() const { return m_connected; }
    // Messages waiting or on their way.
    qsizetype pending() const { return m_queue.streamSize() + m_inFlight.size(); }
    quint64 dropped() const { return m_queue.dropped(); }

    static QByteArray statusTopic(const QString& prefix);

Q_SIGNALS:
    // A line for standard error.
    void note(const QString& text);
    // A delivery or a failure: a wait in finish() looks again.
    void progressed();
    // The broker took the connection, or it was lost or refused.
    void connectionChanged(bool connected);

private:
    QByteArray topic(const QString& suffix) const;
    void noteUnit(const session::OutSample& sample);
    void publishReadings(const session::OutSample& sample, int qos);
    void noteChannelEvents(const session::OutSample& sample);
    void announce();
    void setStatus();
    void setDetail();
    void push(Message message);
    void pump();
    void waitUntilSent(const QDeadlineTimer& deadline);

    MqttOptions m_options;
    BrokerLink& m_link;
    const shared::Clock& m_clock;
    MessageQueue m_queue;
    // Ids handed to the link and not yet delivered, with their QoS.
    QHash<int, int> m_inFlight;
    bool m_connected = false;
    bool m_finishing = false;

    std::optional<bool> m_linkUp;
    bool m_recording = false;
    qint64 m_lastRecord = 0;
    StatusDetail m_detail;
    std::optional<bool> m_fahrenheit;
    std::optional<shared::PerChannel<ChannelMark>> m_marks;
    std::function<quint64()> m_hubDrops;

    QString m_lastFailure;
    bool m_everConnected = false;
    quint64 m_droppedBefore = 0; // at the start of the current outage
    bool m_toldFull = false;
    bool m_toldFailure = false; // connectionChanged(false) since the last connection
};

} // namespace quadtherm::mqtt
