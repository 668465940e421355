#pragma once

#include "recording/meter_session.h"

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
    RecordingCommands(recording::MeterSession& session, widgets::UserDialogs& dialogs,
                      QWidget* window, StatusBar& statusBar, QAction* saveKey);

    void saveKey();
    void ended(recording::RecordingEnd why, const QString& error);

private:
    void start();

    recording::MeterSession& m_session;
    widgets::UserDialogs& m_dialogs;
    QWidget* m_window;
    StatusBar& m_statusBar;
    QAction* m_saveKey;
};

} // namespace quadtherm::main_window
