#include "recording/data_file_writer.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quadtherm::recording {

namespace {

const char* const kNotRegular = "Not a regular file";
// Lines gathered between two writes when not every line must be on disk.
constexpr qsizetype kBlockBytes = 1 << 20;

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A QFile that can say why it was not opened.
class RegularFile final : public QFile {
public:
    using QFile::QFile;
    void refuse(const QString& reason) { setErrorString(reason); }
};

std::unique_ptr<QIODevice> openRegularFile(const QString& path) {
    auto file = std::make_unique<RegularFile>(path);
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO that nobody reads would wait forever, deaf
    // to every signal. A FIFO, a terminal or a device is then refused: a data
    // file and the promise that its lines are on disk need a file.
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    struct stat info {};
    if (fd < 0) {
        const int error = errno;
        const bool special = ::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode) &&
                             !S_ISDIR(info.st_mode);
        file->refuse(special ? QString::fromLatin1(kNotRegular) : systemReason(error));
        return file;
    }
    QString refusal;
    if (::fstat(fd, &info) != 0)
        refusal = systemReason(errno);
    else if (!S_ISREG(info.st_mode))
        refusal = QString::fromLatin1(kNotRegular);
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
             ::ftruncate(fd, 0) != 0)
        refusal = systemReason(errno);
    // Unbuffered: what is written reaches the operating system at once.
    if (!refusal.isEmpty() || !file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                                          QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        file->refuse(refusal.isEmpty() ? QStringLiteral("cannot be opened") : refusal);
    }
    return file;
}

// A new file's name must survive a power cut as well as its lines. Some file
// systems cannot sync a folder; the lines are synced all the same.
void syncFolderOf(const QString& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QString cannotWrite(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot write \"%1\": %2").arg(path, reason);
}

void appendLatin1(QByteArray& out, QStringView text) {
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char* to = out.data() + at;
    for (const QChar c : text)
        *to++ = c.unicode() < 0x100 ? char(c.unicode()) : '?';
}

QByteArray dataFileLine(const QStringList& cells) {
    QByteArray line;
    qsizetype size = 2;
    for (const QString& cell : cells)
        size += cell.size() + 1;
    line.reserve(size);
    for (const QString& cell : cells) {
        appendLatin1(line, cell);
        line.append('\t');
    }
    line.append("\r\n", 2);
    return line;
}

DataFileWriter::DataFileWriter(Sync sync, DeviceFactory open)
    : m_sync(sync), m_open(open ? std::move(open) : openRegularFile) {}

DataFileWriter::~DataFileWriter() {
    if (m_device)
        m_device->close();
}

bool DataFileWriter::fail(const QString& reason, QString* error) {
    if (error)
        *error = cannotWrite(m_path, reason);
    return false;
}

bool DataFileWriter::open(const QString& path, QString* error) {
    if (m_device)
        m_device->close();
    m_path = path;
    m_block.clear();
    m_wholeBytes = 0;
    m_device = m_open(path);
    if (!m_device || !m_device->isOpen() || !m_device->isWritable()) {
        const QString reason =
            m_device ? m_device->errorString() : QStringLiteral("cannot be opened");
        m_device.reset();
        return fail(reason, error);
    }
    if (m_syncEnabled && qobject_cast<QFileDevice*>(m_device.get()))
        syncFolderOf(path);
    return true;
}

bool DataFileWriter::writeLine(const QStringList& cells, QString* error) {
    return writeLineBytes(dataFileLine(cells), error);
}

bool DataFileWriter::writeLineBytes(const QByteArray& line, QString* error) {
    if (!m_device)
        return fail(QStringLiteral("the file is not open"), error);
    m_block += line;
    if (m_sync == Sync::AtClose)
        return m_block.size() < kBlockBytes || writeOut(error);
    const qint64 before = m_wholeBytes;
    if (!writeOut(error))
        return false;
    if (sync(error))
        return true;
    // A line that may not have reached the disk is no line of the file.
    if (auto* file = qobject_cast<QFileDevice*>(m_device.get()))
        file->resize(before);
    m_wholeBytes = before;
    return false;
}

bool DataFileWriter::writeOut(QString* error) {
    // A short write is tried again for the rest, so that the failing write
    // reports the system's reason. What the disk took of a line it could not
    // take whole is cut off again.
    for (qint64 done = 0; done < m_block.size();) {
        const qint64 n = m_device->write(m_block.constData() + done, m_block.size() - done);
        if (n <= 0) {
            const QString reason = m_device->errorString();
            if (auto* file = qobject_cast<QFileDevice*>(m_device.get()))
                file->resize(m_wholeBytes + m_block.left(done).lastIndexOf('\n') + 1);
            m_block.clear();
            return fail(reason, error);
        }
        done += n;
    }
    m_wholeBytes += m_block.size();
    m_block.clear();
    return true;
}

bool DataFileWriter::sync(QString* error) {
    auto* file = qobject_cast<QFileDevice*>(m_device.get());
    // fdatasync, not fsync: the size is data, the times are not needed.
    if (!m_syncEnabled || !file || ::fdatasync(file->handle()) == 0)
        return true;
    const QString reason = systemReason(errno);
    return fail(reason, error);
}

bool DataFileWriter::close(QString* error) {
    if (!m_device)
        return true;
    const bool ok = writeOut(error) && (m_sync != Sync::AtClose || sync(error));
    m_device->close();
    m_device.reset();
    return ok;
}

void DataFileWriter::discard() {
    const bool real = qobject_cast<QFileDevice*>(m_device.get()) != nullptr;
    if (m_device)
        m_device->close();
    m_device.reset();
    m_block.clear();
    if (real)
        QFile::remove(m_path);
}

} // namespace quadtherm::recording
