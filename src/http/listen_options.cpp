#include "http/listen_options.h"

#include "shared/whole_number.h"

namespace quadtherm::http {

std::optional<ListenAddress> parseListenAddress(const QString& text, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<ListenAddress> {
        if (error)
            *error = QStringLiteral("--listen %1: %2").arg(text, why);
        return std::nullopt;
    };
    QString host;
    QString port = text;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(QStringLiteral("]:"));
        if (close < 0)
            return fail(QStringLiteral("an IPv6 address is written [ADDRESS]:PORT"));
        host = text.mid(1, close - 1);
        port = text.mid(close + 2);
    } else if (const qsizetype colon = text.lastIndexOf(u':'); colon >= 0) {
        host = text.left(colon);
        port = text.mid(colon + 1);
        if (host.contains(u':'))
            return fail(QStringLiteral("an IPv6 address is written [ADDRESS]:PORT"));
        if (host.isEmpty())
            return fail(QStringLiteral("no address before the colon"));
    }
    const auto number = shared::wholeNumberIn(port, 0, 65535);
    if (!number)
        return fail(QStringLiteral("the port must be a whole number from 0 to 65535"));
    ListenAddress where;
    where.port = quint16(*number);
    if (host.isEmpty() || host == QStringLiteral("localhost"))
        return where;
    if (!where.address.setAddress(host) || host.contains(u'%'))
        return fail(QStringLiteral("'%1' is not an IP address (write it as numbers, or "
                                   "localhost)")
                        .arg(host));
    return where;
}

bool listensBeyondThisComputer(const QHostAddress& address) {
    return !address.isLoopback();
}

QString hostAndPort(const QHostAddress& address, quint16 port) {
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

std::optional<ListenOptions> takeListenOptions(QStringList& args, QString* error) {
    std::optional<QString> address, authFile;
    for (qsizetype i = 0; i < args.size();) {
        const QString option = args[i];
        if (option != QStringLiteral("--listen") &&
            option != QStringLiteral("--listen-auth-file")) {
            ++i;
            continue;
        }
        if (i + 1 >= args.size()) {
            *error = QStringLiteral("%1 needs a value").arg(option);
            return std::nullopt;
        }
        (option == QStringLiteral("--listen") ? address : authFile) = args[i + 1];
        args.remove(i, 2);
    }
    if (!address && !authFile)
        return std::nullopt;
    if (!address) {
        *error = QStringLiteral("--listen-auth-file needs --listen");
        return std::nullopt;
    }
    const auto where = parseListenAddress(*address, error);
    if (!where)
        return std::nullopt;
    if (authFile && authFile->isEmpty()) {
        *error = QStringLiteral("--listen-auth-file needs a file name");
        return std::nullopt;
    }
    return ListenOptions{*where, authFile.value_or(QString())};
}

} // namespace quadtherm::http
