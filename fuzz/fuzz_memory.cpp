// The logger memory's dumps. The set walk keeps whole sets only, back to back
// from the start of the data area, and says where the damage starts when the
// rest is not a set; a decoded set has one six-cell row per record with its
// stamp and an empty cell for each channel outside its mask; a manual dump
// gives its whole records and no more. A set built around the input's own
// bytes is found whole.

#include "fuzz_check.h"
#include "logger_memory/memory_dump.h"
#include "shared/reading_text.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdint>

using namespace quadtherm;
using namespace quadtherm::logger_memory;

namespace {

// Sets beyond these are walked but not decoded: decoding is per record and
// the walk is what the damage cases test.
constexpr int kSetsDecoded = 4;
constexpr qint64 kRowsChecked = 64;

bool startsWithMarker(QByteArrayView bytes) {
    static const char kMarker[] = {0x00, 0x55, char(0xAA), 0x00};
    return bytes.size() >= 4 && std::equal(kMarker, kMarker + 4, bytes.begin());
}

void checkDecodedSet(const RecordSet& set) {
    const DecodedSet decoded = decodeSet(set);
    const SetHeader& h = set.header;
    FUZZ_CHECK(decoded.rowsC.size() == h.recordCount);
    FUZZ_CHECK(decoded.rowsF.size() == h.recordCount);
    static const QRegularExpression kStamp(
        QStringLiteral(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}$)"));
    const qint64 rows = std::min<qint64>(h.recordCount, kRowsChecked);
    for (qint64 k = 0; k < rows; ++k) {
        for (const QByteArray& row : {decoded.rowsC[k], decoded.rowsF[k]}) {
            const QList<QByteArray> cells = row.split('\t');
            FUZZ_CHECK(cells.size() == 6);
            FUZZ_CHECK(cells[0] == QByteArray::number(k + 1));
            FUZZ_CHECK(kStamp.match(QString::fromLatin1(cells[1])).hasMatch());
            for (int ch = 0; ch < 4; ++ch)
                FUZZ_CHECK(cells[2 + ch].isEmpty() == !(h.channelMask & (1 << ch)));
        }
    }
}

void checkWalk(QByteArrayView area) {
    const SetWalk walk = walkSets(area);
    qsizetype at = 0;
    for (int i = 0; i < walk.sets.size(); ++i) {
        const RecordSet& set = walk.sets[i];
        FUZZ_CHECK(set.number == i + 1);
        FUZZ_CHECK(startsWithMarker(set.bytes));
        FUZZ_CHECK(set.bytes.size() == set.header.setLength());
        FUZZ_CHECK(set.bytes == area.sliced(at, set.bytes.size()));
        at += set.bytes.size();
        if (i < kSetsDecoded)
            checkDecodedSet(set);
    }
    if (walk.damage == SetDamage::None) {
        FUZZ_CHECK(at == area.size());
        FUZZ_CHECK(walk.damagedAt == -1);
    } else {
        FUZZ_CHECK(walk.damagedAt == at && at < area.size());
        FUZZ_CHECK((walk.damage == SetDamage::NoMarker) == !startsWithMarker(area.sliced(at)));
        FUZZ_CHECK(!damageText(walk).isEmpty());
    }
}

void checkManual(QByteArrayView reply, int count) {
    const ManualReadings manual = decodeManualDump(reply, count);
    const qsizetype whole =
        std::max<qsizetype>(0, (reply.size() - kManualLeadBytes) / kManualRecordSize);
    FUZZ_CHECK(manual.expected == count);
    FUZZ_CHECK(manual.rows.size() == std::min<qsizetype>(count, whole));
    for (const QStringList& row : manual.rows) {
        FUZZ_CHECK(row.size() == 6);
        FUZZ_CHECK(row[0] == shared::unitText(false) || row[0] == shared::unitText(true));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkWalk(bytes);
    checkWalk(dataAreaOf(bytes));
    checkWalk(dataAreaOf(bytes, false));
    if (size > 0)
        checkManual(bytes, data[0]);

    // One set around the input: the marker, the header's first fields from
    // the input, and a record count that takes all the whole records of the
    // rest; anything left over after it is damage.
    if (size < 17)
        return 0;
    QByteArray set("\x00\x55\xAA\x00", 4);
    set += bytes.left(16);
    const int mask = data[0] & 0x0F;
    const int channels = (mask & 1) + (mask >> 1 & 1) + (mask >> 2 & 1) + (mask >> 3 & 1);
    const qsizetype recordLength = 2 + 3 * channels;
    const QByteArray records = bytes.sliced(16);
    const qsizetype count = std::min<qsizetype>(records.size() / recordLength, 0xFFFFFF);
    set += char(count >> 16);
    set += char(count >> 8);
    set += char(count);
    set += records;
    const SetWalk walk = walkSets(set);
    FUZZ_CHECK(!walk.sets.isEmpty());
    FUZZ_CHECK(walk.sets[0].header.recordCount == count);
    FUZZ_CHECK(walk.sets[0].header.channelMask == mask);
    FUZZ_CHECK((walk.sets.size() == 1 && walk.damage == SetDamage::None) ==
               (records.size() == count * recordLength));
    checkWalk(set);
    return 0;
}
