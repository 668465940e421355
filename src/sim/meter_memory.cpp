#include "sim/meter_memory.h"

#include <algorithm>
#include <bit>

namespace quadtherm::sim {

namespace {

constexpr int kMaxTenths = 0x7FFF * 10 + 9;
constexpr int kMinTenths = -(0x8000 * 10 + 9);

void appendTime(QByteArray& out, const MeterTime& t) {
    for (int field : {t.year, t.month, t.day, t.hour, t.minute, t.second})
        out.append(byteOf(field));
}

void appendFlags(QByteArray& out, const StoredRecord& record, int mask = 0x0F) {
    int present = 0;
    int overUnder = 0;
    for (int k = 0; k < 4; ++k) {
        if (!(mask & (1 << k)))
            continue; // a channel outside the set's mask has no value to flag
        if (record[k].present)
            present |= 1 << k;
        if (record[k].over)
            overUnder |= 1 << k;
        if (record[k].under)
            overUnder |= 0x10 << k;
    }
    out.append(byteOf(present));
    out.append(byteOf(overUnder));
}

} // namespace

QByteArray readingBytes(int tenths) {
    tenths = std::clamp(tenths, kMinTenths, kMaxTenths);
    const bool negative = tenths < 0;
    const int magnitude = negative ? -tenths : tenths;
    const int whole = magnitude / 10;
    const int field = negative ? (0x10000 - whole) & 0xFFFF : whole;
    QByteArray out;
    out.append(byteOf(field >> 8));
    out.append(byteOf(field));
    out.append(byteOf((negative ? 0x80 : 0x00) | magnitude % 10));
    return out;
}

int MeterMemory::channelCount(int mask) {
    return std::popcount(unsigned(mask & 0x0F));
}

int MeterMemory::setLength(const RecordSet& set) {
    return kSetHeaderSize + int(set.records.size()) * (2 + 3 * channelCount(set.channelMask));
}

QByteArray MeterMemory::encodeSet(const RecordSet& set) {
    QByteArray out;
    out.reserve(setLength(set));
    out.append("\x00\x55\xAA\x00", 4);
    out.append(byteOf((set.channelMask & 0x0F) | (set.fahrenheit ? 0x10 : 0x00)));
    for (int code : set.typeCodes)
        out.append(byteOf(code));
    for (int offset : set.offsetTenths)
        out.append(byteOf(offset));
    appendTime(out, set.start);
    out.append(byteOf(set.intervalSeconds));
    const auto count = int(set.records.size());
    out.append(byteOf(count >> 16));
    out.append(byteOf(count >> 8));
    out.append(byteOf(count));
    for (const StoredRecord& record : set.records) {
        appendFlags(out, record, set.channelMask);
        for (int k = 0; k < 4; ++k) {
            if (set.channelMask & (1 << k))
                out.append(readingBytes(record[k].tenthsF));
        }
    }
    return out;
}

QByteArray MeterMemory::encodeManual(const ManualReading& reading) {
    QByteArray out;
    out.reserve(kManualRecordSize);
    out.append(byteOf(reading.fahrenheit ? 0x10 : 0x00));
    appendFlags(out, reading.readings);
    for (int code : reading.typeCodes)
        out.append(byteOf(code));
    for (int offset : reading.offsetTenths)
        out.append(byteOf(offset));
    appendTime(out, reading.at);
    for (const StoredReading& value : reading.readings)
        out.append(readingBytes(value.tenthsF));
    return out;
}

bool MeterMemory::addRecordSet(const RecordSet& set) {
    const auto length = quint32(setLength(set));
    if (m_pointer + length > capacity())
        return false;
    m_sets.append(set);
    m_pointer += length;
    return true;
}

bool MeterMemory::addManualReading(const ManualReading& reading) {
    if (m_manual.size() >= kMaxManualReadings)
        return false;
    m_manual.append(reading);
    return true;
}

void MeterMemory::eraseRecordSets() {
    m_sets.clear();
    m_damagedSet = 0;
    m_pointer = kDataStart;
}

void MeterMemory::eraseManualReadings() {
    m_manual.clear();
}

QByteArray MeterMemory::dataArea() const {
    QByteArray out;
    out.reserve(qsizetype(m_pointer - kDataStart));
    for (qsizetype i = 0; i < m_sets.size(); ++i) {
        QByteArray set = encodeSet(m_sets[i]);
        if (i + 1 == m_damagedSet)
            set[1] = '\0'; // 00 00 AA 00 is no set marker
        out.append(set);
    }
    return out;
}

QByteArray MeterMemory::manualArea() const {
    QByteArray out;
    out.reserve(m_manual.size() * kManualRecordSize);
    for (const ManualReading& reading : m_manual)
        out.append(encodeManual(reading));
    return out;
}

} // namespace quadtherm::sim
