#include "graphs/ui/graph_output.h"

#include "graphs/ui/graph_style.h"
#include "widgets/user_dialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QPicture>
#include <QPointer>
#include <QPrinter>
#include <QSaveFile>
#include <QScopeGuard>
#include <qcustomplot.h>

namespace quadtherm::graphs {

namespace {

// Pictures are laid out in logical pixels of a 96 dpi screen; a PDF page
// takes the same size in points, 72 to the inch.
constexpr int kLogicalDpi = 96;

void vectorMode(QCPPainter& painter) {
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
}

QString cannotSave(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot save \"%1\": %2").arg(path, reason);
}

} // namespace

QString pictureFileFilter() {
    return QStringLiteral("PNG Image (*.png)|*.png|PDF Document (*.pdf)|*.pdf|");
}

bool savePicture(const QString& path, QSize size, double devicePixelRatio,
                 const PictureDrawing& draw, QString* error) {
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = cannotSave(path, reason);
        return false;
    };
    const QFileInfo info(path);
    // Opening a pipe for writing waits for a reader; a device is no picture.
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("it is not a regular file."));
    if (size.isEmpty())
        return fail(QStringLiteral("the picture is empty."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (info.suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0) {
        QPdfWriter writer(&file);
        writer.setResolution(kLogicalDpi);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(QPageSize(QSizeF(size) * 72.0 / kLogicalDpi, QPageSize::Point));
        QCPPainter painter;
        if (!painter.begin(&writer))
            return fail(QStringLiteral("the PDF could not be started."));
        vectorMode(painter);
        draw(painter, size);
        painter.end();
    } else {
        const double ratio = qBound(1.0, devicePixelRatio, 4.0);
        QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        {
            QCPPainter painter(&image);
            painter.setMode(QCPPainter::pmNoCaching);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            draw(painter, size);
        }
        if (!image.save(&file, "PNG"))
            return fail(file.errorString().isEmpty()
                            ? QStringLiteral("the PNG could not be written.")
                            : file.errorString());
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

void savePictureAs(QWidget* parent, widgets::UserDialogs& dialogs, QSize size,
                   const PictureDrawing& draw) {
    const QString path = dialogs.saveFile(parent, pictureFileFilter());
    if (path.isEmpty())
        return;
    const double ratio = parent ? parent->devicePixelRatioF() : 1.0;
    QString error;
    if (!savePicture(path, size, std::max(ratio, 2.0), draw, &error))
        dialogs.message(parent, error, {}, widgets::UserDialogs::Icon::Critical);
}

bool printPicture(QPrinter& printer, QSize size, const PictureDrawing& draw) {
    if (size.isEmpty())
        return false;
    // Fonts are sized for the device's resolution and a scale enlarges them
    // again: at the screen's resolution, one scale fits the whole picture,
    // text and lines alike, and a PDF keeps its vectors all the same.
    printer.setResolution(kLogicalDpi);
    printer.setPageOrientation(size.width() > size.height() ? QPageLayout::Landscape
                                                            : QPageLayout::Portrait);
    QCPPainter painter;
    if (!painter.begin(&printer))
        return false;
    vectorMode(painter);
    const QRectF page = painter.viewport();
    const double scale = std::min(page.width() / size.width(), page.height() / size.height());
    painter.translate((page.width() - size.width() * scale) / 2,
                      (page.height() - size.height() * scale) / 2);
    painter.scale(scale, scale);
    draw(painter, size);
    const bool ended = painter.end();
    return ended && printer.printerState() != QPrinter::Error;
}

void drawPlot(QCustomPlot& plot, QCPPainter& painter, QSize size) {
    plot.toPainter(&painter, size.width(), size.height());
    // Drawing laid the plot out for the picture; the screen's layout back.
    plot.replot(QCustomPlot::rpImmediateRefresh);
}

void drawWidget(QWidget& widget, QPainter& painter) {
    // Rendered straight onto a printer a widget becomes a picture of pixels;
    // recorded first, its text and lines reach the printer as they are.
    QPicture picture;
    widget.render(&picture, QPoint(), QRegion(),
                  QWidget::DrawWindowBackground | QWidget::DrawChildren);
    painter.drawPicture(0, 0, picture);
}

void drawWindowWithPlot(QWidget& window, QCustomPlot& plot, QCPPainter& painter) {
    drawWidget(window, painter);
    painter.save();
    painter.translate(plot.mapTo(&window, QPoint(0, 0)));
    drawPlot(plot, painter, plot.size());
    painter.restore();
}

void printGraphWindow(QWidget& window, QCustomPlot& plot, widgets::UserDialogs& dialogs,
                      const std::function<void(bool paper)>& setLook) {
    QPrinter printer(QPrinter::ScreenResolution);
    if (!dialogs.print(&window, printer))
        return;
    const QString sheet = window.styleSheet();
    // No blinking text cursor on paper.
    QPointer<QWidget> focused = QApplication::focusWidget();
    if (focused && !window.isAncestorOf(focused))
        focused = nullptr;
    if (focused)
        focused->clearFocus();
    const auto relayout = [&window] {
        if (window.layout())
            window.layout()->activate();
    };
    const auto restore = qScopeGuard([&] {
        window.setStyleSheet(sheet);
        setLook(false);
        relayout();
        plot.replot(QCustomPlot::rpQueuedReplot);
        if (focused)
            focused->setFocus();
    });
    window.setStyleSheet(paperStyleSheet());
    setLook(true);
    relayout();
    printPicture(printer, window.size(),
                 [&](QCPPainter& painter, QSize) { drawWindowWithPlot(window, plot, painter); });
}

} // namespace quadtherm::graphs
