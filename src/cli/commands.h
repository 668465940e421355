#pragma once

#include "cli/cli.h"
#include "cli/export_command.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace quadtherm::cli {

struct UsageError {
    QString message;
};

// A command with its arguments checked, ready to run.
using Command = std::function<int(Cli&)>;

// The whole --help text, built from the command table.
QString usage();
// The line after a usage error.
QString usageHint();
// Checks a command's arguments before the port is opened; throws UsageError.
Command parseCommand(const QString& name, const QStringList& args);
// Checks the arguments of export (those after its name); throws UsageError.
ExportRequest parseExport(QStringList args);
// Why a download refuses `folder`: it holds these set files of an earlier one.
QString setFilesHeldText(const QString& folder, const QStringList& files);
// A whole number in [low, high]; anything else throws UsageError naming
// `what` and the range.
qint64 wholeNumber(const QString& text, const QString& what, qint64 low, qint64 high);

} // namespace quadtherm::cli
