#pragma once

#include <QFont>
#include <QString>

#include <functional>
#include <optional>

class QPrinter;
class QWidget;

namespace quadtherm::widgets {
class Grid;
class UserDialogs;
} // namespace quadtherm::widgets

namespace quadtherm::recording {

struct MainTimers;

// Prints every row of `grid` as the fixed-pitch listing: the print dialog,
// a note about printer settings, then each copy as a document of its own
// (four blank lines, the heading, a rule, the records, new pages as they
// fill). The main timers are paused while a copy prints and always started
// again at the end; `window`'s caption shows the progress, and a long print
// a progress dialog whose Cancel stops it (a file it was printing to goes).
//
// Printing to a PDF file writes one file per copy: the first under the name
// chosen, copy n (from 2) with "-n" before its extension.
void printListing(const widgets::Grid& grid, QWidget* window, widgets::UserDialogs& dialogs,
                  const MainTimers& timers);

// The fixed-pitch font of every printed listing, 8 points.
QFont listingFont();
// Prints the lines `next` gives, until it gives none, in the listing font
// down the pages of `printer`, as one document. False when the printer failed
// or when `keep`, asked at the end, says the document is not wanted after all
// (the job is aborted).
bool printLines(QPrinter& printer, const std::function<std::optional<QString>()>& next,
                const std::function<bool()>& keep = {});

// The file copy `copy` (from 1) of a listing printed to `path` goes to.
QString listingCopyPath(const QString& path, int copy);

} // namespace quadtherm::recording
