#include "shared/whole_number.h"

#include <algorithm>

namespace quadtherm::shared {

std::optional<qint64> wholeNumberIn(QStringView text, qint64 low, qint64 high) {
    const QStringView digits = text.startsWith(u'-') ? text.sliced(1) : text;
    // toLongLong alone would take spaces around the number and a plus sign.
    if (digits.isEmpty() ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const qint64 n = text.toLongLong(&ok, 10);
    if (!ok || n < low || n > high)
        return std::nullopt;
    return n;
}

} // namespace quadtherm::shared
