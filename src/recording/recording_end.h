#pragma once

#include <QDateTime>
#include <QString>

namespace quadtherm::recording {

// Why a recording ended.
enum class RecordingEnd {
    Stopped,              // the user (or the command-line tool) stopped it
    ConfigurationChanged, // a probe plugged or pulled, a type or the unit changed
    LinkRebuilt,          // the link was rebuilt: the channels may differ from the heading
    WriteFailed,          // a record could not be written
};

// A name for scripts and other programs: "stopped", "configuration_changed",
// "link_rebuilt", "write_failed".
QString recordingEndName(RecordingEnd why);

// The bottom bar's note after a recording ended, kept until the next one
// starts: "Recording ended 14:03:22 after 1234 records: link to the meter rebuilt".
QString recordingEndNote(RecordingEnd why, const QDateTime& when, qint64 records);

// What the user is told when the program ended a recording that the user did
// not stop; nothing for one the user stopped.
QString recordingEndMessage(RecordingEnd why, const QString& error, qint64 records,
                            const QString& fileName);

} // namespace quadtherm::recording
