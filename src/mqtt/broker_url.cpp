#include "mqtt/broker_url.h"

#include "shared/whole_number.h"

#include <QStringList>

#include <arpa/inet.h>

namespace quadtherm::mqtt {

namespace {

bool isAddress(int family, const QString& text) {
    unsigned char address[sizeof(in6_addr)];
    return ::inet_pton(family, text.toLatin1().constData(), address) == 1;
}

// The longest topic made from the prefix is PREFIX/status/detail, and a
// topic is at most 65535 bytes of UTF-8.
constexpr qsizetype kMaxPrefixBytes = 65535 - qsizetype(sizeof("/status/detail") - 1);

const QString kExample = QStringLiteral("mqtt://[USER@]HOST[:PORT]/PREFIX");

struct Refused {
    QString why;
    // The URL is not repeated in the message: it holds a secret.
    bool secret = false;
};

// %XX escapes decoded; a '%' without two hex digits, or bytes that are not
// UTF-8, are refused rather than guessed at.
QString percentDecoded(const QString& text, const QString& what) {
    for (qsizetype i = text.indexOf(u'%'); i >= 0; i = text.indexOf(u'%', i + 1)) {
        const QString digits = text.mid(i + 1, 2);
        bool ok = digits.size() == 2;
        if (ok)
            digits.toInt(&ok, 16);
        if (!ok)
            throw Refused{QStringLiteral("the %1 holds a '%' that is not followed by two hex "
                                         "digits")
                              .arg(what)};
    }
    const QByteArray bytes = QByteArray::fromPercentEncoding(text.toUtf8());
    const QString decoded = QString::fromUtf8(bytes);
    if (decoded.toUtf8() != bytes)
        throw Refused{
            QStringLiteral("the %1 is not UTF-8 text once its %-escapes are decoded").arg(what)};
    for (const QChar c : decoded)
        if (c.category() == QChar::Other_Control)
            throw Refused{QStringLiteral("the %1 holds a control character").arg(what)};
    return decoded;
}

quint16 portOf(const QString& text) {
    const auto port = shared::wholeNumberIn(text, 1, 65535);
    if (!port)
        throw Refused{
            QStringLiteral("the port must be a whole number from 1 to 65535, not '%1'").arg(text)};
    return quint16(*port);
}

void checkHostName(const QString& host) {
    if (host.isEmpty())
        throw Refused{QStringLiteral("the URL names no host: %1").arg(kExample)};
    bool numeric = true;
    for (const QChar c : host) {
        const bool allowed = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                             (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u'_';
        if (!allowed)
            throw Refused{QStringLiteral("'%1' is not a host name or an address").arg(host)};
        numeric = numeric && (c.isDigit() || c == u'.');
    }
    if (numeric && !isAddress(AF_INET, host))
        throw Refused{QStringLiteral("'%1' is not an IPv4 address").arg(host)};
}

// HOST, HOST:PORT, [IPv6] or [IPv6]:PORT.
void parseHostPort(const QString& text, BrokerUrl& url) {
    QString portText;
    bool hasPort = false;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            throw Refused{QStringLiteral("the '[' before an IPv6 address has no ']'")};
        url.host = text.mid(1, close - 1);
        if (!isAddress(AF_INET6, url.host))
            throw Refused{QStringLiteral("'%1' in brackets is not an IPv6 address").arg(url.host)};
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            throw Refused{QStringLiteral("unexpected '%1' after the IPv6 address").arg(rest)};
        hasPort = !rest.isEmpty();
        portText = rest.mid(1);
    } else {
        if (text.count(u':') > 1)
            throw Refused{
                QStringLiteral("an IPv6 address goes in brackets: mqtt://[::1]:1883/PREFIX")};
        const qsizetype colon = text.indexOf(u':');
        hasPort = colon >= 0;
        url.host = hasPort ? text.left(colon) : text;
        portText = hasPort ? text.mid(colon + 1) : QString();
        checkHostName(url.host);
    }
    if (hasPort)
        url.port = portOf(portText);
}

QString checkedPrefix(QString path) {
    if (path.endsWith(u'/'))
        path.chop(1);
    if (path.isEmpty())
        throw Refused{QStringLiteral("the URL needs a topic prefix after the host: %1 "
                                     "(e.g. mqtt://localhost/lab/meter1)")
                          .arg(kExample)};
    if (path.contains(u'?'))
        throw Refused{QStringLiteral("the URL takes no query ('?'): %1").arg(kExample)};
    const QString prefix = percentDecoded(path, QStringLiteral("topic prefix"));
    if (prefix.contains(u'+') || prefix.contains(u'#'))
        throw Refused{QStringLiteral("the topic prefix '%1' must not hold the wildcards '+' or "
                                     "'#'")
                          .arg(prefix)};
    if (prefix.startsWith(u'$'))
        throw Refused{QStringLiteral("topics starting with '$' are the broker's own: choose "
                                     "another prefix than '%1'")
                          .arg(prefix)};
    if (prefix.split(u'/').contains(QString()))
        throw Refused{
            QStringLiteral("the topic prefix '%1' has an empty level ('//')").arg(prefix)};
    if (prefix.toUtf8().size() > kMaxPrefixBytes)
        throw Refused{
            QStringLiteral("the topic prefix is longer than %1 bytes").arg(kMaxPrefixBytes)};
    return prefix;
}

BrokerUrl parse(const QString& text) {
    for (const QChar c : text)
        if (c.isSpace() || c.category() == QChar::Other_Control)
            throw Refused{QStringLiteral("the URL must not hold spaces or control characters")};
    const qsizetype schemeEnd = text.indexOf(QStringLiteral("://"));
    const QString scheme = schemeEnd < 0 ? QString() : text.left(schemeEnd).toLower();
    if (scheme != QStringLiteral("mqtt") && scheme != QStringLiteral("mqtts"))
        throw Refused{QStringLiteral("the URL must start with mqtt:// or mqtts://: %1 "
                                     "(e.g. mqtt://localhost/lab/meter1)")
                          .arg(kExample)};
    BrokerUrl url;
    url.tls = scheme == QStringLiteral("mqtts");
    url.port = url.tls ? kTlsPort : kPlainPort;
    const QString rest = text.mid(schemeEnd + 3);
    const qsizetype slash = rest.indexOf(u'/');
    QString authority = slash < 0 ? rest : rest.left(slash);
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        if (userInfo.contains(u':'))
            throw Refused{
                QStringLiteral(
                    "the URL holds a password: put it in the environment variable "
                    "QUADTHERM_MQTT_PASSWORD or in a file named by --mqtt-password-file, never on "
                    "the command line"),
                true};
        if (userInfo.isEmpty())
            throw Refused{QStringLiteral("the user before '@' is empty: %1").arg(kExample)};
        url.user = percentDecoded(userInfo, QStringLiteral("user name"));
        authority = authority.mid(at + 1);
    }
    parseHostPort(authority, url);
    url.prefix = checkedPrefix(slash < 0 ? QString() : rest.mid(slash + 1));
    return url;
}

} // namespace

QString BrokerUrl::where() const {
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return shownHost + u':' + QString::number(port);
}

std::optional<BrokerUrl> parseBrokerUrl(const QString& text, QString* error) {
    try {
        return parse(text);
    } catch (const Refused& refused) {
        if (error)
            *error = refused.secret
                         ? QStringLiteral("bad MQTT URL: %1").arg(refused.why)
                         : QStringLiteral("bad MQTT URL '%1': %2").arg(text, refused.why);
        return std::nullopt;
    }
}

} // namespace quadtherm::mqtt
