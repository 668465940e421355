#include "recording/ui/grid_writer.h"

#include "recording/data_file.h"
#include "recording/data_file_writer.h"
#include "shared/view_state.h"
#include "widgets/caption_progress.h"
#include "widgets/grid.h"
#include "widgets/user_dialogs.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QWidget>

#include <functional>

namespace quadtherm::recording {

namespace {

// Caption updates and event passes cost more than writing the rows between them.
constexpr int kRowsPerProgressStep = 10000;

QByteArray gridLine(const widgets::Grid& grid, int row, int lastColumn) {
    QByteArray line;
    if (lastColumn == grid.Cols() - 1) {
        // The joined row is every cell followed by TAB, less the final TAB.
        appendLatin1(line, grid.rowText(row));
        line.append('\t');
    } else {
        for (int col = 0; col <= lastColumn; ++col) {
            appendLatin1(line, grid.textAt(row, col));
            line.append('\t');
        }
    }
    line.append("\r\n", 2);
    return line;
}

// Why the rows could not be written, or empty when every one was.
QString writeRows(const widgets::Grid& grid, int lastColumn, int lastRow, const QString& path,
                  const std::function<void(int row)>& progress) {
    lastColumn = qBound(0, lastColumn, grid.Cols() - 1);
    DataFileWriter writer;
    QString error;
    if (!writer.open(path, &error))
        return error;
    for (int row = 0; row <= lastRow && row < grid.Rows(); ++row) {
        if (!writer.writeLineBytes(gridLine(grid, row, lastColumn), &error))
            return error;
        progress(row);
    }
    return writer.close(&error) ? QString() : error;
}

} // namespace

bool runSaveDialog(widgets::UserDialogs& dialogs, QWidget* parent, shared::SaveChoice& state) {
    const QString path = dialogs.saveFile(parent, kDataFileFilter);
    if (path.isEmpty()) {
        state.SaveFileChosen = false;
        return false;
    }
    state.SaveFilePath = path;
    state.SaveFileChosen = !QFileInfo(path).fileName().isEmpty();
    return state.SaveFileChosen;
}

bool writeGrid(const widgets::Grid& grid, int lastColumn, int lastRow, const QString& path,
               QWidget* window, widgets::UserDialogs& dialogs, const GridWriteOptions& options) {
    QString reason;
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto pointer = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        widgets::CaptionProgress progress(window, options.progressSuffix, kRowsPerProgressStep,
                                          options.letEventsRun
                                              ? widgets::CaptionProgress::Events::WithoutInput
                                              : widgets::CaptionProgress::Events::None);
        reason = writeRows(grid, lastColumn, lastRow, path, [&](int row) { progress.step(row); });
    }
    if (reason.isEmpty())
        return true;
    // Said after the wait cursor is gone, so the box gets an ordinary pointer.
    if (options.reportFailure)
        options.reportFailure(reason);
    else
        dialogs.message(window, reason, QString(), widgets::UserDialogs::Icon::Critical);
    return false;
}

} // namespace quadtherm::recording
