#pragma once

#include "meter_link/meter_protocol.h"

#include <QStringList>

namespace quadtherm::main_window {

// The power-off list's entries: " 5 Minutes", "15 Minutes", "30 Minutes".
inline QStringList powerOffTexts() {
    QStringList texts;
    for (int minutes : meter_link::kPowerOffMinutes)
        texts.append(QStringLiteral("%1 Minutes").arg(minutes, 2));
    return texts;
}

} // namespace quadtherm::main_window
