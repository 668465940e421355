#include "main_window/ui/recording_commands.h"

#include "main_window/ui/status_bar.h"
#include "recording/ui/grid_writer.h"
#include "widgets/toolbar_icons.h"
#include "widgets/user_dialogs.h"

#include <QAction>
#include <QFileInfo>

namespace quadtherm::main_window {

RecordingCommands::RecordingCommands(session::MeterSession& session, widgets::UserDialogs& dialogs,
                                     QWidget* window, StatusBar& statusBar, QAction* saveKey)
    : m_session(session), m_dialogs(dialogs), m_window(window), m_statusBar(statusBar),
      m_saveKey(saveKey) {}

void RecordingCommands::saveKey() {
    if (m_session.state().recording.RecordingActive)
        m_session.stopRecording();
    else
        start();
}

void RecordingCommands::start() {
    auto& recording = m_session.state().recording;
    if (!recording::runSaveDialog(m_dialogs, m_window, recording))
        return;
    QString error;
    if (!m_session.startRecording(recording.SaveFilePath, &error)) {
        m_dialogs.message(m_window, error, {}, widgets::UserDialogs::Icon::Critical);
        return;
    }
    m_fileName = QFileInfo(recording.SaveFilePath).fileName();
    m_statusBar.recordingStarted(m_fileName);
    m_saveKey->setIcon(widgets::toolbarImage(16));
    m_saveKey->setToolTip(QStringLiteral("Stop Recording"));
}

void RecordingCommands::ended(recording::RecordingEnd why, const QString& error, qint64 records) {
    m_saveKey->setIcon(widgets::toolbarImage(1));
    m_saveKey->setToolTip(QStringLiteral("Save As"));
    m_statusBar.recordingEnded(recording::recordingEndNote(why, m_session.clock().now(), records));
    const QString message = recording::recordingEndMessage(why, error, records, m_fileName);
    if (message.isEmpty())
        return;
    // The message waits for the cycle to end: a box opened inside it would
    // hold the live tick the cycle may have interrupted.
    const auto icon = why == recording::RecordingEnd::WriteFailed
                          ? widgets::UserDialogs::Icon::Critical
                          : widgets::UserDialogs::Icon::Exclamation;
    m_session.later([this, message, icon] { m_dialogs.message(m_window, message, {}, icon); });
}

} // namespace quadtherm::main_window
