#include "recording/data_file_export.h"

#include "recording/data_file.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quadtherm::recording {

namespace {

constexpr qsizetype kReadBlock = qsizetype{1} << 20;

QString exportSystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString cannotRead(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot read \"%1\": %2").arg(path, reason);
}

QString notRegularKind(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a data file");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a pipe, not a data file");
    return QStringLiteral("it is a device, not a data file");
}

} // namespace

DataFileExport::DataFileExport(const QString& path, const ExportOptions& options,
                               const QTimeZone& zone)
    : m_path(path), m_options(options), m_zone(zone) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    // Looked at before opening: opening a pipe waits for a writer, and
    // opening a serial device can reset what hangs on it.
    if (::stat(name.constData(), &info) != 0) {
        m_error = cannotRead(path, exportSystemError(errno));
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        m_error = cannotRead(path, notRegularKind(info.st_mode));
        return;
    }
    m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = cannotRead(path, exportSystemError(errno));
        return;
    }
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_error = cannotRead(path, notRegularKind(info.st_mode));
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // Room for a block after the part of a line the last one ended with (and
    // the CR of its line end).
    m_buffer = QByteArray(kReadBlock + kMaxLineBytes + 1, Qt::Uninitialized);
}

DataFileExport::~DataFileExport() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool DataFileExport::isInput(const QString& path) const {
    struct stat input {
    }, other{};
    return m_fd >= 0 && ::fstat(m_fd, &input) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &other) == 0 &&
           input.st_dev == other.st_dev && input.st_ino == other.st_ino;
}

DataFileExport::Step DataFileExport::badLine(const QString& why) {
    m_problem = QStringLiteral("\"%1\" line %2 cannot be converted: %3")
                    .arg(m_path)
                    .arg(m_line + 1)
                    .arg(why);
    return Step::BadLine;
}

DataFileExport::Step DataFileExport::convertLine(QByteArrayView line, QByteArray& out) {
    QString why;
    if (!m_converter) {
        const auto heading = readHeading(line, &why);
        if (!heading)
            return badLine(why);
        m_converter.emplace(*heading, m_options, m_zone);
        out += m_converter->header();
    } else if (!m_converter->appendRecord(line, out, &why)) {
        return badLine(why);
    } else {
        ++m_records;
    }
    ++m_line;
    return Step::More;
}

DataFileExport::Step DataFileExport::next(QByteArray& out) {
    if (m_fd < 0) {
        m_problem = m_error;
        return Step::ReadFailed;
    }
    // What is left of a line goes to the front, and a block is read after it.
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.constData() + m_begin, size_t(m_end - m_begin));
        m_end -= m_begin;
        m_searchedTo -= m_begin;
        m_begin = 0;
    }
    while (!m_atEnd) {
        const ssize_t got = ::read(m_fd, m_buffer.data() + m_end,
                                   size_t(std::min(kReadBlock, m_buffer.size() - m_end)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            m_problem = cannotRead(m_path, exportSystemError(errno));
            return Step::ReadFailed;
        }
        m_end += got;
        m_atEnd = got == 0;
        break;
    }
    // Converted, a block grows to about twice its size as CSV and six times
    // as JSON lines.
    out.reserve(out.size() + (m_end - m_begin) * (m_options.format == ExportFormat::Csv ? 2 : 6));
    const char* const data = m_buffer.constData();
    for (;;) {
        const qsizetype found = findLineEnd(data, std::max(m_begin, m_searchedTo), m_end);
        if ((found < 0 ? m_end : found) - m_begin > kMaxLineBytes)
            return badLine(QStringLiteral("it runs past %1 KiB, far longer than any line of a "
                                          "data file")
                               .arg(kMaxLineBytes / 1024));
        qsizetype lineEnd = m_end;
        qsizetype next = m_end;
        if (found < 0) {
            m_searchedTo = m_end;
            if (!m_atEnd)
                return Step::More;
            if (m_begin == m_end) {
                if (m_line == 0)
                    return badLine(QStringLiteral("the file is empty: it has no heading line"));
                return Step::Done;
            }
        } else if (data[found] == '\r' && found + 1 == m_end && !m_atEnd) {
            m_searchedTo = found; // its LF may be in the next block
            return Step::More;
        } else {
            lineEnd = found;
            next = found + 1;
            if (data[found] == '\r' && next < m_end && data[next] == '\n')
                ++next;
        }
        if (const Step step = convertLine(QByteArrayView(data + m_begin, lineEnd - m_begin), out);
            step != Step::More)
            return step;
        m_begin = next;
    }
}

} // namespace quadtherm::recording
