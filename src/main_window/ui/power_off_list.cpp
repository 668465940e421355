#include "main_window/ui/power_off_list.h"

#include "main_window/power_off.h"

namespace quadtherm::main_window {

PowerOffList::PowerOffList(session::MeterSession& session, std::function<void()> place,
                           QWidget* parent)
    : QComboBox(parent), m_session(session), m_place(std::move(place)) {
    setObjectName(QStringLiteral("ComboP"));
    setToolTip(tr("Meter power-off time"));
    hide();
    connect(this, &QComboBox::activated, this, &PowerOffList::ComboP_Click);
}

void PowerOffList::toggle() {
    if (isVisible())
        hide();
    else
        m_session.runExchange([this] { readPowerOffTime(); });
}

void PowerOffList::readPowerOffTime() {
    auto& protocol = m_session.protocol();
    m_session.Timer1.stop();
    const auto index = protocol.readPowerOffIndex();
    if (protocol.stopped())
        return;
    if (!index) {
        // A short reply means the link is gone; the resync restarts the timers.
        protocol.ResyncMeter();
        return;
    }
    // An unknown code leaves the list without a selection rather than guessing.
    setCurrentIndex(*index >= 0 && *index < count() ? *index : -1);
    m_place();
    show();
    raise();
    session::MeterSession::enable(m_session.Timer1);
}

void PowerOffList::ComboP_Click(int index) {
    m_session.runExchange([this, index] {
        m_session.Timer1.stop();
        m_session.protocol().setPowerOffIndex(index);
        if (!m_session.protocol().stopped())
            session::MeterSession::enable(m_session.Timer1);
        hide();
    });
}

} // namespace quadtherm::main_window
