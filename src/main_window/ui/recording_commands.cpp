#include "main_window/ui/recording_commands.h"

#include "main_window/ui/status_bar.h"
#include "recording/ui/grid_writer.h"
#include "widgets/toolbar_icons.h"
#include "widgets/user_dialogs.h"

#include <QAction>
#include <QFileInfo>

namespace quadtherm::main_window {

RecordingCommands::RecordingCommands(session::SessionClient& client, shared::SaveChoice& save,
                                     widgets::UserDialogs& dialogs, QWidget* window,
                                     StatusBar& statusBar, QAction* saveKey)
    : m_client(client), m_save(save), m_dialogs(dialogs), m_window(window), m_statusBar(statusBar),
      m_saveKey(saveKey) {}

void RecordingCommands::saveKey() {
    if (m_starting)
        return;
    if (m_client.mirror().recording)
        m_client.stopRecording();
    else
        start();
}

bool RecordingCommands::active() const {
    return m_starting || m_client.mirror().recording;
}

void RecordingCommands::start() {
    if (!recording::runSaveDialog(m_dialogs, m_window, m_save))
        return;
    m_starting = true;
    const QString path = m_save.SaveFilePath;
    m_client.startRecording(path, m_window, [this, path](bool ok, const QString& error) {
        m_starting = false;
        if (!ok) {
            m_save.SaveFileChosen = false;
            m_dialogs.message(m_window, error, {}, widgets::UserDialogs::Icon::Critical);
            return;
        }
        m_fileName = QFileInfo(path).fileName();
        m_startedAtMs = m_client.clock().elapsedMs();
        m_statusBar.recordingStarted(path);
        m_saveKey->setIcon(widgets::toolbarImage(16));
        m_saveKey->setToolTip(QStringLiteral("Stop Recording"));
    });
}

void RecordingCommands::ended(recording::RecordingEnd why, const QString& error, qint64 records) {
    m_saveKey->setIcon(widgets::toolbarImage(1));
    m_saveKey->setToolTip(QStringLiteral("Save As"));
    m_save.SaveFileChosen = false;
    m_statusBar.recordingEnded(recording::recordingEndNote(why, m_client.clock().now(), records));
    const QString message = recording::recordingEndMessage(why, error, records, m_fileName);
    if (message.isEmpty())
        return;
    m_dialogs.message(m_window, message, {},
                      why == recording::RecordingEnd::WriteFailed
                          ? widgets::UserDialogs::Icon::Critical
                          : widgets::UserDialogs::Icon::Exclamation);
}

} // namespace quadtherm::main_window
