#pragma once

#include "shared/settings.h"

#include <QToolButton>

class QAction;
class QDialog;

namespace quadtherm::main_window {

// The audible alarm's control on the bottom bar (`BtnAlarm`): a bell that
// offers the sound on or off and its settings; while the alarm sounds it
// turns into the acknowledge button (Escape does the same).
class AlarmControl : public QToolButton {
    Q_OBJECT
public:
    explicit AlarmControl(QWidget* parent = nullptr);

    void showChoice(const shared::AlarmSoundChoice& choice);
    void showRinging(bool ringing, const QString& reason);
    // The settings dialog, when open (tests fill it in).
    QDialog* settingsDialog() const { return m_dialog; }

    QAction* ActSound = nullptr;
    QAction* ActSettings = nullptr;

Q_SIGNALS:
    void choiceChanged(const shared::AlarmSoundChoice& choice);
    void acknowledged();

private:
    void openSettings();

    shared::AlarmSoundChoice m_choice;
    bool m_ringing = false;
    QDialog* m_dialog = nullptr;
};

} // namespace quadtherm::main_window
