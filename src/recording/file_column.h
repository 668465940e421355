#pragma once

#include "shared/reading_text.h"

#include <QString>
#include <QStringView>
#include <QVector>

#include <optional>

namespace quadtherm::recording {

// One channel column of an opened file, ready for the graph window.
struct PlotRequest {
    QString PlotTag;
    double PlotYMax = 0;
    double PlotYMin = 0;
    QVector<float> values;
};

// A file is in °C only when its first heading cell says exactly "°C";
// anything else is taken as °F.
bool isCelsiusHeading(QStringView unitCell);
// The channel number and unit: "1°C" for column 2, "4°F" for column 5.
QString plotTag(int column, bool celsius);
// The thermocouple type a channel heading such as "T1 - K" names, found by
// searching for "- K", "- J", "- E", "- T", "- R", "- S", "- N", "- L", "- U",
// "- B" and "- C" in that order; nothing when none is there.
std::optional<shared::ThermocoupleType> headingType(QStringView channelHeading);
// The tag and the type's scale in the unit. A heading without a known type
// keeps the previous scale, given in `previous`.
PlotRequest plotRequestFor(int column, QStringView unitCell, QStringView channelHeading,
                           const PlotRequest& previous);
// The number a cell starts with; "Over", "Under" and "- - -" give 0.
float plotValue(QStringView cell);

} // namespace quadtherm::recording
