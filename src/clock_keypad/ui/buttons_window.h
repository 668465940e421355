#pragma once

#include "clock_keypad/keypad.h"
#include "shared/clock.h"

#include "session/session_view.h"

#include <QWidget>

class QLabel;

namespace quadtherm::session {
class SessionClient;
}

namespace quadtherm::clock_keypad {

class KeypadKey;

// The keypad window "Meter Buttons": the meter's front-panel keys, laid out
// as on the meter, each pressing its key on the meter. Modeless; it reads
// nothing back, the main window shows what the meter does.
class Buttons : public QWidget {
    Q_OBJECT
public:
    Buttons(session::SessionClient& client, QWidget* parent = nullptr);

    // Shown horizontally centred under `main`; when it is open already, only
    // brought forward.
    void showUnder(const QWidget& main);

    KeypadKey* CmdRead = nullptr;
    KeypadKey* CmdAlarm = nullptr;
    KeypadKey* CmdCF = nullptr;
    KeypadKey* CmdSet = nullptr;
    KeypadKey* CmdTime = nullptr;
    KeypadKey* CmdType = nullptr;
    KeypadKey* CmdHold = nullptr;
    KeypadKey* CmdUp = nullptr;
    KeypadKey* CmdLeft = nullptr;
    KeypadKey* CmdEnter = nullptr;
    KeypadKey* CmdRight = nullptr;
    KeypadKey* CmdDown = nullptr;
    KeypadKey* CmdMaxMin = nullptr;
    KeypadKey* CmdMem = nullptr;
    // Says why the keys are grey while the meter cannot take them.
    QLabel* LblBusy = nullptr;

    Keypad& keypad() { return m_keypad; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    KeypadKey* makeKey(const char* control, std::string_view meterKey, const QString& caption);
    void layOut();
    // Grey keys and a line saying why while the meter is busy or the link
    // is down: a click then would not reach the meter.
    void showAvailability(session::Availability availability, const QString& busyWith);

    shared::Clock& m_clock;
    Keypad m_keypad;
};

} // namespace quadtherm::clock_keypad
