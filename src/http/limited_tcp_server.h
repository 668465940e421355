#pragma once

#include "http/request_head_filter.h"
#include "http/server_figures.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include <memory>

class QTcpSocket;

namespace quadtherm::http {

struct ServerLimits {
    // Connections open at once; a new one beyond them takes the place of the
    // connection idle longest, or is closed at once when none is idle.
    int maxClients = 64;
    // A request line and its headers.
    int maxHeadBytes = 16 * 1024;
    // A connection must send a whole request within this long of opening or
    // of its last response, else it is closed.
    int idleMs = 10000;
};

class LimitedTcpServer;

// One client's connection: checks its bytes before Qt HttpServer parses
// them, and closes it when it breaks a limit. A child of its socket, so it
// goes when the socket does, however the library ends it.
class Connection : public QObject {
    Q_OBJECT
public:
    Connection(QTcpSocket* socket, LimitedTcpServer& server);
    ~Connection() override;

    QTcpSocket* socket() const { return m_socket; }
    // Open, not in the middle of a request, nothing left to send.
    bool idle() const;
    bool closing() const { return m_closing; }
    // Still counted against the limit: not yet dropped.
    bool counted() const { return m_counted; }
    qint64 idleForMs() const { return m_since.elapsed(); }

    // The request being answered asked for the connection to close after it.
    bool closesAfterResponse() const { return m_filter.closeAfter(); }
    // A response went out: the clock starts again, and the connection
    // closes once it is sent when its request asked for that.
    void responded();
    // Answers `status` with `reason` as its text and closes.
    void refuse(int status, const QByteArray& reason, Refusal why);
    // Ends it now, with nothing more sent.
    void drop();

private:
    void onReadyRead();
    void onDeadline();
    void closeAfterSending();
    // Stops the library's parser from seeing any more of this connection.
    void cutFromParser();

    QTcpSocket* m_socket;
    QPointer<LimitedTcpServer> m_server;
    QPointer<QObject> m_parser;
    RequestHeadFilter m_filter;
    QTimer m_deadline;
    QElapsedTimer m_since;
    bool m_closing = false;
    bool m_counted = true;
};

// The listening socket Qt HttpServer is bound to: it hands on each
// connection with a Connection watching it, and keeps the number of clients,
// the size of a request and the time a client may hold a connection bounded.
class LimitedTcpServer : public QTcpServer {
    Q_OBJECT
public:
    explicit LimitedTcpServer(const ServerLimits& limits, QObject* parent = nullptr);
    ~LimitedTcpServer() override;

    const ServerLimits& limits() const { return m_limits; }
    int connections() const { return m_open; }
    const std::array<quint64, kRefusals>& refused() const { return m_refused; }
    void count(Refusal why) { ++m_refused[size_t(why)]; }
    // The Connection watching a socket this server made, or null.
    static Connection* connectionOf(QTcpSocket* socket);

protected:
    void incomingConnection(qintptr handle) override;

private:
    friend class Connection;
    // Closes a connection that is closing anyway or idle longest; false when
    // every one is in the middle of a request.
    bool makeRoom();

    ServerLimits m_limits;
    int m_open = 0;
    std::array<quint64, kRefusals> m_refused{};
    QList<QPointer<Connection>> m_connections;
};

} // namespace quadtherm::http
