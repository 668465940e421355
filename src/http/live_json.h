#pragma once

#include "http/live_mirror.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <deque>

namespace quadtherm::http {

// /api/live: the port, the latest sample's time, the link, the recording and
// its records, and the four channels (value, text, unit, type, state, alarm).
// Before the first sample there is no time and no channel.
QByteArray liveJson(const LiveView& view);

// /api/history: the last hour as [milliseconds since the epoch, T1, T2, T3,
// T4] rows, null where a channel had no number, in the latest sample's unit.
QByteArray historyJson(const LiveView& view, const std::deque<HistoryPoint>& history);

} // namespace quadtherm::http
