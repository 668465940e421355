#include "recording/data_file_writer.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quadtherm::recording {

namespace {

const char* const kNotRegular = "Not a regular file";
const char* const kBeingRecorded = "it is the file being recorded";

// The files recordings are writing line by line, by device and inode: a
// save must not rewrite one under its recorder, nor put another file in its
// place (the recorder would go on writing to a file no name leads to).
// A recording writes on the meter session's thread and a save on the
// windows' thread, so the set is guarded.
using FileId = std::pair<quint64, quint64>;
class RecordedFiles {
public:
    void add(FileId id) {
        const std::lock_guard lock(m_mutex);
        m_files.insert(id);
    }
    void remove(FileId id) {
        const std::lock_guard lock(m_mutex);
        m_files.erase(id);
    }
    bool contains(FileId id) const {
        const std::lock_guard lock(m_mutex);
        return m_files.count(id) > 0;
    }

private:
    mutable std::mutex m_mutex;
    std::set<FileId> m_files;
};
RecordedFiles& recordedFiles() {
    static RecordedFiles files;
    return files;
}
FileId fileIdOf(const struct stat& info) {
    return {quint64(info.st_dev), quint64(info.st_ino)};
}
bool isRecorded(const struct stat& info) {
    return recordedFiles().contains(fileIdOf(info));
}
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
    else if (isRecorded(info))
        refusal = QString::fromLatin1(kBeingRecorded);
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

// A saved file is written aside through QSaveFile and put in its target's
// place only once it is whole and on disk: a save that fails (a full disk)
// leaves the file of that name as it was, and never a part that looks
// complete. Where the file system allows, the file aside has no name at all
// (O_TMPFILE) until it takes the target's, so a save killed half way leaves
// nothing behind; elsewhere it is a randomly named NAME.XXXXXX, whose names
// cannot run out. A symbolic link to a file is followed, so that the file it
// names is replaced, and a replaced file keeps its permissions. `target`
// says where the file goes.
std::unique_ptr<QIODevice> openSave(const QString& path, QString& target) {
    target = path;
    struct stat info {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &info) == 0;
    if (!exists && errno != ENOENT) {
        auto file = std::make_unique<RegularFile>(path);
        file->refuse(systemReason(errno));
        return file;
    }
    if (exists) {
        QString refusal;
        if (!S_ISREG(info.st_mode))
            refusal =
                S_ISDIR(info.st_mode) ? systemReason(EISDIR) : QString::fromLatin1(kNotRegular);
        else if (isRecorded(info))
            refusal = QString::fromLatin1(kBeingRecorded);
        if (!refusal.isEmpty()) {
            auto file = std::make_unique<RegularFile>(path);
            file->refuse(refusal);
            return file;
        }
        target = QFileInfo(path).canonicalFilePath();
    }
    auto save = std::make_unique<QSaveFile>(path);
    // A folder that takes no new file may still let its file be rewritten:
    // the file is then written in place, as before saves went aside. Qt
    // does so where the folder is not writable (EACCES); an immutable
    // folder (EPERM) is handled here the same way.
    save->setDirectWriteFallback(true);
    if (save->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        // Qt copies the permissions as the running user sees them, so that
        // root would make a read-only file writable: the mode is copied as it is.
        if (exists)
            ::fchmod(save->handle(), info.st_mode & 07777);
        return save;
    }
    const int error = errno;
    if (exists && (error == EACCES || error == EPERM)) {
        target = path;
        return openRegularFile(path);
    }
    auto file = std::make_unique<RegularFile>(path);
    // A folder removed while it is the working folder takes no unnamed file
    // either (EPERM); its new files are refused for the reason a user knows.
    struct stat folder {};
    const bool folderGone =
        ::stat(QFile::encodeName(QFileInfo(path).path()).constData(), &folder) == 0 &&
        folder.st_nlink == 0;
    file->refuse(folderGone ? systemReason(ENOENT) : save->errorString());
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

// Saves used to go aside to NAME.part (then NAME.part1 ... NAME.part99); one
// killed before its rename left that file for good, and a hundred of them
// made every save of NAME fail.
void removeOldAsideFiles(const QString& target) {
    for (int n = 0; n < 100; ++n) {
        const QByteArray name = QFile::encodeName(target + QStringLiteral(".part") +
                                                  (n == 0 ? QString() : QString::number(n)));
        struct stat info {};
        if (::lstat(name.constData(), &info) == 0 && S_ISREG(info.st_mode) && !isRecorded(info))
            ::unlink(name.constData());
    }
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
    : m_sync(sync), m_open(std::move(open)) {}

DataFileWriter::~DataFileWriter() {
    release();
}

void DataFileWriter::release() {
    // Never put in place: the save did not end well. QSaveFile must not be
    // closed, and must not be destroyed open either: written in place, it
    // would remove the file itself.
    if (auto* save = qobject_cast<QSaveFile*>(m_device.get())) {
        if (save->isOpen()) {
            save->cancelWriting();
            save->commit();
        }
    } else if (m_device) {
        m_device->close();
    }
    m_device.reset();
    if (m_recorded) {
        recordedFiles().remove(*m_recorded);
        m_recorded.reset();
    }
}

bool DataFileWriter::fail(const QString& reason, QString* error) {
    if (error)
        *error = cannotWrite(m_path, reason);
    return false;
}

bool DataFileWriter::open(const QString& path, QString* error) {
    release();
    m_path = path;
    m_target = path;
    m_block.clear();
    m_wholeBytes = 0;
    if (m_open)
        m_device = m_open(path);
    else if (m_sync == Sync::AtClose)
        m_device = openSave(path, m_target);
    else
        m_device = openRegularFile(path);
    if (!m_device || !m_device->isOpen() || !m_device->isWritable()) {
        const QString reason =
            m_device ? m_device->errorString() : QStringLiteral("cannot be opened");
        m_device.reset();
        return fail(reason, error);
    }
    auto* file = qobject_cast<QFileDevice*>(m_device.get());
    if (!m_open && m_sync == Sync::EachLine && file) {
        struct stat info {};
        if (::fstat(file->handle(), &info) == 0) {
            m_recorded = fileIdOf(info);
            recordedFiles().add(*m_recorded);
        }
    }
    if (m_syncEnabled && file && m_sync == Sync::EachLine)
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
    bool ok = writeOut(error) && (m_sync != Sync::AtClose || sync(error));
    if (auto* save = qobject_cast<QSaveFile*>(m_device.get())) {
        if (!ok)
            save->cancelWriting();
        // QSaveFile syncs too, but ignores a failure: sync() above did not.
        if (!save->commit() && ok)
            ok = fail(save->errorString(), error);
        if (ok) {
            if (m_syncEnabled)
                syncFolderOf(m_target);
            removeOldAsideFiles(m_target);
            if (m_target != m_path)
                removeOldAsideFiles(m_path);
        }
    } else {
        m_device->close();
    }
    release();
    return ok;
}

void DataFileWriter::discard() {
    const bool inPlace = qobject_cast<QFile*>(m_device.get()) != nullptr;
    m_block.clear();
    release();
    if (inPlace)
        QFile::remove(m_path);
}

} // namespace quadtherm::recording
