#pragma once

#include "cli/console.h"
#include "cli/signal_watch.h"
#include "recording/record_converter.h"

#include <QString>

namespace quadtherm::cli {

struct ExportRequest {
    QString input;
    QString out; // empty: standard output
    recording::ExportOptions options;
};

// quadtherm-cli export: a data file converted to CSV or JSON lines, with no
// meter. Returns the exit status: 0 done, 1 the input cannot be read,
// 3 the output cannot be written (or reading failed part way), 5 a line that
// is no record line (the records before it are converted), 128 + the signal
// when one ended it. An output file is written aside and takes its name only
// once it is whole, so a failure or a signal leaves no part of one.
int runExport(const ExportRequest& request, Console& console, const SignalWatch& signalWatch);

} // namespace quadtherm::cli
