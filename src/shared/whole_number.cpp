#include "shared/whole_number.h"

namespace quadtherm::shared {

std::optional<qint64> wholeNumberIn(const QString& text, qint64 low, qint64 high) {
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok, 10);
    if (!ok || n < low || n > high)
        return std::nullopt;
    return n;
}

} // namespace quadtherm::shared
