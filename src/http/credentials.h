#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace quadtherm::http {

// The users HTTP Basic authentication lets in, from a file of "user:password"
// lines (blank lines and lines starting with '#' skipped). The file holds
// passwords as they are typed, so it must be the owner's alone.
class Credentials {
public:
    static constexpr qint64 kMaxFileBytes = 64 * 1024;

    // Nothing, with why in `error`, for a file that is not a regular file,
    // that group or others may read or write, that is larger than
    // kMaxFileBytes, or that has no user or a line that is not user:password.
    static std::optional<Credentials> load(const QString& path, QString* error);

    // Whether an Authorization header's value ("Basic dXNlcjpwYXNz") names
    // one of the users with its password.
    bool accepts(QByteArrayView authorization) const;
    qsizetype users() const { return m_pairs.size(); }

private:
    QList<QByteArray> m_pairs; // "user:password"
};

} // namespace quadtherm::http
