#pragma once

#include "http/credentials.h"
#include "http/limited_tcp_server.h"
#include "http/listen_options.h"
#include "http/live_mirror.h"

#include <QAbstractHttpServer>
#include <QHash>
#include <QPointer>

#include <functional>
#include <optional>

namespace quadtherm::http {

// What the server answers: / (the live page and its files), /metrics,
// /api/live and /api/history, to GET and HEAD only, and to nothing else.
// Nothing here can reach the meter: requests read the server's own mirror
// of the session's output. Lives on the web server's thread (HttpThread).
class HttpServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    HttpServer(const QString& port, std::optional<Credentials> credentials,
               const ServerLimits& limits, QObject* parent = nullptr);

    // Listens through a LimitedTcpServer; false with the system's reason.
    bool listenOn(const ListenAddress& where, QString* error);
    QHostAddress address() const;
    quint16 port() const;

    LiveMirror& mirror() { return m_mirror; }
    // Where the count of events the session's hub dropped for us comes from.
    void setDroppedCount(std::function<quint64()> dropped) { m_dropped = std::move(dropped); }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Reply {
        int status = 200;
        QByteArray type;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;
    };
    Reply reply(const QHttpServerRequest& request);
    void send(const QHttpServerRequest& request, QTcpSocket* socket, const Reply& reply);
    ServerFigures figures() const;
    // A loopback server answers only to loopback names: a web page elsewhere
    // whose name was made to point at 127.0.0.1 cannot read the meter
    // through the browser of someone looking at it.
    bool hostAllowed(const QByteArray& host) const;

    struct PageFile {
        QByteArray type;
        QByteArray body;
    };
    QHash<QString, PageFile> m_files;
    std::optional<Credentials> m_credentials;
    ServerLimits m_limits;
    LiveMirror m_mirror;
    QPointer<LimitedTcpServer> m_tcp;
    bool m_loopbackOnly = true;
    std::function<quint64()> m_dropped;
};

} // namespace quadtherm::http
