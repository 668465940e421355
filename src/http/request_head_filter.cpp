#include "http/request_head_filter.h"

#include <QList>

namespace quadtherm::http {

namespace {

// RFC 9110's tchar: what a method and a header name are made of.
bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text) {
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (!isTokenChar(c))
            return false;
    return true;
}

// Unreserved, sub-delims, ':', '@', '/', '?' and '%': what a browser leaves
// unescaped in a path and query. Narrower than the parser's own set on
// purpose: '#', quotes, braces, backslashes and non-ASCII bytes are refused.
bool isTargetChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("-._~!$&'()*+,;=:@/?%").contains(c);
}

bool isFieldValueChar(char c) {
    return c == '\t' || (c >= 0x20 && c <= 0x7e);
}

QByteArrayView trimmed(QByteArrayView text) {
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

} // namespace

RequestHeadFilter::Result RequestHeadFilter::feed(QByteArrayView bytes) {
    Result result;
    for (qsizetype i = 0; i < bytes.size() && m_refused == 0; ++i) {
        const char c = bytes[i];
        // Refused as it arrives, not at its line's end: the parser reads the
        // same bytes meanwhile, and must never meet one it rejects.
        if (!m_line.isEmpty() && m_line.back() == '\r' && c != '\n') {
            refuse(400, "a carriage return inside a line");
            break;
        }
        if (c != '\n' && c != '\r' && !isFieldValueChar(c)) {
            refuse(400, "a byte a request head may not hold");
            break;
        }
        if (c != '\n') {
            m_line.append(c);
            if (++m_headBytes > m_limits.maxHeadBytes)
                refuse(m_lines == 0 ? 414 : 431,
                       m_lines == 0 ? "request line too long" : "request head too large");
            continue;
        }
        ++m_headBytes;
        QByteArrayView line(m_line);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty()) {
            // Empty lines before a request line are skipped, as the parser does.
            if (m_lines > 0) {
                ++result.heads;
                m_closeAfter = m_close || (m_http10 && !m_keepAlive);
                m_lines = 0;
            }
            m_line.clear();
            m_headBytes = 0;
            continue;
        }
        if (takeLine(line) != 0)
            break;
        m_line.clear();
    }
    result.refusal = m_refused;
    if (m_refused != 0)
        result.reason = m_reason;
    return result;
}

int RequestHeadFilter::takeLine(QByteArrayView line) {
    if (++m_lines > m_limits.maxHeaderLines + 1)
        return refuse(431, "too many header lines");
    return m_lines == 1 ? requestLine(line) : headerLine(line);
}

int RequestHeadFilter::requestLine(QByteArrayView line) {
    m_http10 = m_close = m_keepAlive = false;
    m_seenLength = false;
    const QList<QByteArray> parts = line.toByteArray().split(' ');
    if (parts.size() != 3 || !isToken(parts[0]))
        return refuse(400, "not a request line");
    const QByteArray& target = parts[1];
    if (!target.startsWith('/'))
        return refuse(400, "the target is not a path");
    for (const char c : target)
        if (!isTargetChar(c))
            return refuse(400, "a character the target may not hold");
    if (parts[2] == "HTTP/1.0")
        m_http10 = true;
    else if (parts[2] != "HTTP/1.1")
        return refuse(400, "not HTTP/1.0 or HTTP/1.1");
    if (parts[0] != "GET" && parts[0] != "HEAD")
        return refuse(405, "only GET and HEAD are served");
    return 0;
}

int RequestHeadFilter::headerLine(QByteArrayView line) {
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0 || !isToken(line.first(colon)))
        return refuse(400, "not a header line");
    const QByteArrayView value = trimmed(line.sliced(colon + 1));
    for (const char c : value)
        if (!isFieldValueChar(c))
            return refuse(400, "a character a header value may not hold");
    const QByteArray name = line.first(colon).toByteArray().toLower();
    if (name == "content-length") {
        // The parser refuses a second length; a GET or HEAD here has no body.
        if (m_seenLength || value.isEmpty() || value.toByteArray().count('0') != value.size())
            return refuse(400, "a request with a body");
        m_seenLength = true;
    } else if (name == "transfer-encoding") {
        return refuse(400, "a request with a body");
    } else if (name == "upgrade") {
        return refuse(400, "no protocol upgrade is served");
    } else if (name == "connection") {
        for (const QByteArray& option : value.toByteArray().toLower().split(',')) {
            const QByteArray token = option.trimmed();
            m_close = m_close || token == "close";
            m_keepAlive = m_keepAlive || token == "keep-alive";
        }
    }
    return 0;
}

int RequestHeadFilter::refuse(int status, const char* why) {
    m_refused = status;
    m_reason = why;
    return status;
}

} // namespace quadtherm::http
