#include "http/limited_tcp_server.h"

#include <QTcpSocket>

#include <unistd.h>

namespace quadtherm::http {

namespace {

// How long a refused or finished connection may take to read its last
// response before it is cut.
constexpr int kLingerMs = 2000;

QByteArray statusText(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

Refusal refusalOf(int status) {
    switch (status) {
    case 405:
        return Refusal::Method;
    case 414:
    case 431:
        return Refusal::TooLarge;
    default:
        return Refusal::BadRequest;
    }
}

} // namespace

Connection::Connection(QTcpSocket* socket, LimitedTcpServer& server)
    : QObject(socket), m_socket(socket), m_server(&server), m_parser(server.parent()),
      m_filter(RequestHeadFilter::Limits{server.limits().maxHeadBytes, 64}) {
    ++server.m_open;
    m_since.start();
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &Connection::onDeadline);
    // Made before the library connects its own parser, so this runs first.
    connect(socket, &QIODevice::readyRead, this, &Connection::onReadyRead);
    m_deadline.start(server.limits().idleMs);
}

Connection::~Connection() {
    if (m_counted && m_server)
        --m_server->m_open;
}

bool Connection::idle() const {
    return !m_closing && !m_filter.inHead() && m_socket->bytesToWrite() == 0 &&
           m_socket->state() == QAbstractSocket::ConnectedState;
}

void Connection::responded() {
    if (m_closing)
        return;
    m_since.restart();
    if (!m_filter.closeAfter()) {
        m_deadline.start(m_server ? m_server->limits().idleMs : kLingerMs);
        return;
    }
    closeAfterSending();
}

void Connection::closeAfterSending() {
    m_closing = true;
    cutFromParser();
    m_socket->disconnectFromHost();
    m_deadline.start(kLingerMs);
}

void Connection::refuse(int status, const QByteArray& reason, Refusal why) {
    if (m_closing)
        return;
    if (m_server)
        m_server->count(why);
    cutFromParser();
    const QByteArray body = reason + '\n';
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + statusText(status) +
                      "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n";
    if (status == 405)
        head += "Allow: GET, HEAD\r\n";
    m_socket->write(head + "\r\n" + body);
    closeAfterSending();
}

void Connection::drop() {
    m_closing = true;
    m_deadline.stop();
    if (m_counted && m_server) {
        m_counted = false;
        --m_server->m_open;
    }
    cutFromParser();
    m_socket->abort();
    // The library deletes a socket once it is disconnected; this covers a
    // socket it no longer watches.
    m_socket->deleteLater();
}

void Connection::onReadyRead() {
    if (m_closing)
        return;
    const auto result = m_filter.feed(m_socket->peek(m_socket->bytesAvailable()));
    if (result.refusal != 0)
        refuse(result.refusal, result.reason, refusalOf(result.refusal));
}

void Connection::onDeadline() {
    if (m_closing)
        drop();
    else if (m_filter.inHead())
        refuse(408, "the request did not arrive in time", Refusal::Timeout);
    else
        closeAfterSending();
}

void Connection::cutFromParser() {
    // The library's parser is a slot on readyRead with the HTTP server as its
    // context; disconnected during an emission it is skipped for that one too.
    if (m_parser)
        QObject::disconnect(m_socket, &QIODevice::readyRead, m_parser.data(), nullptr);
}

LimitedTcpServer::LimitedTcpServer(const ServerLimits& limits, QObject* parent)
    : QTcpServer(parent), m_limits(limits) {}

LimitedTcpServer::~LimitedTcpServer() {
    // While this is still whole: each socket's Connection counts itself out.
    qDeleteAll(findChildren<QTcpSocket*>(QString(), Qt::FindDirectChildrenOnly));
}

Connection* LimitedTcpServer::connectionOf(QTcpSocket* socket) {
    return socket->findChild<Connection*>(QString(), Qt::FindDirectChildrenOnly);
}

void LimitedTcpServer::incomingConnection(qintptr handle) {
    m_connections.removeAll(nullptr);
    if (m_open >= m_limits.maxClients && !makeRoom()) {
        ::close(int(handle));
        count(Refusal::ClientLimit);
        return;
    }
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        ::close(int(handle));
        delete socket;
        return;
    }
    // What a client may have waiting unread: twice the largest head, so a
    // client that sends without pause is refused long before this fills.
    socket->setReadBufferSize(qMax(4096, 2 * m_limits.maxHeadBytes));
    m_connections.append(new Connection(socket, *this));
    addPendingConnection(socket);
}

bool LimitedTcpServer::makeRoom() {
    Connection* victim = nullptr;
    for (const auto& connection : std::as_const(m_connections)) {
        if (connection.isNull() || !connection->counted())
            continue;
        if (connection->closing()) {
            victim = connection;
            break;
        }
        if (connection->idle() && (!victim || connection->idleForMs() > victim->idleForMs()))
            victim = connection;
    }
    if (!victim)
        return false;
    if (!victim->closing())
        count(Refusal::IdleEvicted);
    victim->drop();
    return true;
}

} // namespace quadtherm::http
