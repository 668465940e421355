#pragma once

#include "session/session_client.h"
#include "shared/view_state.h"

class QAction;
class QWidget;

namespace quadtherm::widgets {
class UserDialogs;
}

namespace quadtherm::main_window {

class StatusBar;

// The "Save" key: starts a recording to the file the save dialog chose, or
// stops the one running; its button and the recording indicators follow
// the recording however it ends.
class RecordingCommands {
public:
    RecordingCommands(session::SessionClient& client, shared::SaveChoice& save,
                      widgets::UserDialogs& dialogs, QWidget* window, StatusBar& statusBar,
                      QAction* saveKey);

    void saveKey();
    // A recording runs, or its start is under way.
    bool active() const;
    // When the recording running started, on the session's clock.
    qint64 startedAtMs() const { return m_startedAtMs; }
    // The bottom bar says how it ended; a recording the user did not stop is
    // told in a message as well.
    void ended(recording::RecordingEnd why, const QString& error, qint64 records);

private:
    void start();

    session::SessionClient& m_client;
    shared::SaveChoice& m_save;
    widgets::UserDialogs& m_dialogs;
    QWidget* m_window;
    StatusBar& m_statusBar;
    QAction* m_saveKey;
    QString m_fileName;
    // A start asked for and not yet answered: a second click waits for it.
    bool m_starting = false;
    qint64 m_startedAtMs = 0;
};

} // namespace quadtherm::main_window
