#include "http/credentials.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace quadtherm::http {

namespace {

// Walks the whole of what was given whatever the first difference, so the
// time a refusal takes does not tell how much of a password was right.
bool sameBytes(QByteArrayView given, QByteArrayView expected) {
    unsigned differ = given.size() == expected.size() ? 0 : 1;
    for (qsizetype i = 0; i < given.size(); ++i)
        differ |= unsigned(quint8(given[i]) ^ quint8(i < expected.size() ? expected[i] : 0));
    return differ == 0;
}

} // namespace

std::optional<Credentials> Credentials::load(const QString& path, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<Credentials> {
        *error = QStringLiteral("--listen-auth-file %1: %2").arg(path, why);
        return std::nullopt;
    };
    const QByteArray local = QFile::encodeName(path);
    struct stat info {};
    if (::stat(local.constData(), &info) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(info.st_mode))
        return fail(QStringLiteral("not a regular file"));
    if ((info.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) != 0)
        return fail(QStringLiteral("group or others may read or change it; it holds "
                                   "passwords, so make it yours alone: chmod 600 %1")
                        .arg(path));
    if (info.st_size > kMaxFileBytes)
        return fail(QStringLiteral("larger than %1 bytes").arg(kMaxFileBytes));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const QByteArray text = file.read(kMaxFileBytes + 1);
    if (text.size() > kMaxFileBytes)
        return fail(QStringLiteral("larger than %1 bytes").arg(kMaxFileBytes));
    Credentials credentials;
    int number = 0;
    for (QByteArray line : text.split('\n')) {
        ++number;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        if (line.indexOf(':') <= 0)
            return fail(QStringLiteral("line %1 is not user:password").arg(number));
        credentials.m_pairs.append(line);
    }
    if (credentials.m_pairs.isEmpty())
        return fail(QStringLiteral("no user:password line"));
    return credentials;
}

bool Credentials::accepts(QByteArrayView authorization) const {
    const qsizetype space = authorization.indexOf(' ');
    if (space < 0 || authorization.first(space).toByteArray().toLower() != "basic")
        return false;
    const auto decoded =
        QByteArray::fromBase64Encoding(authorization.sliced(space + 1).toByteArray().trimmed(),
                                       QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    bool found = false;
    for (const QByteArray& pair : m_pairs)
        found = sameBytes(*decoded, pair) || found;
    return found;
}

} // namespace quadtherm::http
