#include "recording/ui/listing_printer.h"

#include "recording/listing_text.h"
#include "recording/ui/file_list_window.h"
#include "widgets/caption_progress.h"
#include "widgets/grid.h"
#include "widgets/user_dialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QScopeGuard>
#include <QWidget>

namespace quadtherm::recording {

namespace {

// Rows printed between caption updates and event passes.
constexpr int kLinesPerProgressStep = 1000;
constexpr int kBlankLinesOnTop = 4;

bool printCopy(QPrinter& printer, const widgets::Grid& grid, widgets::CaptionProgress& progress) {
    int blank = 0, row = 0;
    bool ruleDue = false;
    return printLines(printer, [&]() -> std::optional<QString> {
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
        QStringList cells;
        for (int col = 0; col < grid.Cols(); ++col)
            cells.append(grid.textAt(row, col));
        progress.step(row);
        ruleDue = row++ == 0;
        return listingLine(cells);
    });
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

bool printLines(QPrinter& printer, const std::function<std::optional<QString>()>& next) {
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
    bool printed = true;
    {
        // The wait cursor only after the dialogs, which still want a pointer.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto pointer = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        for (int copy = 1; copy <= copies && printed; ++copy) {
            if (!output.isEmpty())
                printer.setOutputFileName(listingCopyPath(output, copy));
            if (timers.stop)
                timers.stop();
            printed = printCopy(printer, grid, progress);
        }
    }
    if (!printed) {
        const QString where = output.isEmpty()
                                  ? printer.printerName()
                                  : QFileInfo(printer.outputFileName()).absoluteFilePath();
        dialogs.message(window,
                        QStringLiteral("The listing could not be printed to %1.").arg(where),
                        QString(), widgets::UserDialogs::Icon::Critical);
    }
}

} // namespace quadtherm::recording
