#pragma once

#include <QSize>
#include <QString>

#include <functional>

class QCPPainter;
class QCustomPlot;
class QPainter;
class QPrinter;
class QWidget;

namespace quadtherm::widgets {
class UserDialogs;
}

namespace quadtherm::graphs {

// Draws a picture of `size` logical pixels on the painter, whatever device
// is behind it (a screen-sized image, a PDF page, a printer page).
using PictureDrawing = std::function<void(QCPPainter& painter, QSize size)>;

// The filter of the save dialog: PNG first, then PDF.
QString pictureFileFilter();

// Writes the picture to `path`: a PDF (vectors, one page of the picture's
// size) when the name ends in ".pdf", otherwise a PNG at the given device
// pixel ratio. The file appears whole or not at all (written aside, then
// renamed over); a name that is a folder, a pipe or a device is refused.
// False, with the reason in `error`, when it cannot be written.
bool savePicture(const QString& path, QSize size, double devicePixelRatio,
                 const PictureDrawing& draw, QString* error = nullptr);

// The "save as PNG or PDF" command of a graph window: asks for the name,
// saves, and says why when that fails. A cancelled dialog does nothing.
void savePictureAs(QWidget* parent, widgets::UserDialogs& dialogs, QSize size,
                   const PictureDrawing& draw);

// Prints the picture on one page of a printer the dialog set up (a printer
// or a PDF file), scaled to fit the page and centred. False when the printer
// could not be started or failed.
bool printPicture(QPrinter& printer, QSize size, const PictureDrawing& draw);

// Prints a graph window black on white through the print dialog: the
// window's look turned to paper (`setLook(true)`, with the paper style
// sheet) only after the dialog, and back (`setLook(false)`, the style sheet
// it had) whatever happens. A cancelled dialog or a failing printer ends it
// without a word.
void printGraphWindow(QWidget& window, QCustomPlot& plot, widgets::UserDialogs& dialogs,
                      const std::function<void(bool paper)>& setLook);

// Draws a plot as vectors at the painter's origin.
void drawPlot(QCustomPlot& plot, QCPPainter& painter, QSize size);
// Draws a widget and its children as they look, as vectors where they are
// drawn as such.
void drawWidget(QWidget& widget, QPainter& painter);
// Draws a window as it looks, with the plot inside it drawn again on top as
// vectors rather than as its screen buffer.
void drawWindowWithPlot(QWidget& window, QCustomPlot& plot, QCPPainter& painter);

} // namespace quadtherm::graphs
