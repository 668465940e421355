#include "logger_memory/memory_figures.h"

#include <cmath>

namespace quadtherm::logger_memory {

namespace {

constexpr int kDefaultSizeCode = 8;
constexpr double kBytesPerUnit = 65535;
constexpr double kSpareBytes = 65535 - 61440;
const QString kMargin = QStringLiteral("     ");

} // namespace

int memorySizeCode(std::optional<int> reply) {
    return reply.value_or(kDefaultSizeCode);
}

QString memorySizeText(int sizeCode) {
    return QStringLiteral("%1 K").arg(sizeCode * 64);
}

double freeKilobytes(double memoryPointer, int sizeCode, bool memoryFull) {
    if (memoryFull || memoryPointer >= sizeCode * kBytesPerUnit - kSpareBytes)
        return 0;
    return (sizeCode * kBytesPerUnit - memoryPointer) / 1024;
}

QString freeMemoryText(double memoryPointer, int sizeCode, bool memoryFull) {
    return oneDecimal(freeKilobytes(memoryPointer, sizeCode, memoryFull)) + QStringLiteral(" K");
}

QString oneDecimal(double value) {
    return QString::number(std::round(value * 10) / 10, 'f', 1);
}

QString progressText(qint64 received, qint64 total) {
    return percentText(received, total) + QStringLiteral("% Completed");
}

QString percentText(qint64 done, qint64 total) {
    return oneDecimal(total > 0 ? double(done) / double(total) * 100 : 100);
}

QString manualListingLine(const QStringList& cells) {
    QString line = kMargin;
    for (std::size_t col = 0; col < kManualListingWidths.size(); ++col)
        line += cells.value(qsizetype(col)).rightJustified(kManualListingWidths[col], u' ');
    return line;
}

QString manualListingRule() {
    return kMargin + QString(73, u'-');
}

} // namespace quadtherm::logger_memory
