#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace quadtherm::recording {

// The one writer of ".4ch" data files: recordings, list saves and dumps, and
// downloads from the meter. A line is its cells in ISO 8859-1, each followed
// by a TAB, then CR LF.
// - Only a regular file (or a new one) is written: a FIFO, a terminal or a
//   device is refused rather than waited for.
// - A line the disk cannot take whole is cut off again, so the file always
//   ends with a whole line.
// - With `EachLine` (a recording) every line is on the storage device
//   (fdatasync) before writeLine returns, and no save may write to that file
//   while it is open. Otherwise (a save) lines are gathered and written in
//   blocks to a file aside (QSaveFile: unnamed where the file system allows),
//   which close() syncs and puts in the place of NAME: a save that fails
//   leaves NAME as it was.
// - A failure says "Cannot write "FILE": REASON", REASON being the system's.
class DataFileWriter {
public:
    enum class Sync { EachLine, AtClose };
    // Opens a file for writing (replacing it); tests hand in devices that
    // fail. A device that is not a QFileDevice is neither cut back nor synced.
    using DeviceFactory = std::function<std::unique_ptr<QIODevice>(const QString& path)>;

    explicit DataFileWriter(Sync sync = Sync::AtClose, DeviceFactory open = {});
    ~DataFileWriter();
    DataFileWriter(const DataFileWriter&) = delete;
    DataFileWriter& operator=(const DataFileWriter&) = delete;

    // Only to measure what the syncing costs.
    void setSyncEnabled(bool sync) { m_syncEnabled = sync; }

    // Creates `path`, replacing a file of that name. False with the reason
    // when it cannot be created or is not a regular file.
    bool open(const QString& path, QString* error = nullptr);
    bool isOpen() const { return m_device != nullptr; }
    QString path() const { return m_path; }

    bool writeLine(const QStringList& cells, QString* error = nullptr);
    // A line already made by dataFileLine.
    bool writeLineBytes(const QByteArray& line, QString* error = nullptr);
    // Writes what is gathered, syncs and closes. False when the rest could
    // not be written (the file then ends with its last whole line).
    bool close(QString* error = nullptr);
    // Closes and removes the file: it got no heading, so it is no data file.
    void discard();

private:
    bool fail(const QString& reason, QString* error);
    // Closes the device, drops a file aside that was never put in place and
    // forgets a recorded file.
    void release();
    bool writeOut(QString* error);
    bool sync(QString* error);

    Sync m_sync;
    DeviceFactory m_open;
    bool m_syncEnabled = true;
    std::unique_ptr<QIODevice> m_device;
    QString m_path;
    QString m_target; // where a save's file goes: NAME, its symbolic links followed
    std::optional<std::pair<quint64, quint64>> m_recorded;
    QByteArray m_block;
    qint64 m_wholeBytes = 0; // the file up to the end of its last whole line
};

// "Cannot write "FILE": REASON".
QString cannotWrite(const QString& path, const QString& reason);
// Removes what saves of `target` left behind before they went through
// QSaveFile: NAME.part, NAME.part1 ... NAME.part99, regular files only and
// never a file being recorded. Every save does so once it is in place.
void removeOldAsideFiles(const QString& target);

// ISO 8859-1: a character beyond it becomes "?".
void appendLatin1(QByteArray& out, QStringView text);
// The bytes of one line: every cell followed by TAB, then CR LF, in Latin-1.
QByteArray dataFileLine(const QStringList& cells);

} // namespace quadtherm::recording
