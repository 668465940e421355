#include "recording/recorder.h"

#include "recording/data_file.h"
#include "recording/data_file_writer.h"
#include "shared/reading_text.h"

#include <algorithm>

namespace quadtherm::recording {

struct Recorder::Impl {
    Impl(shared::RecordingState& recording, DeviceFactory factory)
        : state(recording), writer(DataFileWriter::Sync::EachLine, std::move(factory)) {}

    shared::RecordingState& state;
    DataFileWriter writer;
    int recordsPerFile = kRecordsPerFile;
    QByteArray heading;
    qint64 lastWritten = 0;

    bool create(const QString& path, QString* error) {
        if (!writer.open(path, error))
            return false;
        if (writer.writeLineBytes(heading, error))
            return true;
        writer.discard();
        return false;
    }
};

Recorder::Recorder(shared::RecordingState& state, DeviceFactory open)
    : m_impl(std::make_unique<Impl>(state, std::move(open))) {}

Recorder::~Recorder() = default;

void Recorder::setRecordsPerFile(int records) {
    m_impl->recordsPerFile = std::max(records, 1);
}

int Recorder::recordsPerFile() const {
    return m_impl->recordsPerFile;
}

void Recorder::setSyncEachLine(bool sync) {
    m_impl->writer.setSyncEnabled(sync);
}

bool Recorder::start(const QString& path, bool fahrenheit,
                     const shared::PerChannel<QString>& typeLetters, QString* error) {
    auto& state = m_impl->state;
    m_impl->writer.close();
    m_impl->lastWritten = 0;
    state.RecordingActive = false;
    state.RecordingUnit = shared::unitText(fahrenheit);
    state.RecordingFahrenheit = fahrenheit;
    state.SaveFilePath = path;
    m_impl->heading = dataFileLine(headingCells(state.RecordingUnit, typeLetters));
    if (!m_impl->create(path, error))
        return false;
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
    bool ok = m_impl->writer.writeLineBytes(line, error);
    if (ok) {
        m_impl->lastWritten = number;
        if (number % m_impl->recordsPerFile == 0) {
            ok = m_impl->writer.close(error);
            ++state.SplitFileSequence;
            ok = ok && m_impl->create(continuationPath(state.SaveFilePath, state.SplitFileSequence),
                                      error);
        }
    }
    if (!ok)
        stop();
    return ok;
}

void Recorder::stop() {
    m_impl->writer.close();
    auto& state = m_impl->state;
    state.RecordingActive = false;
    state.RecordedCount = 0;
    state.SaveFileChosen = false;
}

bool Recorder::active() const {
    return m_impl->state.RecordingActive && m_impl->writer.isOpen();
}

qint64 Recorder::lastRecordWritten() const {
    return m_impl->lastWritten;
}

QString Recorder::currentPath() const {
    return m_impl->writer.path();
}

} // namespace quadtherm::recording
