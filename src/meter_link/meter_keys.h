#pragma once

#include "meter_link/meter_protocol.h"

#include <array>
#include <optional>
#include <string_view>

namespace quadtherm::meter_link {

// The meter's front-panel keys and the key frame bytes that press them.
// MAX/MIN and MEM mean something else when held for more than two seconds.
struct MeterKey {
    std::string_view name;
    KeyCode press;
    std::optional<KeyCode> longPress;
};

inline constexpr std::array<MeterKey, 14> kMeterKeys{{
    {"READ", {0x01, 0x00, 0x00}, std::nullopt},
    {"ALARM", {0x02, 0x00, 0x00}, std::nullopt},
    {"CF", {0x04, 0x00, 0x00}, std::nullopt},
    {"SET", {0x08, 0x00, 0x00}, std::nullopt},
    {"TIME", {0x10, 0x00, 0x00}, std::nullopt},
    {"TYPE", {0x80, 0x00, 0x00}, std::nullopt},
    {"HOLD", {0x00, 0x01, 0x00}, std::nullopt},
    {"UP", {0x00, 0x02, 0x00}, std::nullopt},
    {"LEFT", {0x00, 0x04, 0x00}, std::nullopt},
    {"ENTER", {0x00, 0x08, 0x00}, std::nullopt},
    {"RIGHT", {0x00, 0x10, 0x00}, std::nullopt},
    {"DOWN", {0x00, 0x20, 0x00}, std::nullopt},
    {"MAXMIN", {0x20, 0x00, 0x00}, KeyCode{0x00, 0x00, 0x04}},
    {"MEM", {0x40, 0x00, 0x00}, KeyCode{0x00, 0x80, 0x00}},
}};

inline constexpr quint8 kEraseRecordSets = 0x02;
inline constexpr quint8 kEraseManualReadings = 0x01;

inline const MeterKey* findMeterKey(std::string_view name) {
    for (const auto& key : kMeterKeys)
        if (key.name == name)
            return &key;
    return nullptr;
}

} // namespace quadtherm::meter_link
