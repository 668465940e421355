#include "session/session_thread.h"

#include "session/meter_session.h"

namespace quadtherm::session {

SessionThread::SessionThread(shared::Clock& clock, shared::RunState& state, PortFactory makePort,
                             recording::Recorder::DeviceFactory openFile) {
    m_thread.setObjectName(QStringLiteral("meter session"));
    m_anchor.moveToThread(&m_thread);
    // Destroyed on their own thread, once its event loop has stopped.
    QObject::connect(
        &m_thread, &QThread::finished, &m_anchor,
        [this] {
            m_session.reset();
            m_port.reset();
        },
        Qt::DirectConnection);
    m_thread.start();
    QMetaObject::invokeMethod(
        &m_anchor,
        [&, this] {
            m_port = makePort();
            m_session = std::make_unique<MeterSession>(*m_port, clock, state, std::move(openFile));
        },
        Qt::BlockingQueuedConnection);
}

SessionThread::~SessionThread() {
    if (m_session)
        m_session->requestStop();
    // Every event loop of the thread, the waits' own included, ends; the
    // waits see the stop and return.
    m_thread.quit();
    m_thread.wait();
}

bool SessionThread::openPort(QString* error) {
    bool opened = false;
    QString reason;
    QMetaObject::invokeMethod(
        &m_anchor,
        [&, this] {
            opened = m_port->setSettings(QString::fromLatin1(meter_link::kMeterSettings)) &&
                     m_port->open();
            if (!opened)
                reason = m_port->errorString();
        },
        Qt::BlockingQueuedConnection);
    if (error)
        *error = reason;
    return opened;
}

} // namespace quadtherm::session
