#include "cli/export_command.h"

#include "cli/cli.h"
#include "recording/data_file_export.h"
#include "recording/data_file_writer.h"
#include "shared/clock.h"
#include "shared/output_queue.h"

#include <QCoreApplication>

#include <optional>

#include <unistd.h>

namespace quadtherm::cli {

namespace {

using recording::DataFileExport;

// Several blocks' output: the writer thread writes one while the next is
// converted.
constexpr qsizetype kStdoutQueueBytes = 16 << 20;
constexpr int kWaitMs = 5;
// Data that stops being readable part way, as damaged memory data does: what
// came before it is written.
constexpr int kExitBadLine = kExitDamagedMemory;

// Where the conversion goes: standard output through a writer thread of its
// own, so that a reader who stops reading holds up that thread only and
// Ctrl-C is still heard, or a file written aside.
class ExportOutput {
public:
    ExportOutput(const QString& path, const SignalWatch& signalWatch)
        : m_path(path), m_signals(signalWatch) {
        if (path.isEmpty())
            m_stdout.emplace(STDOUT_FILENO, kStdoutQueueBytes);
    }

    bool write(QByteArray& bytes, QString* error) {
        if (bytes.isEmpty())
            return true;
        if (m_stdout) {
            while (!m_stdout->hasRoom(bytes.size()) && !interrupted())
                m_clock.sleep(kWaitMs);
            if (!interrupted())
                m_stdout->push(bytes);
            bytes.clear();
            return true;
        }
        if (!m_file.isOpen() && !m_file.open(m_path, error))
            return false;
        const bool written = m_file.writeLineBytes(bytes, error);
        bytes.clear();
        return written;
    }

    // Puts a file in its place, or lets standard output get out.
    bool finish(QString* error) {
        if (m_stdout) {
            while (m_stdout->pending() > 0 && !interrupted())
                m_clock.sleep(kWaitMs);
            return true;
        }
        // A file gets its header even when nothing after it was converted.
        if (!m_file.isOpen() && !m_file.open(m_path, error))
            return false;
        return m_file.close(error);
    }

    bool interrupted() const { return m_signals.count() > 0; }

private:
    QString m_path;
    const SignalWatch& m_signals;
    shared::SystemClock m_clock;
    std::optional<shared::OutputQueue> m_stdout;
    recording::DataFileWriter m_file;
};

} // namespace

int runExport(const ExportRequest& request, Console& console, const SignalWatch& signalWatch) {
    DataFileExport input(request.input, request.options);
    if (!input.isOpen()) {
        console.error(input.error());
        return kExitUsage;
    }
    if (!request.out.isEmpty() && input.isInput(request.out)) {
        console.error(QStringLiteral("\"%1\" is the data file being exported: give --out "
                                     "another file")
                          .arg(request.out));
        return kExitUsage;
    }
    ExportOutput output(request.out, signalWatch);
    QByteArray converted;
    QString error;
    DataFileExport::Step step = DataFileExport::Step::More;
    while (step == DataFileExport::Step::More) {
        // Lets the signal watch hear Ctrl-C between blocks.
        QCoreApplication::processEvents();
        if (output.interrupted())
            break;
        step = input.next(converted);
        if (!output.write(converted, &error)) {
            console.error(error);
            return kExitWriteFailed;
        }
    }
    if (step == DataFileExport::Step::ReadFailed) {
        console.error(input.problem());
        return kExitWriteFailed;
    }
    const bool badLine = step == DataFileExport::Step::BadLine;
    if (badLine)
        console.error(input.hasHeading()
                          ? input.problem() + QStringLiteral("; the %1 records before it were "
                                                             "converted")
                                                  .arg(input.records())
                          : input.problem());
    const auto interrupted = [&] {
        console.error(QStringLiteral("interrupted by %1").arg(signalWatch.name()) +
                      (request.out.isEmpty()
                           ? QString()
                           : QStringLiteral(": \"%1\" was not written").arg(request.out)));
        return signalWatch.exitStatus();
    };
    if (output.interrupted())
        return interrupted();
    // A file with no heading gives nothing to write: no output file either.
    if ((input.hasHeading() || !badLine) && !output.finish(&error)) {
        console.error(error);
        return kExitWriteFailed;
    }
    // Standard output that was still being written when a signal came.
    if (request.out.isEmpty() && output.interrupted())
        return interrupted();
    return badLine ? kExitBadLine : 0;
}

} // namespace quadtherm::cli
