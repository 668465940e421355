#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <array>

namespace quadtherm::sim {

// The low eight bits of `value` as one byte on the line.
inline char byteOf(int value) {
    return char(quint8(value & 0xFF));
}

// A date and time as the meter keeps it: the year within the century, every
// field one binary byte. A clock that was never set has month 0 and day 0.
struct MeterTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const MeterTime&) const = default;
};

// One stored channel value. The meter stores readings in tenths of a degree
// Fahrenheit whatever unit it shows, exactly as it sends them live.
struct StoredReading {
    bool present = true;
    bool over = false;
    bool under = false;
    int tenthsF = 0;
};

using StoredRecord = std::array<StoredReading, 4>;

// One automatic recording run. Only the channels in the mask are stored; the
// readings of the other channels in each record are ignored.
struct RecordSet {
    int channelMask = 0x0F;
    bool fahrenheit = false;
    std::array<int, 4> typeCodes{};
    std::array<int, 4> offsetTenths{};
    MeterTime start;
    int intervalSeconds = 1;
    QList<StoredRecord> records;
};

struct ManualReading {
    bool fahrenheit = false;
    std::array<int, 4> typeCodes{};
    std::array<int, 4> offsetTenths{};
    MeterTime at;
    StoredRecord readings;
};

// The 3-byte reading hi, lo, flags: the whole degrees as a 16-bit two's
// complement number, the sign in bit 7 of flags and the tenths digit in its low
// nibble. A value between -1 and 0 has no negative whole part, so it goes out
// as 00 00 with only the sign bit telling it apart from a positive one.
QByteArray readingBytes(int tenths);

// The logger memory: record sets from address 8192 on, and up to 255 manual
// readings (the status reply has one byte for their count).
class MeterMemory {
public:
    static constexpr quint32 kDataStart = 8192;
    static constexpr quint32 kBytesPerSizeUnit = 65536;
    static constexpr int kSetHeaderSize = 23;
    static constexpr int kManualRecordSize = 29;
    static constexpr int kMaxManualReadings = 255;

    static int channelCount(int mask);
    static int setLength(const RecordSet& set);
    static QByteArray encodeSet(const RecordSet& set);
    static QByteArray encodeManual(const ManualReading& reading);

    // Memory size in units of 64 K (1, 2, 4 or 8 on a real meter).
    void setSizeCode(int code) { m_sizeCode = code; }
    int sizeCode() const { return m_sizeCode; }
    quint32 capacity() const { return quint32(m_sizeCode) * kBytesPerSizeUnit; }

    // False, and nothing stored, when the set does not fit in the memory.
    bool addRecordSet(const RecordSet& set);
    // False beyond 255 readings.
    bool addManualReading(const ManualReading& reading);
    void eraseRecordSets();
    void eraseManualReadings();
    // Set `number` (from 1) loses its marker in the dump, as a set whose
    // writing a power cut broke off: the sets after it are still sent, but a
    // PC walking the sets cannot get past it. 0: none.
    void setDamagedSet(int number) { m_damagedSet = number; }
    int damagedSet() const { return m_damagedSet; }

    // Address of the next free byte: 8192 plus the length of every set.
    quint32 pointer() const { return m_pointer; }
    int manualCount() const { return int(m_manual.size()); }
    const QList<RecordSet>& recordSets() const { return m_sets; }
    const QList<ManualReading>& manualReadings() const { return m_manual; }

    // The automatic data area (every set back to back) and the manual records.
    QByteArray dataArea() const;
    QByteArray manualArea() const;

private:
    QList<RecordSet> m_sets;
    QList<ManualReading> m_manual;
    quint32 m_pointer = kDataStart;
    int m_sizeCode = 8;
    int m_damagedSet = 0;
};

} // namespace quadtherm::sim
