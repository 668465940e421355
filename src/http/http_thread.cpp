#include "http/http_thread.h"

#include "http/http_server.h"
#include "session/output_hub.h"

namespace quadtherm::http {

namespace {

// Readings and events waiting for the server's thread; two a second arrive
// while the link is up, so this holds over half an hour of a stalled thread.
constexpr int kMailbox = 4096;

} // namespace

HttpThread::HttpThread(const Options& options) : m_options(options) {
    m_thread.setObjectName(QStringLiteral("http"));
    m_anchor.moveToThread(&m_thread);
    m_thread.start();
    // Made there, so that the objects the library makes inside it live there too.
    onServerThread([this] {
        m_server = new HttpServer(m_options.port, m_options.credentials, m_options.limits);
    });
}

HttpThread::~HttpThread() {
    detach();
    onServerThread([this] {
        delete m_server;
        m_server = nullptr;
    });
    m_thread.quit();
    m_thread.wait();
}

void HttpThread::onServerThread(const std::function<void()>& work) {
    Q_ASSERT(QThread::currentThread() != &m_thread);
    QMetaObject::invokeMethod(&m_anchor, work, Qt::BlockingQueuedConnection);
}

bool HttpThread::listen(QString* error) {
    bool ok = false;
    onServerThread([&] {
        ok = m_server->listenOn(m_options.where, error);
        m_address = m_server->address();
        m_port = m_server->port();
    });
    return ok;
}

QString HttpThread::url() const {
    return QStringLiteral("http://%1/").arg(hostAndPort(m_address, m_port));
}

void HttpThread::attach(session::OutputHub& hub) {
    detach();
    m_hub = &hub;
    m_attachment = hub.attach(&m_server->mirror(), m_server, kMailbox);
    onServerThread([this, id = m_attachment] {
        m_server->setDroppedCount([hub = m_hub, id] { return hub->dropped(id); });
    });
}

void HttpThread::detach() {
    if (!m_hub)
        return;
    // On the server's thread: no event is being handed to the mirror then.
    onServerThread([this] {
        m_hub->detach(m_attachment);
        m_server->setDroppedCount({});
    });
    m_hub = nullptr;
    m_attachment = 0;
}

} // namespace quadtherm::http
