#pragma once

#include "clock_keypad/clock_setup.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;

namespace quadtherm::session {
class SessionClient;
}

namespace quadtherm::clock_keypad {

// The clock window "Setup": the meter's and the computer's clocks side by
// side (each label toggled by a click) and the button that sets the meter's
// clock from the computer's. Modal, but shown without a nested event loop:
// the toolbar command returns and the live session goes on around it.
class Setup : public QDialog {
    Q_OBJECT
public:
    Setup(session::SessionClient& client, QWidget* parent = nullptr);

    // Stops the live poll and shows the window 1500 × 1000 twips from the
    // top left corner of `main`.
    void openFrom(const QWidget& main);

    ClockSetup& clock() { return m_clock; }

    QGroupBox* FrameTime = nullptr;
    QLabel* LblMeterTime = nullptr;
    QLabel* LblPCTime = nullptr;
    QPushButton* CmdSetTime = nullptr;
    QPushButton* CmdExit = nullptr;

    // Exit, the close box, Escape and the meter starting to log all end here.
    void done(int result) override;

private:
    ClockSetup m_clock;
};

} // namespace quadtherm::clock_keypad
