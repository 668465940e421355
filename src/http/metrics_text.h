#pragma once

#include "http/live_mirror.h"
#include "http/server_figures.h"

#include <QByteArray>

namespace quadtherm::http {

// The Prometheus text exposition (version 0.0.4) of what the server knows.
// Every series carries the `port` it reads, so that one Prometheus can scrape
// several meters. While the link is up each channel has its reading state as
// a set of four 0/1 series, one per state, and its alarm flag; only a channel
// that reads a number has a temperature, in the meter's unit.
QByteArray metricsText(const LiveView& view, const ServerFigures& figures);

// A label value with its backslashes, quotes and line ends escaped.
QByteArray labelValue(const QString& text);

} // namespace quadtherm::http
