#include "recording/ui/grid_writer.h"

#include "recording/data_file.h"
#include "shared/recording_state.h"
#include "widgets/grid.h"
#include "widgets/user_dialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QWidget>

#include <functional>

namespace quadtherm::recording {

namespace {

// Caption updates and event passes cost more than writing the rows between them.
constexpr int kProgressEvery = 10000;
constexpr qsizetype kFlushBytes = 1 << 20;

void appendLatin1(QByteArray& out, QStringView text) {
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char* to = out.data() + at;
    for (const QChar c : text)
        *to++ = c.unicode() < 0x100 ? char(c.unicode()) : '?';
}

void appendLine(QByteArray& out, const widgets::Grid& grid, int row, int lastColumn) {
    if (lastColumn == grid.Cols() - 1) {
        // The joined row is every cell followed by TAB, less the final TAB.
        appendLatin1(out, grid.rowText(row));
        out.append('\t');
    } else {
        for (int col = 0; col <= lastColumn; ++col) {
            appendLatin1(out, grid.textAt(row, col));
            out.append('\t');
        }
    }
    out.append("\r\n", 2);
}

// The system's reason for a failure, or empty when every row was written.
QString writeRows(const widgets::Grid& grid, int lastColumn, int lastRow, const QString& path,
                  const std::function<void(int row)>& progress) {
    lastColumn = qBound(0, lastColumn, grid.Cols() - 1);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return file.errorString();
    QByteArray buffer;
    buffer.reserve(kFlushBytes + 4096);
    int row = 0;
    for (; row <= lastRow && row < grid.Rows(); ++row) {
        appendLine(buffer, grid, row, lastColumn);
        if (buffer.size() >= kFlushBytes) {
            if (file.write(buffer) != buffer.size())
                return file.errorString();
            buffer.clear();
        }
        if (row > 0 && row % kProgressEvery == 0)
            progress(row);
    }
    if (file.write(buffer) != buffer.size() || !file.flush())
        return file.errorString();
    if (row > 0)
        progress(row - 1);
    return {};
}

} // namespace

bool runSaveDialog(widgets::UserDialogs& dialogs, QWidget* parent, shared::RecordingState& state) {
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
        const QString caption = window ? window->windowTitle() : QString();
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([&] {
            if (window)
                window->setWindowTitle(caption);
            QGuiApplication::restoreOverrideCursor();
        });
        reason = writeRows(grid, lastColumn, lastRow, path, [&](int row) {
            if (window)
                window->setWindowTitle(QString::number(row) + options.progressSuffix);
            if (options.letEventsRun)
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    }
    if (reason.isEmpty())
        return true;
    // Said after the wait cursor is gone, so the box gets an ordinary pointer.
    const QString message = QStringLiteral("The file %1 could not be written.\r%2")
                                .arg(QFileInfo(path).absoluteFilePath(), reason);
    if (options.reportFailure)
        options.reportFailure(message);
    else
        dialogs.message(window, message, QString(), widgets::UserDialogs::Icon::Critical);
    return false;
}

} // namespace quadtherm::recording
