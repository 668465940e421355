#include "recording/recording_end.h"

namespace quadtherm::recording {

namespace {

QString reason(RecordingEnd why) {
    switch (why) {
    case RecordingEnd::ConfigurationChanged:
        return QStringLiteral("a probe, a type or the unit changed");
    case RecordingEnd::LinkRebuilt:
        return QStringLiteral("link to the meter rebuilt");
    case RecordingEnd::WriteFailed:
        return QStringLiteral("the file could not be written");
    case RecordingEnd::Stopped:
        break;
    }
    return {};
}

QString recordsText(qint64 records) {
    return records == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(records);
}

} // namespace

QString recordingEndName(RecordingEnd why) {
    switch (why) {
    case RecordingEnd::ConfigurationChanged:
        return QStringLiteral("configuration_changed");
    case RecordingEnd::LinkRebuilt:
        return QStringLiteral("link_rebuilt");
    case RecordingEnd::WriteFailed:
        return QStringLiteral("write_failed");
    case RecordingEnd::Stopped:
        break;
    }
    return QStringLiteral("stopped");
}

QString recordingEndNote(RecordingEnd why, const QDateTime& when, qint64 records) {
    QString note = QStringLiteral("Recording ended %1 after %2")
                       .arg(when.toString(QStringLiteral("hh:mm:ss")), recordsText(records));
    if (why != RecordingEnd::Stopped)
        note += QStringLiteral(": ") + reason(why);
    return note;
}

QString recordingEndMessage(RecordingEnd why, const QString& error, qint64 records,
                            const QString& fileName) {
    const QString kept = QStringLiteral("%1 %2 in \"%3\".")
                             .arg(recordsText(records), records == 1 ? "is" : "are", fileName);
    switch (why) {
    case RecordingEnd::Stopped:
        return {};
    case RecordingEnd::WriteFailed:
        return QStringLiteral("Recording stopped.\r\n%1").arg(error);
    case RecordingEnd::LinkRebuilt:
        return QStringLiteral("Recording stopped: the meter stopped answering and the link to it "
                              "was rebuilt, so its channels may no longer match the file's "
                              "heading.\r\n") +
               kept;
    case RecordingEnd::ConfigurationChanged:
        return QStringLiteral("Recording stopped: a probe was plugged or pulled, or a type or the "
                              "unit changed on the meter, so the channels no longer match the "
                              "file's heading.\r\n") +
               kept;
    }
    return {};
}

} // namespace quadtherm::recording
