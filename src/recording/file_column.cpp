#include "recording/file_column.h"
#include "shared/reading_text.h"

namespace quadtherm::recording {

namespace {

// The search order decides a heading that holds more than one pattern.
constexpr std::array<const char*, 11> kTypeSearchOrder{"K", "J", "E", "T", "R", "S",
                                                       "N", "L", "U", "B", "C"};

} // namespace

bool isCelsiusHeading(QStringView unitCell) {
    return unitCell == shared::unitText(false);
}

QString plotTag(int column, bool celsius) {
    return QString::number(column - 1) + shared::unitText(!celsius);
}

std::optional<shared::ThermocoupleType> headingType(QStringView channelHeading) {
    for (const char* letter : kTypeSearchOrder) {
        if (!channelHeading.contains(QStringLiteral("- ") + QLatin1String(letter)))
            continue;
        for (const auto& type : shared::kThermocoupleTypes)
            if (qstrcmp(type.letter, letter) == 0)
                return type;
    }
    return std::nullopt;
}

PlotRequest plotRequestFor(int column, QStringView unitCell, QStringView channelHeading,
                           const PlotRequest& previous) {
    const bool celsius = isCelsiusHeading(unitCell);
    PlotRequest request;
    request.PlotTag = plotTag(column, celsius);
    request.PlotYMax = previous.PlotYMax;
    request.PlotYMin = previous.PlotYMin;
    if (const auto type = headingType(channelHeading)) {
        request.PlotYMax = celsius ? type->maxC : type->maxF;
        request.PlotYMin = celsius ? type->minC : type->minF;
    }
    return request;
}

float plotValue(QStringView cell) {
    return float(shared::leadingNumber(cell));
}

} // namespace quadtherm::recording
