#pragma once

#include "mqtt/mqtt_options.h"
#include "session/output_hub.h"
#include "shared/clock.h"

#include <QObject>
#include <QThread>

#include <memory>

namespace quadtherm::mqtt {

class MosquittoLink;
class Publisher;

// The readings out to an MQTT broker, for as long as this object lives: a
// publisher on a thread of its own, attached to the session's OutputHub,
// and a link to the broker on the library's network thread. Nothing here
// runs on the session's thread, so a broker that is down, slow or
// restarting never holds a reading or a record up. Make and destroy it on
// one thread; note() is emitted there.
class MqttOutput : public QObject {
    Q_OBJECT
public:
    // How long the end of the program waits for the broker to take what is
    // still queued.
    static constexpr int kFinishGraceMs = 2000;

    MqttOutput(const MqttOptions& options, session::OutputHub& hub, const shared::Clock& clock,
               QObject* parent = nullptr);
    // finish() when it was not called.
    ~MqttOutput() override;

    // Detaches from the hub, lets the queue go out for at most
    // kFinishGraceMs, says "offline" and disconnects cleanly. The notes it
    // makes are emitted before it returns.
    void finish();

Q_SIGNALS:
    // A line for the user: connected, lost, refused, dropped.
    void note(const QString& text);
    // Whether the broker holds the connection: true once it took it, false
    // when it was lost or could not be made.
    void connectionChanged(bool connected);

private:
    session::OutputHub& m_hub;
    QThread m_thread;
    std::unique_ptr<MosquittoLink> m_link;
    std::unique_ptr<Publisher> m_publisher;
    int m_attachment = 0;
    bool m_finished = false;
};

} // namespace quadtherm::mqtt
