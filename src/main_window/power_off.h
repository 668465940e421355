#pragma once

#include <QStringList>

#include <array>

namespace quadtherm::main_window {

// The meter's automatic power-off times; the index is the code the meter
// sends and takes.
inline constexpr std::array<int, 3> kPowerOffMinutes{5, 15, 30};

// The power-off list's entries: " 5 Minutes", "15 Minutes", "30 Minutes".
inline QStringList powerOffTexts() {
    QStringList texts;
    for (int minutes : kPowerOffMinutes)
        texts.append(QStringLiteral("%1 Minutes").arg(minutes, 2));
    return texts;
}

} // namespace quadtherm::main_window
