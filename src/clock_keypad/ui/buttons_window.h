#pragma once

#include "clock_keypad/keypad.h"
#include "shared/clock.h"

#include <QWidget>

namespace quadtherm::session {
class MeterSession;
}

namespace quadtherm::clock_keypad {

class KeypadKey;

// The keypad window "Meter Buttons": the meter's front-panel keys, laid out
// as on the meter, each pressing its key on the meter. Modeless; it reads
// nothing back, the main window shows what the meter does.
class Buttons : public QWidget {
    Q_OBJECT
public:
    Buttons(session::MeterSession& session, QWidget* parent = nullptr);

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

    Keypad& keypad() { return m_keypad; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    KeypadKey* makeKey(const char* control, std::string_view meterKey, const QString& caption);
    void layOut();

    shared::Clock& m_clock;
    Keypad m_keypad;
};

} // namespace quadtherm::clock_keypad
