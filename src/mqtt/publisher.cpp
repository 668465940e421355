#include "mqtt/publisher.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace quadtherm::mqtt {

using session::OutEvent;

namespace {

const QByteArray kHomeAssistantStatus = "homeassistant/status";

QString channelTopic(int channel) {
    return QStringLiteral("T%1").arg(channel + 1);
}

} // namespace

Publisher::Publisher(const MqttOptions& options, BrokerLink& link, const shared::Clock& clock,
                     QObject* parent)
    : QObject(parent), m_options(options), m_link(link), m_clock(clock),
      m_queue(options.queueLimit) {
    m_detail.queueLimit = options.queueLimit;
}

QByteArray Publisher::statusTopic(const QString& prefix) {
    return (prefix + QStringLiteral("/status")).toUtf8();
}

QByteArray Publisher::topic(const QString& suffix) const {
    return (m_options.broker.prefix + u'/' + suffix).toUtf8();
}

void Publisher::receive(const OutEvent& event) {
    switch (event.kind) {
    case OutEvent::Kind::Live:
        noteUnit(event.sample);
        noteChannelEvents(event.sample);
        if (!m_recording)
            publishReadings(event.sample, 0);
        break;
    case OutEvent::Kind::Cycle:
        noteUnit(event.sample);
        if (event.sample.record > 0) {
            m_lastRecord = event.sample.record;
            publishReadings(event.sample, 1);
        }
        break;
    case OutEvent::Kind::Link:
        m_linkUp = event.linkUp;
        setStatus();
        setDetail();
        break;
    case OutEvent::Kind::RecordingStarted:
        m_recording = true;
        m_detail.file = event.path;
        m_detail.records.reset();
        m_detail.ended.clear();
        m_detail.error.clear();
        setDetail();
        break;
    case OutEvent::Kind::RecordingEnded:
        m_recording = false;
        m_detail.file = event.path;
        m_detail.records = event.records;
        m_detail.ended = event.why;
        m_detail.error = event.error;
        setDetail();
        break;
    case OutEvent::Kind::Frame: // not asked for: the readings go out once a second
        return;
    }
    pump();
}

void Publisher::noteUnit(const session::OutSample& sample) {
    // Home Assistant learns the unit from the announcement.
    if (m_fahrenheit == sample.fahrenheit)
        return;
    m_fahrenheit = sample.fahrenheit;
    announce();
}

void Publisher::publishReadings(const session::OutSample& sample, int qos) {
    for (int k = 0; k < shared::kChannels; ++k) {
        const session::OutReading& reading = sample.channels[k];
        const QString channel = channelTopic(k);
        push({topic(channel), readingJson(reading, sample.fahrenheit, sample.at, sample.record),
              qos, true});
        // An empty retained message clears the number the broker kept:
        // over, under or no probe, there is no value to read.
        push({topic(channel + QStringLiteral("/value")), readingValue(reading), qos, true});
    }
}

void Publisher::noteChannelEvents(const session::OutSample& sample) {
    shared::PerChannel<ChannelMark> marks;
    for (int k = 0; k < shared::kChannels; ++k)
        marks[k] = markOf(sample.channels[k]);
    // The first readings set where the channels stand; only changes are events.
    if (m_marks) {
        for (int k = 0; k < shared::kChannels; ++k)
            for (const ChannelEvent event : channelEvents((*m_marks)[k], marks[k]))
                push({topic(QStringLiteral("alarm")),
                      alarmJson(k, event, sample.channels[k], sample.at), 1, false});
    }
    m_marks = marks;
}

void Publisher::announce() {
    if (!m_options.discovery || !m_fahrenheit)
        return;
    for (int k = 0; k < shared::kChannels; ++k)
        m_queue.setLatest({discoveryTopic(m_options.broker.prefix, k),
                           discoveryConfig(m_options.broker.prefix, k, *m_fahrenheit), 1, true});
}

void Publisher::setStatus() {
    m_queue.setLatest({statusTopic(m_options.broker.prefix),
                       m_linkUp.value_or(false) ? QByteArray("online") : QByteArray("offline"), 1,
                       true});
}

void Publisher::setDetail() {
    m_detail.linkUp = m_linkUp;
    m_detail.recording = m_recording;
    m_detail.dropped = m_queue.dropped();
    // Never less than told before: the hub forgets the count once detached.
    if (m_hubDrops)
        m_detail.droppedEvents = std::max(m_detail.droppedEvents, m_hubDrops());
    m_detail.at = m_clock.now();
    m_queue.setLatest(
        {topic(QStringLiteral("status/detail")), statusDetailJson(m_detail), 1, true});
}

void Publisher::push(Message message) {
    if (!m_queue.push(std::move(message)))
        return;
    if (!m_toldFull) {
        m_toldFull = true;
        Q_EMIT note(QStringLiteral("the MQTT queue of %1 messages is full: the oldest are "
                                   "dropped until the broker takes messages again")
                        .arg(m_queue.limit()));
    }
    setDetail();
}

