// The main window's toolbar commands that open data files and the live list.

#include "main_window/ui/panel.h"
#include "main_window/ui/unit_panel.h"
#include "recording/data_file.h"
#include "recording/ui/file_list_window.h"
#include "recording/ui/grid_writer.h"
#include "recording/ui/list_window.h"
#include "widgets/caption_progress.h"
#include "widgets/key_toolbar.h"
#include "widgets/toolbar_icons.h"
#include "widgets/user_dialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QScopeGuard>

namespace quadtherm::main_window {

namespace {

using Icon = widgets::UserDialogs::Icon;

} // namespace

void Panel::openDataFile() {
    if (m_loadingFile)
        return;
    if (m_recording->active()) {
        m_dialogs.message(this, QStringLiteral("Recording Mode!\n\rPlease stop recording!"), {},
                          Icon::Critical);
        return;
    }
    const QString path = m_dialogs.openFile(this, recording::kDataFileFilter);
    if (path.isEmpty())
        return;
    // A pipe or a device would hang the read, and a huge file would fill the
    // memory: those are refused with a message. A file that cannot be opened
    // ends the command without one.
    recording::DataFileReader reader(path);
    if (!reader.refusal().isEmpty()) {
        m_dialogs.message(this, reader.refusal(), {}, Icon::Critical);
        return;
    }
    if (!reader.isOpen())
        return;
    if (m_fileList)
        m_fileList->deleteLater(); // each file opens in a fresh window
    m_fileList = new recording::FileListWindow(m_view.windows,
                                               session::typeLetters(m_client.mirror().channels),
                                               m_dialogs, recording::mainTimersOf(m_client), this);
    connectFileList();
    m_fileList->show();
    // The live poll and the cycle rest while the file loads.
    const auto paused = m_client.pause(session::pollAndCyclePaused());
    m_loadingFile = true;
    const auto done = qScopeGuard([&] { m_loadingFile = false; });

    m_fileList->loadFile(reader, QFileInfo(path).fileName());
}

void Panel::openList() {
    auto& windows = m_view.windows;
    if (windows.ListOpen) {
        // Open already: brought to the front.
        if (m_list) {
            m_list->raise();
            m_list->activateWindow();
        }
        return;
    }
    const auto& channels = m_client.mirror().channels;
    windows.ListUnit = channels.UnitText;
    windows.ListFahrenheit = channels.MeterFahrenheit;
    windows.ListRowCount = 0;
    m_list = new recording::ListWindow(m_view, session::typeLetters(channels), m_dialogs,
                                       m_client.clock(), this);
    // The dump runs inside the feed of a cycle: its failure is told after.
    connect(
        m_list, &recording::ListWindow::dumpFailed, this,
        [this](const QString& message) {
            m_dialogs.message(m_list ? static_cast<QWidget*>(m_list) : this, message, {},
                              Icon::Critical);
        },
        Qt::QueuedConnection);
    m_list->setAttribute(Qt::WA_DeleteOnClose);
    m_list->move(geometry().topLeft() + QPoint(40, 60));
    m_list->show();
    windows.ListOpen = true;
}

void Panel::closeList() {
    if (m_list)
        m_list->close(); // its close marks the list closed
    m_view.windows.ListOpen = false;
}

} // namespace quadtherm::main_window
