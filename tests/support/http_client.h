#pragma once

// A plain HTTP/1.1 client over a QTcpSocket for the web server's suites: it
// sends bytes exactly as given (a header of a megabyte, a request a byte at a
// time, a method of its own), reads one response back, and tells whether the
// server closed the connection. Blocking, so it also works on a thread
// without an event loop. Header only.

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>

namespace quadtherm::test {

struct HttpReply {
    int status = 0; // 0: no response came
    QByteArray head;
    QByteArray body;
    // A header's value, by its name in any case; empty when it is not there.
    QByteArray header(const QByteArray& name) const {
        for (const QByteArray& line : head.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
};

class HttpClient {
public:
    explicit HttpClient(quint16 port, int timeoutMs = 5000) : m_timeoutMs(timeoutMs) {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_socket.waitForConnected(timeoutMs);
    }
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    QTcpSocket& socket() { return m_socket; }

    // False when the server had closed the connection.
    bool send(const QByteArray& bytes) {
        if (!connected() || m_socket.write(bytes) != bytes.size())
            return false;
        while (m_socket.bytesToWrite() > 0 && connected())
            if (!m_socket.waitForBytesWritten(m_timeoutMs))
                return false;
        return connected();
    }
    // One response; the response to a HEAD has no body.
    HttpReply read(bool toHead = false) {
        HttpReply reply;
        QElapsedTimer waited;
        waited.start();
        qsizetype end = -1;
        while ((end = m_buffer.indexOf("\r\n\r\n")) < 0)
            if (!more(waited))
                return reply;
        reply.head = m_buffer.left(end);
        m_buffer.remove(0, end + 4);
        reply.status = reply.head.mid(9, 3).toInt();
        const qsizetype length = toHead ? 0 : reply.header("Content-Length").toLongLong();
        while (m_buffer.size() < length)
            if (!more(waited))
                break;
        reply.body = m_buffer.left(length);
        m_buffer.remove(0, length);
        return reply;
    }
    // Waits for the server to close the connection; true when it did.
    bool closedByServer(int timeoutMs) {
        QElapsedTimer waited;
        waited.start();
        while (connected() && waited.elapsed() < timeoutMs) {
            m_socket.waitForReadyRead(int(qMax<qint64>(1, timeoutMs - waited.elapsed())));
            m_buffer += m_socket.readAll();
        }
        return !connected();
    }

private:
    bool more(const QElapsedTimer& waited) {
        const qint64 left = m_timeoutMs - waited.elapsed();
        if (m_socket.bytesAvailable() == 0 && (left <= 0 || !m_socket.waitForReadyRead(int(left))))
            return false;
        m_buffer += m_socket.readAll();
        return true;
    }

    QTcpSocket m_socket;
    QByteArray m_buffer;
    int m_timeoutMs;
};

inline HttpReply httpRequest(quint16 port, const QByteArray& method, const QByteArray& path,
                             const QByteArray& headers = {}) {
    HttpClient client(port);
    client.send(method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n");
    return client.read(method == "HEAD");
}

inline HttpReply httpGet(quint16 port, const QByteArray& path, const QByteArray& headers = {}) {
    return httpRequest(port, "GET", path, headers);
}

} // namespace quadtherm::test
