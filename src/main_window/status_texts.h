#pragma once

#include <QString>

#include <optional>

namespace quadtherm::main_window {

// The texts of the main window's bottom bar beside the specified labels.

// The intervals in use: "PC 1 s", and the meter's own logging interval once
// it is known: "PC 1 s · meter 2 s". Long intervals read in minutes or hours.
QString intervalText(int pcSeconds, std::optional<int> meterSeconds);
// A length of time as a clock reads a stopwatch: "0:00:07", "12:34:56",
// "3 d 01:02:03".
QString elapsedText(qint64 ms);
// What a user checks when no meter has answered for a while.
QString noAnswerText(const QString& portLabel, const QString& device);
// Why the port could not be opened, and what to do about it: the system's
// reason, and for a device the user may not use, the group that owns it
// (`group`, empty when unknown) and how to join it.
QString portOpenDetails(const QString& device, const QString& reason, const QString& group);
// The group that owns a device file; empty when it cannot be told.
QString ownerGroupOf(const QString& path);

} // namespace quadtherm::main_window
