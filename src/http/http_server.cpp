#include "http/http_server.h"

#include "http/live_json.h"
#include "http/metrics_text.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>

namespace quadtherm::http {

namespace {

using Method = QHttpServerRequest::Method;
using Status = QHttpServerResponder::StatusCode;

// The page's files, built into the program (qt_add_resources in
// CMakeLists.txt): the page works with no internet access.
const struct {
    const char* path;
    const char* resource;
    const char* type;
} kPageFiles[] = {
    {"/", ":/http/index.html", "text/html; charset=utf-8"},
    {"/app.js", ":/http/app.js", "text/javascript; charset=utf-8"},
    {"/style.css", ":/http/style.css", "text/css; charset=utf-8"},
    {"/icon.svg", ":/http/icon.svg", "image/svg+xml"},
};

const QByteArray kMetricsType = "text/plain; version=0.0.4; charset=utf-8";
const QByteArray kJsonType = "application/json";
const QByteArray kTextType = "text/plain; charset=utf-8";

} // namespace

HttpServer::HttpServer(const QString& port, std::optional<Credentials> credentials,
                       const ServerLimits& limits, QObject* parent)
    : QAbstractHttpServer(parent), m_credentials(std::move(credentials)), m_limits(limits),
      m_mirror(port) {
    for (const auto& file : kPageFiles) {
        QFile resource(QString::fromLatin1(file.resource));
        if (resource.open(QIODevice::ReadOnly))
            m_files.insert(QString::fromLatin1(file.path), {file.type, resource.readAll()});
    }
}

bool HttpServer::listenOn(const ListenAddress& where, QString* error) {
    auto* tcp = new LimitedTcpServer(m_limits, this);
    if (!tcp->listen(where.address, where.port)) {
        *error = tcp->errorString();
        delete tcp;
        return false;
    }
    bind(tcp);
    m_tcp = tcp;
    m_loopbackOnly = where.address.isLoopback();
    return true;
}

QHostAddress HttpServer::address() const {
    return m_tcp ? m_tcp->serverAddress() : QHostAddress();
}

quint16 HttpServer::port() const {
    return m_tcp ? m_tcp->serverPort() : 0;
}

ServerFigures HttpServer::figures() const {
    ServerFigures out;
    out.dropped = m_dropped ? m_dropped() : 0;
    if (m_tcp) {
        out.connections = m_tcp->connections();
        out.refused = m_tcp->refused();
    }
    return out;
}

HttpServer::Reply HttpServer::reply(const QHttpServerRequest& request) {
    // The filter in front of the parser lets only GET and HEAD through; this
    // holds even if that changed.
    if (request.method() != Method::Get && request.method() != Method::Head) {
        if (m_tcp)
            m_tcp->count(Refusal::Method);
        return {405, kTextType, "only GET and HEAD are served\n", {{"Allow", "GET, HEAD"}}};
    }
    if (!hostAllowed(request.value("host"))) {
        if (m_tcp)
            m_tcp->count(Refusal::ForeignHost);
        return {403, kTextType, "this server answers to 127.0.0.1 and localhost only\n", {}};
    }
    if (m_credentials && !m_credentials->accepts(request.value("authorization"))) {
        if (m_tcp)
            m_tcp->count(Refusal::Unauthorized);
        return {401,
                kTextType,
                "a user name and password are needed\n",
                {{"WWW-Authenticate", "Basic realm=\"QuadTherm\", charset=\"UTF-8\""}}};
    }
    const QString path = request.url().path();
    const QList<std::pair<QByteArray, QByteArray>> fresh{{"Cache-Control", "no-store"}};
    if (path == QStringLiteral("/metrics"))
        return {200, kMetricsType, metricsText(m_mirror.view(), figures()), fresh};
    if (path == QStringLiteral("/api/live"))
        return {200, kJsonType, liveJson(m_mirror.view()), fresh};
    if (path == QStringLiteral("/api/history"))
        return {200, kJsonType, historyJson(m_mirror.view(), m_mirror.history()), fresh};
    const auto file = m_files.constFind(path == QStringLiteral("/index.html") ? "/" : path);
    if (file != m_files.cend())
        return {200, file->type, file->body, {{"Cache-Control", "no-cache"}}};
    return {404, kTextType, "not found\n", {}};
}

bool HttpServer::hostAllowed(const QByteArray& host) const {
    if (!m_loopbackOnly || host.isEmpty())
        return true;
    QByteArray name = host;
    if (name.startsWith('[')) {
        name = name.mid(1, name.indexOf(']') - 1);
    } else if (const qsizetype colon = name.lastIndexOf(':'); colon >= 0) {
        name.truncate(colon);
    }
    return name.toLower() == "localhost" || QHostAddress(QString::fromLatin1(name)).isLoopback();
}

void HttpServer::send(const QHttpServerRequest& request, QTcpSocket* socket, const Reply& reply) {
    auto responder = makeResponder(request, socket);
    responder.writeStatusLine(Status(reply.status));
    responder.writeHeader("Content-Type", reply.type);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    for (const auto& [name, value] : reply.headers)
        responder.writeHeader(name, value);
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Referrer-Policy", "no-referrer");
    responder.writeHeader("Content-Security-Policy",
                          "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
    const Connection* connection = LimitedTcpServer::connectionOf(socket);
    if (connection && connection->closesAfterResponse())
        responder.writeHeader("Connection", "close");
    else
        responder.writeHeader("Keep-Alive",
                              "timeout=" + QByteArray::number(qMax(1, m_limits.idleMs / 1000)));
    // HEAD: the same head, with its length, and no body.
    responder.writeBody(request.method() == Method::Head ? QByteArray() : reply.body);
}

bool HttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    send(request, socket, reply(request));
    if (Connection* connection = LimitedTcpServer::connectionOf(socket))
        connection->responded();
    return true;
}

void HttpServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    send(request, socket, {404, kTextType, "not found\n", {}});
}

} // namespace quadtherm::http
