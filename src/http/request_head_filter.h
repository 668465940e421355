#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace quadtherm::http {

// Checks the bytes a client sends before Qt HttpServer parses them. Only
// well-formed GET and HEAD heads with no body go on; anything else is refused
// here with the status to answer, so the library's parser never meets input
// it rejects (in Qt HttpServer 6.4 a parse error leaves the connection open
// and its request object leaked). The grammar is a strict subset of what the
// parser takes: an origin-form target of URI characters, HTTP/1.0 or 1.1,
// header names of token characters and values of visible ASCII. The parser
// reads along as bytes arrive, so a byte no head may hold (beyond visible
// ASCII and TAB, or a CR not before LF) is refused the moment it comes; the
// rest of a line's grammar is checked at its end.
class RequestHeadFilter {
public:
    struct Limits {
        // A head, request line and headers, at most this long.
        int maxHeadBytes = 16 * 1024;
        int maxHeaderLines = 64;
    };

    struct Result {
        // Heads completed by these bytes.
        int heads = 0;
        // Non-zero: the status to answer with before closing (400, 405, 414, 431).
        int refusal = 0;
        QByteArray reason;
    };

    RequestHeadFilter() = default;
    explicit RequestHeadFilter(Limits limits) : m_limits(limits) {}

    // The next bytes from the client, in any chunking. After a refusal every
    // later call refuses again.
    Result feed(QByteArrayView bytes);

    // A head has begun and not ended: the client is in the middle of a request.
    bool inHead() const { return !m_line.isEmpty() || m_lines > 0; }
    // The last complete head asked for the connection to close after its
    // response ("Connection: close", or HTTP/1.0 without keep-alive).
    bool closeAfter() const { return m_closeAfter; }

private:
    // One line without its end; a refusal's status, or 0.
    int takeLine(QByteArrayView line);
    int requestLine(QByteArrayView line);
    int headerLine(QByteArrayView line);
    int refuse(int status, const char* why);

    Limits m_limits;
    QByteArray m_line;   // the line being received
    int m_headBytes = 0; // of the head being received
    int m_lines = 0;     // lines of the head so far, the request line included
    bool m_http10 = false;
    bool m_close = false;
    bool m_keepAlive = false;
    bool m_seenLength = false;
    bool m_closeAfter = false;
    int m_refused = 0;
    QByteArray m_reason;
};

} // namespace quadtherm::http
