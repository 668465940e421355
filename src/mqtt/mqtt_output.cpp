#include "mqtt/mqtt_output.h"

#include "mqtt/mosquitto_link.h"
#include "mqtt/publisher.h"

#include <QCoreApplication>

namespace quadtherm::mqtt {

namespace {

// The callbacks come on the library's network thread; each is handed to the
// publisher's thread as a queued call, in the order they came.
template <typename Work> void onPublisherThread(Publisher* publisher, Work work) {
    QMetaObject::invokeMethod(publisher, std::move(work), Qt::QueuedConnection);
}

} // namespace

MqttOutput::MqttOutput(const MqttOptions& options, session::OutputHub& hub,
                       const shared::Clock& clock, QObject* parent)
    : QObject(parent), m_hub(hub) {
    QByteArrayList subscriptions;
    if (options.discovery)
        subscriptions << QByteArrayLiteral("homeassistant/status");
    m_link = std::make_unique<MosquittoLink>(options, Publisher::statusTopic(options.broker.prefix),
                                             subscriptions);
    m_publisher = std::make_unique<Publisher>(options, *m_link, clock);
    Publisher* publisher = m_publisher.get();
    publisher->moveToThread(&m_thread);
    connect(publisher, &Publisher::note, this, &MqttOutput::note, Qt::QueuedConnection);
    connect(publisher, &Publisher::connectionChanged, this, &MqttOutput::connectionChanged,
            Qt::QueuedConnection);
    m_thread.setObjectName(QStringLiteral("mqtt"));
    m_thread.start();

    BrokerLink::Handlers handlers;
    handlers.connected = [publisher] {
        onPublisherThread(publisher, [publisher] { publisher->onConnected(); });
    };
    handlers.failed = [publisher](const LinkFailure& failure) {
        onPublisherThread(publisher, [publisher, failure] { publisher->onFailed(failure); });
    };
    handlers.delivered = [publisher](int id) {
        onPublisherThread(publisher, [publisher, id] { publisher->onDelivered(id); });
    };
    handlers.received = [publisher](const QByteArray& topic, const QByteArray& payload) {
        onPublisherThread(publisher,
                          [publisher, topic, payload] { publisher->onReceived(topic, payload); });
    };
    m_link->start(std::move(handlers));

    const int id = m_attachment = hub.attach(publisher, publisher);
    onPublisherThread(publisher, [publisher, &hub, id] {
        publisher->setHubDrops([&hub, id] { return hub.dropped(id); });
    });
}

MqttOutput::~MqttOutput() {
    finish();
}

void MqttOutput::finish() {
    if (m_finished)
        return;
    m_finished = true;
    Publisher* publisher = m_publisher.get();
    session::OutputHub& hub = m_hub;
    const int id = m_attachment;
    // Detached on the publisher's thread, between two of its events, so
    // that no event is being handed to it while it goes.
    QMetaObject::invokeMethod(
        publisher,
        [publisher, &hub, id] {
            hub.detach(id);
            publisher->finish(kFinishGraceMs);
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    // The notes of the end, queued to this thread, before the caller goes on.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

} // namespace quadtherm::mqtt
