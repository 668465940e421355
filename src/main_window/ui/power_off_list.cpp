#include "main_window/ui/power_off_list.h"

#include "main_window/power_off.h"

namespace quadtherm::main_window {

PowerOffList::PowerOffList(session::SessionClient& client, std::function<void()> place,
                           QWidget* parent)
    : QComboBox(parent), m_client(client), m_place(std::move(place)) {
    setObjectName(QStringLiteral("ComboP"));
    setToolTip(tr("Meter power-off time"));
    hide();
    connect(this, &QComboBox::activated, this, &PowerOffList::ComboP_Click);
}

void PowerOffList::toggle() {
    if (isVisible())
        hide();
    else
        readPowerOffTime();
}

void PowerOffList::readPowerOffTime() {
    m_client.exchange(
        QStringLiteral("The power-off time"), session::pollPaused(),
        [](session::Exchange& exchange) -> std::optional<int> {
            auto& protocol = exchange.protocol;
            const auto index = protocol.readPowerOffIndex();
            // A short reply means the link is gone.
            if (!index && !protocol.stopped())
                protocol.ResyncMeter();
            return index;
        },
        this,
        [this](std::optional<int> index) {
            if (!index)
                return;
            // An unknown code leaves the list without a selection rather than guessing.
            setCurrentIndex(*index >= 0 && *index < count() ? *index : -1);
            m_place();
            show();
            raise();
        });
}

void PowerOffList::ComboP_Click(int index) {
    hide();
    m_client.exchange(
        QStringLiteral("The power-off time"), session::pollPaused(),
        [index](session::Exchange& exchange) { exchange.protocol.setPowerOffIndex(index); }, this,
        [] {});
}

} // namespace quadtherm::main_window
