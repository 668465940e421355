#include "logger_memory/memory_download.h"

#include "logger_memory/memory_figures.h"
#include "recording/data_file_writer.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quadtherm::logger_memory {

bool readMemoryStatus(meter_link::MeterProtocol& protocol, shared::RunState& state) {
    protocol.discardInput();
    // The size request runs the status exchange before it.
    const std::optional<int> code = protocol.readMemorySize();
    if (protocol.stopped())
        return false;
    state.recording.MemorySizeCode = memorySizeCode(code);
    return true;
}

MemoryStatus readMemoryStatusCopy(meter_link::MeterProtocol& protocol, shared::RunState& state) {
    MemoryStatus status;
    status.read = readMemoryStatus(protocol, state);
    status.MemoryPointer = state.link.MemoryPointer;
    status.ManualCount = state.link.ManualCount;
    status.MemorySizeCode = state.recording.MemorySizeCode;
    status.MemoryFull = state.live.MemoryFull;
    return status;
}

bool holdsRecordSets(const shared::LinkState& link) {
    return link.MemoryPointer > kDataAreaStart;
}

SetsDownload downloadRecordSets(meter_link::MeterProtocol& protocol,
                                const meter_link::MeterProtocol::Progress& progress) {
    const auto reply = protocol.dumpMemory(progress);
    SetsDownload out;
    out.end = reply.end;
    out.expected = reply.expected;
    out.received = std::min<qint64>(reply.bytes.size(), reply.expected);
    // A dump cut short still holds the sets that arrived whole; the one it
    // stopped in is no damage of the meter's.
    out.walk = walkSets(dataAreaOf(reply.bytes, out.complete()));
    if (!out.complete())
        out.walk.damage = SetDamage::None;
    return out;
}

ManualDownload downloadManualReadings(meter_link::MeterProtocol& protocol, shared::RunState& state,
                                      const meter_link::MeterProtocol::Progress& progress) {
    const auto reply = protocol.dumpManual(progress);
    ManualDownload out;
    out.end = reply.end;
    out.expected = reply.expected;
    out.received = std::min<qint64>(reply.bytes.size(), reply.expected);
    out.readings = decodeManualDump(reply.bytes, state.link.ManualCount);
    return out;
}

bool settleAfterDump(meter_link::MeterProtocol& protocol, shared::RunState& state, DumpEnd end,
                     qint64 received, qint64 expected) {
    using Drain = meter_link::MeterProtocol::DrainEnd;
    if (end == DumpEnd::Stopped)
        return false;
    if (end != DumpEnd::Complete) {
        switch (protocol.drainDump(expected - received)) {
        case Drain::Stopped:
            return false;
        case Drain::Garbage:
            state.link.NeedResync = true;
            break;
        case Drain::Frames:
        case Drain::Quiet:
            break;
        }
    }
    protocol.readAllWaiting();
    protocol.discardInput();
    return true;
}

bool writeSetFile(const RecordSet& set, const QString& path, QString* error) {
    const DecodedSet decoded = decodeSet(set);
    const bool f = set.header.fahrenheit;
    const recording::SixValues& heading = f ? decoded.headingF : decoded.headingC;
    recording::DataFileWriter writer;
    if (!writer.open(path, error) ||
        !writer.writeLine(QStringList(heading.begin(), heading.end()), error))
        return false;
    for (const QByteArray& row : f ? decoded.rowsF : decoded.rowsC)
        if (!writer.writeLineBytes(row + "\t\r\n", error))
            return false;
    return writer.close(error);
}

QString setFileName(int number) {
    return QStringLiteral("set-%1.4ch").arg(number, 3, 10, QLatin1Char('0'));
}

QStringList setFilesIn(const QString& folder) {
    static const QRegularExpression kSetFile(QStringLiteral("^set-\\d{3,}\\.4ch$"));
    QStringList files;
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : entries)
        if (kSetFile.match(name).hasMatch())
            files.append(name);
    return files;
}

bool writeSetFiles(const QList<RecordSet>& sets, const QString& folder, bool removeOthers,
                   QString* error) {
    const bool made = !QFileInfo::exists(folder);
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = recording::cannotWrite(folder, QStringLiteral("cannot make the folder"));
        return false;
    }
    const QDir dir(folder);
    // Inside the folder, so that moving a file to its name is a rename on
    // the same file system. Removed with what it holds, whatever happens.
    QTemporaryDir staging(dir.filePath(QStringLiteral(".quadtherm-download-XXXXXX")));
    const auto failed = [&](const QString& message) {
        if (error)
            *error = message;
        staging.remove();
        if (made)
            QDir().rmdir(folder);
        return false;
    };
    if (!staging.isValid())
        return failed(recording::cannotWrite(folder, staging.errorString()));
    QStringList names;
    for (const RecordSet& set : sets) {
        const QString name = setFileName(set.number);
        QString why;
        if (!writeSetFile(set, staging.filePath(name), &why))
            return failed(why.replace(staging.filePath(name), dir.filePath(name)));
        names.append(name);
    }
    // A folder where a file should go would stop the moves half way: it is
    // found before any file moves.
    for (const QString& name : names) {
        struct stat info {};
        if (::lstat(QFile::encodeName(dir.filePath(name)).constData(), &info) == 0 &&
            S_ISDIR(info.st_mode))
            return failed(recording::cannotWrite(dir.filePath(name),
                                                 QString::fromLocal8Bit(std::strerror(EISDIR))));
    }
    const QStringList before = removeOthers ? setFilesIn(folder) : QStringList();
    for (const QString& name : names) {
        const QByteArray from = QFile::encodeName(staging.filePath(name));
        const QByteArray to = QFile::encodeName(dir.filePath(name));
        struct stat old {};
        if (::stat(to.constData(), &old) == 0 && S_ISREG(old.st_mode))
            ::chmod(from.constData(), old.st_mode & 07777);
        if (::rename(from.constData(), to.constData()) != 0)
            return failed(recording::cannotWrite(dir.filePath(name),
                                                 QString::fromLocal8Bit(std::strerror(errno))));
        recording::removeOldAsideFiles(dir.filePath(name));
    }
    for (const QString& name : before) {
        struct stat info {};
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        if (!names.contains(name) && ::lstat(path.constData(), &info) == 0 &&
            !S_ISDIR(info.st_mode))
            ::unlink(path.constData());
    }
    // The new names, and the old ones gone, survive a power cut.
    if (const int fd =
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

bool writeManualFile(const QList<QStringList>& rows, const QString& path, QString* error) {
    recording::DataFileWriter writer;
    if (!writer.open(path, error) || !writer.writeLine(manualHeadingCells(), error))
        return false;
    for (const QStringList& row : rows)
        if (!writer.writeLine(row, error))
            return false;
    return writer.close(error);
}

QString unfinishedText(DumpEnd end, qint64 received, qint64 expected) {
    const QString share = QStringLiteral("%1 of %2 bytes (%3%)")
                              .arg(received)
                              .arg(expected)
                              .arg(percentText(received, expected));
    switch (end) {
    case DumpEnd::Stalled:
        return QStringLiteral("The meter stopped sending after %1: the download is incomplete.")
            .arg(share);
    case DumpEnd::Cancelled:
        return QStringLiteral("Download cancelled after %1.").arg(share);
    case DumpEnd::Stopped:
    case DumpEnd::Complete:
        break;
    }
    return QStringLiteral("The download ended after %1.").arg(share);
}

} // namespace quadtherm::logger_memory
