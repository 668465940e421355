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
constexpr int kProgressEvery = 1000;
constexpr int kBlankLinesOnTop = 4;

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

// Lines down the page, starting a new page when the next one would not fit.
class LineWriter {
public:
    LineWriter(QPrinter& printer, QPainter& painter)
        : m_printer(printer), m_painter(painter), m_metrics(painter.font(), painter.device()),
          m_pageHeight(painter.viewport().height()) {}

    bool print(const QString& text) {
        if (m_y > 0 && m_y + m_metrics.lineSpacing() > m_pageHeight) {
            if (!m_printer.newPage())
                return false;
            m_y = 0;
        }
        m_painter.drawText(QPointF(0, m_y + m_metrics.ascent()), text);
        m_y += m_metrics.lineSpacing();
        return true;
    }

private:
    QPrinter& m_printer;
    QPainter& m_painter;
    QFontMetricsF m_metrics;
    qreal m_pageHeight;
    qreal m_y = 0;
};

bool printCopy(QPrinter& printer, const widgets::Grid& grid, widgets::CaptionProgress& progress) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setFont(listingFont());
    LineWriter lines(printer, painter);
    bool printed = true;
    for (int i = 0; i < kBlankLinesOnTop && printed; ++i)
        printed = lines.print(QStringLiteral(" "));
    for (int row = 0; row < grid.Rows() && printed; ++row) {
        QStringList cells;
        for (int col = 0; col < grid.Cols(); ++col)
            cells.append(grid.textAt(row, col));
        printed = lines.print(listingLine(cells));
        if (row == 0 && printed)
            printed = lines.print(listingRule());
        progress.step(row);
    }
    return painter.end() && printed && printer.printerState() != QPrinter::Error;
}

} // namespace

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
    widgets::CaptionProgress progress(window, QStringLiteral(" Completed"), kProgressEvery,
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
