#include "recording/recorder.h"

#include "recording/data_file.h"
#include "shared/reading_text.h"

#include <QFile>

#include <algorithm>

namespace quadtherm::recording {

namespace {

std::unique_ptr<QIODevice> openFile(const QString& path) {
    auto file = std::make_unique<QFile>(path);
    // Unbuffered: every line reaches the operating system as it is written.
    file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    return file;
}

} // namespace

struct Recorder::Impl {
    Impl(shared::RecordingState& recording, DeviceFactory factory)
        : state(recording), open(factory ? std::move(factory) : openFile) {}

    shared::RecordingState& state;
    DeviceFactory open;
    int recordsPerFile = kRecordsPerFile;
    std::unique_ptr<QIODevice> device;
    QString currentPath;
    QByteArray heading;

    bool fail(const QString& reason, QString* error) {
        if (error)
            *error = QStringLiteral("Cannot write \"%1\": %2").arg(currentPath, reason);
        return false;
    }

    // The whole line reaches the operating system, or the write failed.
    // A short write (the disk filled up mid-line) is tried again for the rest,
    // so that the failing write reports the system's reason.
    bool writeLine(const QByteArray& line, QString* error) {
        for (qint64 done = 0; done < line.size();) {
            const qint64 n = device->write(line.constData() + done, line.size() - done);
            if (n <= 0)
                return fail(device->errorString(), error);
            done += n;
        }
        return true;
    }

    bool create(const QString& path, QString* error) {
        currentPath = path;
        device = open(path);
        if (!device || !device->isOpen() || !device->isWritable())
            return fail(device ? device->errorString() : QStringLiteral("cannot be opened"), error);
        return writeLine(heading, error);
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

bool Recorder::start(const QString& path, bool fahrenheit,
                     const shared::PerChannel<QString>& typeLetters, QString* error) {
    auto& state = m_impl->state;
    m_impl->close();
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
    if (ok && number % m_impl->recordsPerFile == 0) {
        m_impl->close();
        ++state.SplitFileSequence;
        ok = m_impl->create(continuationPath(state.SaveFilePath, state.SplitFileSequence), error);
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

QString Recorder::currentPath() const {
    return m_impl->currentPath;
}

} // namespace quadtherm::recording
