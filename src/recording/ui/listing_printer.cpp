#include "recording/ui/listing_printer.h"

#include "recording/listing_text.h"
#include "recording/ui/file_list_window.h"
#include "widgets/caption_progress.h"
#include "widgets/grid.h"
#include "widgets/user_dialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QWidget>

namespace quadtherm::recording {

namespace {

// Rows printed between caption updates and event passes.
constexpr int kLinesPerProgressStep = 1000;
constexpr int kBlankLinesOnTop = 4;

// A long print shows its progress dialog after this long.
constexpr int kProgressDialogAfterMs = 2000;

enum class CopyPrinted { Yes, Failed, Cancelled };

// `done` counts the rows of earlier copies, for the progress dialog.
CopyPrinted printCopy(QPrinter& printer, const widgets::Grid& grid,
                      widgets::CaptionProgress& progress, QProgressDialog& stopper, int done) {
    int blank = 0, row = 0;
    bool ruleDue = false;
    bool cancelled = false;
    const bool printed = printLines(printer, [&]() -> std::optional<QString> {
        if (blank < kBlankLinesOnTop) {
            ++blank;
            return QStringLiteral(" ");
        }
        if (ruleDue) {
            ruleDue = false;
            return listingRule();
        }
        if (row >= grid.Rows())
            return std::nullopt;
        if (row > 0 && row % kLinesPerProgressStep == 0) {
            progress.show(row);
            stopper.setMaximum(qMax(stopper.maximum(), done + grid.Rows()));
            stopper.setValue(done + row);
            if (stopper.wasCanceled()) {
                cancelled = true;
                return std::nullopt;
            }
        }
        QStringList cells;
        for (int col = 0; col < grid.Cols(); ++col)
            cells.append(grid.textAt(row, col));
        ruleDue = row++ == 0;
        return listingLine(cells);
    }, [&] { return !cancelled; });
    if (cancelled)
        return CopyPrinted::Cancelled;
    return printed ? CopyPrinted::Yes : CopyPrinted::Failed;
}

} // namespace

QFont listingFont() {
    // Lucida Console is rarely installed outside Windows; the fallbacks keep
    // the columns aligned wherever the listing is printed.
    QFont font;
    font.setFamilies({QStringLiteral("Lucida Console"), QStringLiteral("DejaVu Sans Mono"),
                      QStringLiteral("monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(8);
    return font;
}

bool printLines(QPrinter& printer, const std::function<std::optional<QString>()>& next,
                const std::function<bool()>& keep) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setFont(listingFont());
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal pageHeight = painter.viewport().height();
    qreal y = 0;
    bool printed = true;
    for (auto line = next(); line; line = next()) {
        // A new page when the next line would not fit.
        if (y > 0 && y + metrics.lineSpacing() > pageHeight) {
            if (!printer.newPage()) {
                printed = false;
                break;
            }
            y = 0;
        }
        painter.drawText(QPointF(0, y + metrics.ascent()), *line);
        y += metrics.lineSpacing();
    }
    if (keep && !keep()) {
        // Stopped by the user: what the printer still takes back goes.
        printer.abort();
        painter.end();
        return false;
    }
    return painter.end() && printed && printer.printerState() != QPrinter::Error;
}

QString listingCopyPath(const QString& path, int copy) {
    if (copy <= 1)
        return path;
    const QString suffix = QFileInfo(path).suffix();
    const QString number = QStringLiteral("-%1").arg(copy);
    return suffix.isEmpty() ? path + number
                            : path.chopped(suffix.size() + 1) + number + QLatin1Char('.') + suffix;
}

void printListing(const widgets::Grid& grid, QWidget* window, widgets::UserDialogs& dialogs,
                  const MainTimers& timers) {
    const auto restart = qScopeGuard([&] {
        if (timers.start)
            timers.start();
    });
    widgets::CaptionProgress progress(window, QStringLiteral(" Completed"), kLinesPerProgressStep,
                                      widgets::CaptionProgress::Events::WithoutInput);
    QPrinter printer(QPrinter::HighResolution);
    if (!dialogs.print(window, printer))
        return;
    dialogs.message(window, listingPrinterNote(), QString(), widgets::UserDialogs::Icon::None,
                    QMessageBox::Ok);

    // Each copy is a job of its own, so a driver that ignores the copy count
    // still gives as many; a PDF copy would overwrite the last one.
    const int copies = qMax(1, printer.copyCount());
    printer.setCopyCount(1);
    const QString output = printer.outputFileName();
    // Besides the caption, a long print (a day's recording is thousands of
    // pages) offers a way out. While it shows, it is the only window that
    // takes input.
    QProgressDialog stopper(QStringLiteral("Printing the listing…"), QStringLiteral("Cancel"), 0,
                            copies * qMax(1, grid.Rows()), window);
    stopper.setObjectName(QStringLiteral("PrintProgress"));
    stopper.setWindowTitle(window ? window->windowTitle() : QString());
    stopper.setWindowModality(Qt::ApplicationModal);
    stopper.setMinimumDuration(kProgressDialogAfterMs);
    stopper.setAutoReset(false);
    stopper.setAutoClose(false);
    stopper.setValue(0);
    CopyPrinted printed = CopyPrinted::Yes;
    {
        // The wait cursor only after the dialogs, which still want a pointer.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto pointer = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        for (int copy = 1; copy <= copies && printed == CopyPrinted::Yes; ++copy) {
            if (!output.isEmpty())
                printer.setOutputFileName(listingCopyPath(output, copy));
            if (timers.stop)
                timers.stop();
            printed = printCopy(printer, grid, progress, stopper, (copy - 1) * grid.Rows());
        }
    }
    stopper.reset();
    if (printed == CopyPrinted::Cancelled) {
        // No half a listing left behind in a file.
        if (!output.isEmpty())
            QFile::remove(printer.outputFileName());
        return;
    }
    if (printed == CopyPrinted::Failed) {
        const QString where = output.isEmpty()
                                  ? printer.printerName()
                                  : QFileInfo(printer.outputFileName()).absoluteFilePath();
        dialogs.message(window,
                        QStringLiteral("The listing could not be printed to %1.").arg(where),
                        QString(), widgets::UserDialogs::Icon::Critical);
    }
}

} // namespace quadtherm::recording
