#pragma once

#include "recording/data_file_writer.h"
#include "shared/live_state.h"
#include "shared/recording_state.h"

#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

namespace quadtherm::recording {

// Writes a recording to ".4ch" files: the heading when it starts, one record
// line per recording cycle, and a continuation file (same heading) right
// after every `recordsPerFile`-th record. Each line is on the storage device
// (fdatasync) before the call that writes it returns, so a crash or a power
// cut loses at most the line being written. A line that cannot be written
// whole stops the recording, says why and is cut off again, so a file always
// ends with a whole line. Only regular files are written: a FIFO or a device
// is refused rather than waited for.
class Recorder {
public:
    // Opens a file for writing (replacing it); tests hand in devices that fail.
    // A failed device says why in its errorString(). Cutting a torn line off,
    // syncing and removing a file that got no heading need a QFileDevice.
    using DeviceFactory = DataFileWriter::DeviceFactory;

    explicit Recorder(shared::RecordingState& state, DeviceFactory open = {});
    ~Recorder();

    void setRecordsPerFile(int records);
    int recordsPerFile() const;
    // On by default. Off only to measure what the sync costs.
    void setSyncEachLine(bool sync);

    // Creates `path` with its heading line (unit, "Date Time", "T1 - K" …),
    // captures RecordingUnit and RecordingFahrenheit, sets SaveFilePath and
    // RecordingActive, RecordedCount 0. False, with `error` naming the file
    // and the reason, when the file cannot be created or written or is not a
    // regular file.
    bool start(const QString& path, bool fahrenheit, const shared::PerChannel<QString>& typeLetters,
               QString* error = nullptr);
    // RecordedCount += 1 and its line, with the °F texts when the recording is
    // in °F, else the °C texts; then the continuation file when one is due.
    // False when a write failed: the recording is stopped and `error` says
    // why. A continuation that cannot be created leaves the record before it
    // on disk (see lastRecordWritten) and no file without a heading.
    bool record(const QString& timestamp, const shared::PerChannel<QString>& textsC,
                const shared::PerChannel<QString>& textsF, QString* error = nullptr);
    // Closes the file: RecordingActive false, RecordedCount 0, SaveFileChosen false.
    void stop();

    bool active() const;
    // The number of the last record line that is whole on disk; it stays
    // after record() failed or the recording stopped, until the next start.
    qint64 lastRecordWritten() const;
    // The file being written (the first file or its current continuation).
    QString currentPath() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quadtherm::recording
