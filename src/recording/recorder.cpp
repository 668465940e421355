#include "recording/recorder.h"

#include "recording/data_file.h"
#include "shared/reading_text.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quadtherm::recording {

namespace {

const char* const kNotRegular = "Not a regular file";

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A QFile that can say why it was not opened.
class DataFile final : public QFile {
public:
    using QFile::QFile;
    void refuse(const QString& reason) { setErrorString(reason); }
};

std::unique_ptr<QIODevice> openFile(const QString& path) {
    auto file = std::make_unique<DataFile>(path);
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO that nobody reads would wait forever, deaf
    // to every signal. A FIFO, a terminal or a device is then refused: the
    // recording and its promise that every line is on disk need a file.
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
    // Unbuffered: every line reaches the operating system as it is written.
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

struct Recorder::Impl {
    Impl(shared::RecordingState& recording, DeviceFactory factory)
        : state(recording), open(factory ? std::move(factory) : openFile) {}

    shared::RecordingState& state;
    DeviceFactory open;
    int recordsPerFile = kRecordsPerFile;
    bool sync = true;
    std::unique_ptr<QIODevice> device;
    QString currentPath;
    QByteArray heading;
    qint64 wholeBytes = 0; // the current file up to the end of its last whole line
    qint64 lastWritten = 0;

    QFileDevice* file() const { return qobject_cast<QFileDevice*>(device.get()); }

    bool fail(const QString& reason, QString* error) {
        if (error)
            *error = QStringLiteral("Cannot write \"%1\": %2").arg(currentPath, reason);
        return false;
    }

    // A write that fails half-way (the disk filled up mid-line) leaves a
    // torn line that no reader accepts: cut the file back to the last whole one.
    bool cutBack(const QString& reason, QString* error) {
        if (QFileDevice* f = file())
            f->resize(wholeBytes);
        return fail(reason, error);
    }

    // The whole line, on the storage device. A short write is tried again for
    // the rest, so that the failing write reports the system's reason.
    bool writeLine(const QByteArray& line, QString* error) {
        for (qint64 done = 0; done < line.size();) {
            const qint64 n = device->write(line.constData() + done, line.size() - done);
            if (n <= 0)
                return cutBack(device->errorString(), error);
            done += n;
        }
        // fdatasync, not fsync: the size is data, the times are not needed.
        if (QFileDevice* f = file(); sync && f && ::fdatasync(f->handle()) != 0)
            return cutBack(systemReason(errno), error);
        wholeBytes += line.size();
        return true;
    }

    bool create(const QString& path, QString* error) {
        currentPath = path;
        wholeBytes = 0;
        device = open(path);
        if (!device || !device->isOpen() || !device->isWritable())
            return fail(device ? device->errorString() : QStringLiteral("cannot be opened"), error);
        if (!writeLine(heading, error)) {
            // A file without its heading is no data file.
            const bool real = file() != nullptr;
            close();
            if (real)
                QFile::remove(path);
            return false;
        }
        if (sync && file())
            syncFolderOf(path);
        return true;
    }

    void close() {
        if (device)
            device->close();
        device.reset();
    }
};

Recorder::Recorder(shared::RecordingState& state, DeviceFactory open)
    : m_impl(std::make_unique<Impl>(state, std::move(open))) {}

Recorder::~Recorder() {
    m_impl->close();
}

void Recorder::setRecordsPerFile(int records) {
    m_impl->recordsPerFile = std::max(records, 1);
}

int Recorder::recordsPerFile() const {
    return m_impl->recordsPerFile;
}

void Recorder::setSyncEachLine(bool sync) {
    m_impl->sync = sync;
}

bool Recorder::start(const QString& path, bool fahrenheit,
                     const shared::PerChannel<QString>& typeLetters, QString* error) {
    auto& state = m_impl->state;
    m_impl->close();
    m_impl->lastWritten = 0;
    state.RecordingActive = false;
    state.RecordingUnit = shared::unitText(fahrenheit);
    state.RecordingFahrenheit = fahrenheit;
    state.SaveFilePath = path;
    m_impl->heading = dataFileLine(headingCells(state.RecordingUnit, typeLetters));
    if (!m_impl->create(path, error)) {
        m_impl->close();
        return false;
    }
    state.RecordingActive = true;
    state.RecordedCount = 0;
    return true;
}

bool Recorder::record(const QString& timestamp, const shared::PerChannel<QString>& textsC,
                      const shared::PerChannel<QString>& textsF, QString* error) {
    auto& state = m_impl->state;
    if (!active()) {
        if (error)
            *error = QStringLiteral("No recording is running");
        return false;
    }
    const qint64 number = ++state.RecordedCount;
    const QByteArray line =
        dataFileLine(recordCells(number, timestamp, state.RecordingFahrenheit ? textsF : textsC));
    bool ok = m_impl->writeLine(line, error);
    if (ok) {
        m_impl->lastWritten = number;
        if (number % m_impl->recordsPerFile == 0) {
            m_impl->close();
            ++state.SplitFileSequence;
            ok = m_impl->create(continuationPath(state.SaveFilePath, state.SplitFileSequence),
                                error);
        }
    }
    if (!ok)
        stop();
    return ok;
}

void Recorder::stop() {
    m_impl->close();
    auto& state = m_impl->state;
    state.RecordingActive = false;
    state.RecordedCount = 0;
    state.SaveFileChosen = false;
}

bool Recorder::active() const {
    return m_impl->state.RecordingActive && m_impl->device;
}

qint64 Recorder::lastRecordWritten() const {
    return m_impl->lastWritten;
}

QString Recorder::currentPath() const {
    return m_impl->currentPath;
}

} // namespace quadtherm::recording
