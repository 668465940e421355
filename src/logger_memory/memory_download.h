#pragma once

#include "logger_memory/memory_dump.h"
#include "meter_link/meter_protocol.h"
#include "shared/run_state.h"

#include <algorithm>

namespace quadtherm::logger_memory {

using DumpEnd = meter_link::MeterProtocol::DumpReply::End;

// The steps of the two downloads that need no window, shared by the desktop
// program and quadtherm-cli. The caller stops and starts the live timers.

// The start of an automatic download: the input flushed, the status
// exchange and the memory size request ("Y" 00, 0.2 s). Sets MemoryPointer,
// ManualCount and MemorySizeCode; false when the program is closing.
bool readMemoryStatus(meter_link::MeterProtocol& protocol, shared::RunState& state);
// The meter holds record sets: its pointer is past the start of the data area.
bool holdsRecordSets(const shared::LinkState& link);

// What the start of an automatic download learnt, as a copy for the windows.
struct MemoryStatus {
    bool read = false; // false: the program is closing
    double MemoryPointer = 0;
    qint16 ManualCount = 0;
    int MemorySizeCode = 0;
    bool MemoryFull = false;
};
MemoryStatus readMemoryStatusCopy(meter_link::MeterProtocol& protocol, shared::RunState& state);

struct SetsDownload {
    DumpEnd end = DumpEnd::Stopped;
    qint64 received = 0;
    qint64 expected = 0;
    // The sets that arrived whole; on a complete dump the damage, if any.
    SetWalk walk;
    bool complete() const { return end == DumpEnd::Complete; }
    bool damaged() const { return complete() && walk.damage != SetDamage::None; }
    // The data area's length: the reply without its four leading and one trailing byte.
    qint64 dataBytes() const { return std::max<qint64>(expected - 5, 0); }
};
// The status exchange, "R", 0.2 s, the dump, and the walk over its data area.
SetsDownload downloadRecordSets(meter_link::MeterProtocol& protocol,
                                const meter_link::MeterProtocol::Progress& progress);

struct ManualDownload {
    DumpEnd end = DumpEnd::Stopped;
    qint64 received = 0;
    qint64 expected = 0;
    ManualReadings readings; // the records that arrived whole
    bool complete() const { return end == DumpEnd::Complete && readings.complete(); }
};
// The status exchange, "Q", 0.2 s, the dump, and its records decoded.
ManualDownload downloadManualReadings(meter_link::MeterProtocol& protocol, shared::RunState& state,
                                      const meter_link::MeterProtocol::Progress& progress);

// After a dump: what arrived beyond it is dropped. A dump that ended early
// (Cancel, a stall) may still be on its way: its rest is drained until the
// line is quiet or the readings come again, so the link holds without a
// re-synchronisation while the meter is there. Only a line that keeps
// sending something else is rebuilt (NeedResync). False when the program is
// closing.
bool settleAfterDump(meter_link::MeterProtocol& protocol, shared::RunState& state, DumpEnd end,
                     qint64 received, qint64 expected);

// A set as a data file, as the downloaded-data list saves it in the set's
// own unit: the heading row, then one line per record. Written through the
// one data-file writer; false with its message when the file cannot be.
bool writeSetFile(const RecordSet& set, const QString& path, QString* error = nullptr);
// "set-001.4ch" for set 1.
QString setFileName(int number);
// The set files in `folder` ("set-001.4ch", "set-1000.4ch" ...), by name:
// what an earlier download left there. Nothing for a folder that is missing.
QStringList setFilesIn(const QString& folder);
// Writes `sets` into `folder` (made if need be) as set files, all of them or
// none: each is written and synced in a staging folder inside `folder`, and
// only once every one is whole do they take their names, each replacing a
// file of that name (whose permissions it keeps). With `removeOthers`, the
// set files that were there before and that this download did not replace
// are removed then. False with the message when a file cannot be written;
// the folder then holds what it held before. (Only a folder in the way of a
// file could make a move fail on the one file system; it is looked for
// before the first move.)
bool writeSetFiles(const QList<RecordSet>& sets, const QString& folder, bool removeOthers,
                   QString* error = nullptr);
// The manual readings list as a text file of the data file format: the
// heading row, then one line per reading.
bool writeManualFile(const QList<QStringList>& rows, const QString& path, QString* error = nullptr);

// What the user is told when a dump did not arrive whole: the meter went
// silent, or the user cancelled.
QString unfinishedText(DumpEnd end, qint64 received, qint64 expected);

} // namespace quadtherm::logger_memory
