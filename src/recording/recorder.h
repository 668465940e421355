#pragma once

#include "shared/live_state.h"
#include "shared/recording_state.h"

#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

namespace quadtherm::recording {

// Writes a recording to ".4ch" files: the heading when it starts, one record
// line per recording cycle, and a continuation file (same heading) right
// after every `recordsPerFile`-th record. Every line reaches the operating
// system as it is written, so a crash loses at most the line being written.
// A line that cannot be written stops the recording and says why.
class Recorder {
public:
    // Opens a file for writing (replacing it); tests hand in devices that fail.
    using DeviceFactory = std::function<std::unique_ptr<QIODevice>(const QString& path)>;

    explicit Recorder(shared::RecordingState& state, DeviceFactory open = {});
    ~Recorder();

    void setRecordsPerFile(int records);
    int recordsPerFile() const;

    // Creates `path` with its heading line (unit, "Date Time", "T1 - K" …),
    // captures RecordingUnit and RecordingFahrenheit, sets SaveFilePath and
    // RecordingActive, RecordedCount 0. False, with `error` naming the file
    // and the system's reason, when the file cannot be created or written.
    bool start(const QString& path, bool fahrenheit, const shared::PerChannel<QString>& typeLetters,
               QString* error = nullptr);
    // RecordedCount += 1 and its line, with the °F texts when the recording is
    // in °F, else the °C texts; then the continuation file when one is due.
    // False when a write failed: the recording is stopped and `error` says why.
    bool record(const QString& timestamp, const shared::PerChannel<QString>& textsC,
                const shared::PerChannel<QString>& textsF, QString* error = nullptr);
    // Closes the file: RecordingActive false, RecordedCount 0, SaveFileChosen false.
    void stop();

    bool active() const;
    // The file being written (the first file or its current continuation).
    QString currentPath() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quadtherm::recording
