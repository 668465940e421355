#pragma once

#include "logger_memory/memory_dump.h"
#include "meter_link/meter_protocol.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace quadtherm::cli {

// What the commands print with --json, one object a line. A setting that was
// set says so with "set":true. Times carry this computer's offset; the
// meter's clock has none and is read as this computer's local time.
QJsonObject statusJson(qint64 memoryPointer, int manualCount);
// {"clock":"2026-12-07T15:44:22+01:00"}; null for a clock never set.
QJsonObject clockJson(const meter_link::MeterClock& clock);
QJsonObject clockSetJson(const QDateTime& now);
QJsonObject intervalJson(int seconds, bool set);
QJsonObject powerOffJson(int minutes, bool set);
QJsonObject memorySizeJson(int code, bool set);
QJsonObject keyJson(const QString& name, bool held);
QJsonObject erasedJson(bool automatic);
// A set written by download auto: number, start, interval, records, file.
QJsonObject recordSetJson(const logger_memory::RecordSet& set, const QString& file);
// A row of the manual readings ("°C", date and time, "K: 25.4" ...) as a
// record: {"reading":N,"time":...,"unit":"°C","channels":[...]}.
QJsonObject manualReadingJson(qint64 number, const QStringList& cells);

} // namespace quadtherm::cli