void Publisher::pump() {
    while (m_connected && m_inFlight.size() < kInFlight && !m_queue.empty()) {
        Message message = m_queue.takeNext();
        const BrokerLink::Sent sent = m_link.send(message);
        switch (sent.outcome) {
        case BrokerLink::Sent::Outcome::Taken:
            m_inFlight.insert(sent.id, message.qos);
            break;
        case BrokerLink::Sent::Outcome::NotNow:
            m_queue.putBack(std::move(message));
            return;
        case BrokerLink::Sent::Outcome::Never:
            Q_EMIT note(QStringLiteral("a message to %1 cannot be published: %2")
                            .arg(QString::fromUtf8(message.topic), sent.why));
            break;
        }
    }
}

void Publisher::onConnected() {
    m_connected = true;
    const QString where = m_options.broker.where();
    if (!m_everConnected) {
        Q_EMIT note(QStringLiteral("connected to the MQTT broker at %1, publishing to %2/...")
                        .arg(where, m_options.broker.prefix));
    } else if (!m_lastFailure.isEmpty()) {
        const quint64 lost = m_queue.dropped() - m_droppedBefore;
        QString text =
            QStringLiteral("connected to the MQTT broker at %1 again: %2 waiting messages go out")
                .arg(where)
                .arg(pending());
        if (lost > 0)
            text += QStringLiteral("; %1 were dropped while it was away").arg(lost);
        Q_EMIT note(text);
    }
    m_everConnected = true;
    m_lastFailure.clear();
    m_toldFailure = false;
    Q_EMIT connectionChanged(true);
    m_toldFull = false;
    // The last will may have said "offline" since the last connection.
    setStatus();
    setDetail();
    announce();
    pump();
    Q_EMIT progressed();
}

void Publisher::onFailed(const LinkFailure& failure) {
    if (m_connected)
        m_droppedBefore = m_queue.dropped();
    const bool wasConnected = m_connected || !m_toldFailure;
    m_toldFailure = true;
    m_connected = false;
    if (wasConnected)
        Q_EMIT connectionChanged(false);
    // QoS 0 messages the library had not written are gone with the connection.
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();)
        it = it.value() == 0 ? m_inFlight.erase(it) : std::next(it);
    const QString text = failureText(failure, m_options.broker.where());
    if (text != m_lastFailure && !m_finishing)
        Q_EMIT note(text + QStringLiteral("; the readings wait in a queue of up to %1 messages and "
                                          "the connection is retried, every 1 s at first and at "
                                          "most every 30 s")
                               .arg(m_queue.limit()));
    m_lastFailure = text;
    Q_EMIT progressed();
}

void Publisher::onDelivered(int id) {
    m_inFlight.remove(id);
    pump();
    Q_EMIT progressed();
}

void Publisher::onReceived(const QByteArray& topic, const QByteArray& payload) {
    // Home Assistant says "online" when it starts: it forgot what was
    // announced unless the broker kept it, so it is announced again.
    if (topic == kHomeAssistantStatus && payload == "online") {
        announce();
        pump();
    }
}

void Publisher::waitUntilSent(const QDeadlineTimer& deadline) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &Publisher::progressed, &loop, &QEventLoop::quit);
    while (m_connected && !(m_queue.empty() && m_inFlight.isEmpty()) && !deadline.hasExpired()) {
        timer.start(int(qMax<qint64>(1, deadline.remainingTime())));
        loop.exec();
    }
}

void Publisher::finish(int graceMs) {
    m_finishing = true;
    const QDeadlineTimer deadline(graceMs);
    waitUntilSent(deadline);
    if (m_connected) {
        // A recording the program's end stops (a record count reached,
        // Ctrl-C) ends with what it wrote.
        if (m_recording) {
            m_recording = false;
            m_detail.records = m_lastRecord;
            m_detail.ended = QStringLiteral("stopped");
        }
        setDetail();
        // A clean disconnect sends no last will: the status says it itself.
        m_queue.setLatest({statusTopic(m_options.broker.prefix), "offline", 1, true});
        pump();
        waitUntilSent(deadline);
    }
    if (const qsizetype left = pending(); left > 0)
        Q_EMIT note(QStringLiteral("%1 MQTT messages were not delivered: %2")
                        .arg(left)
                        .arg(m_connected
                                 ? QStringLiteral("the broker did not take them in time")
                                 : QStringLiteral("there was no connection to the broker")));
    if (m_queue.dropped() > 0)
        Q_EMIT note(QStringLiteral("%1 MQTT messages were dropped in all: the queue holds %2")
                        .arg(m_queue.dropped())
                        .arg(m_queue.limit()));
    m_link.stop();
}

} // namespace quadtherm::mqtt
