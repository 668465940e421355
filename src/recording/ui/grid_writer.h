#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace quadtherm::shared {
struct SaveChoice;
}

namespace quadtherm::widgets {
class Grid;
class UserDialogs;
} // namespace quadtherm::widgets

namespace quadtherm::recording {

// Asks for a data file to save to. A chosen file sets SaveFilePath and
// SaveFileChosen (a path naming a folder only is not a choice); a cancel
// clears SaveFileChosen and leaves the path. Returns SaveFileChosen.
bool runSaveDialog(widgets::UserDialogs& dialogs, QWidget* parent, shared::SaveChoice& state);

struct GridWriteOptions {
    // The caption shows the row being written followed by this.
    QString progressSuffix = QStringLiteral("Records Completed");
    // Runs the event loop (user input aside) between batches of rows. Only
    // for grids that nothing fills while they are written: the live list's
    // next row would otherwise arrive in mid-save.
    bool letEventsRun = false;
    // Told the failure's text instead of a message box, by a caller that
    // must not open one where it writes.
    std::function<void(const QString& message)> reportFailure;
};

// Writes rows 0..lastRow (the heading first) of columns 0..lastColumn to
// `path`, replacing the file, in the data file format, with a wait cursor
// and the progress in `window`'s caption. A failure is shown as a critical
// message naming the file and the system's reason; returns false then.
bool writeGrid(const widgets::Grid& grid, int lastColumn, int lastRow, const QString& path,
               QWidget* window, widgets::UserDialogs& dialogs,
               const GridWriteOptions& options = {});

} // namespace quadtherm::recording
