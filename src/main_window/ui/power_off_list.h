#pragma once

#include "session/session_client.h"

#include <QComboBox>

#include <functional>

namespace quadtherm::main_window {

// `ComboP`: the meter's automatic power-off time. The "Poweroff" key reads
// it from the meter and shows the list on the right entry; picking an entry
// sets it on the meter. Both are exchanges on the session's thread.
class PowerOffList : public QComboBox {
    Q_OBJECT
public:
    // `place` puts the list where it belongs before it shows.
    PowerOffList(session::SessionClient& client, std::function<void()> place,
                 QWidget* parent = nullptr);

    // The "Poweroff" key: hides a shown list, else reads the meter and shows it.
    void toggle();
    // An entry picked: its index is the code sent.
    void ComboP_Click(int index);

private:
    void readPowerOffTime();

    session::SessionClient& m_client;
    std::function<void()> m_place;
};

} // namespace quadtherm::main_window
