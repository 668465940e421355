#include "sim/simulated_meter.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quadtherm::sim {

namespace {

constexpr qint64 kMicrosPerSecond = 1000000;
constexpr qint64 kSecondsPerDay = 86400;
// A request whose remaining bytes do not follow within this time is dropped.
constexpr qint64 kPartialRequestTimeoutUs = 100000;
// The demo sets cycle through these channel masks so that every record
// length (1 to 4 channels) and a gap in the middle of the mask show up.
constexpr std::array<int, 5> kDemoMasks = {0x0F, 0x05, 0x02, 0x0B, 0x0C};

QByteArray shortReply(int value) {
    QByteArray out;
    out.append('\x02');
    out.append(byteOf(value));
    out.append('\x03');
    return out;
}

QDate dateOf(const MeterTime& t) {
    return QDate(2000 + t.year, t.month, t.day);
}

// The date fields of a clock that was never set stay as they are while its
// time of day runs on: there is no calendar to carry the days into.
MeterTime meterTimeOf(const MeterTime& date, qint64 seconds) {
    const qint64 days = seconds / kSecondsPerDay;
    const qint64 ofDay = seconds % kSecondsPerDay;
    MeterTime out = date;
    if (const QDate valid = dateOf(date); valid.isValid()) {
        const QDate moved = valid.addDays(days);
        out.year = moved.year() % 100;
        out.month = moved.month();
        out.day = moved.day();
    }
    out.hour = int(ofDay / 3600);
    out.minute = int(ofDay / 60 % 60);
    out.second = int(ofDay % 60);
    return out;
}

qint64 secondsOfDay(const MeterTime& t) {
    return t.hour * 3600 + t.minute * 60 + t.second;
}

} // namespace

SimulatedMeter::SimulatedMeter(quint32 seed) : m_random(seed) {
    static constexpr std::array<int, 4> kTypes = {0, 0, 1, 3}; // K, K, J, T
    static constexpr std::array<double, 4> kBases = {72.5, 75.2, 68.9, 80.1};
    for (int k = 0; k < 4; ++k) {
        m_channels[k].typeCode = kTypes[k];
        m_channels[k].baseF = kBases[k];
        // Two slow swings of different periods look like a room warming and
        // cooling; at the default 3 °F they move the reading a few tenths a second.
        m_driftShape[k] = {40.0 + m_random.bounded(30.0), 150.0 + m_random.bounded(100.0),
                           m_random.bounded(2 * std::numbers::pi),
                           m_random.bounded(2 * std::numbers::pi)};
    }
    setClock(QDateTime(QDate(2026, 1, 1), QTime(12, 0, 0)), 0);
}

void SimulatedMeter::setLineSpeed(double factor) {
    if (factor > 0.0)
        m_lineSpeed = factor;
}

double SimulatedMeter::byteTimeUs() const {
    return double(kBitsPerByte) * double(kMicrosPerSecond) / double(kLineBaud) / m_lineSpeed;
}

int SimulatedMeter::readingTenthsF(int k, qint64 nowUs) const {
    if (m_hold)
        return m_heldTenths.at(k);
    const ChannelSetup& ch = m_channels.at(k);
    const auto& shape = m_driftShape.at(k);
    const double seconds = double(nowUs) / double(kMicrosPerSecond);
    const double swing = 0.7 * std::sin(2 * std::numbers::pi * seconds / shape[0] + shape[2]) +
                         0.3 * std::sin(2 * std::numbers::pi * seconds / shape[1] + shape[3]);
    return int(std::lround((ch.baseF + ch.driftF * swing) * 10.0)) + ch.offsetTenths;
}

void SimulatedMeter::setDumpSpeed(double factor) {
    if (factor > 0.0)
        m_dumpSpeed = factor;
}

void SimulatedMeter::receive(const QByteArray& bytes, qint64 nowUs) {
    advance(nowUs, true);
    if (m_silent || bytes.isEmpty())
        return;
    if (sendingDump()) {
        m_ignoredBytes += int(bytes.size());
        return;
    }
    nowUs = m_lastNowUs;
    // Any byte from the PC stops the stream after the frame in progress, and the
    // stream stays off until the line has been quiet for a while. The status
    // exchange keeps the last 7 bytes it has 20 ms after writing "A", and the
    // memory size request expects exactly 3 bytes 0.2 s after writing, so a
    // reply must be the last thing on the line until the PC has read it.
    m_pausedUntilUs = nowUs + qint64(m_resumeAfterQuietMs) * 1000;
    for (const char c : bytes) {
        m_pending.append(c);
        m_pendingLastUs = nowUs;
        const int length = requestLength();
        if (length == 0) {
            ++m_ignoredBytes;
            m_pending.clear();
        } else if (length < 0) {
            noteViolation(QStringLiteral("unknown request %1 ignored")
                              .arg(QString::fromLatin1(m_pending.toHex(' '))));
            m_pending.clear();
        } else if (m_pending.size() == length) {
            const QByteArray request = m_pending;
            m_pending.clear();
            handleRequest(request, nowUs);
        }
    }
}

QByteArray SimulatedMeter::transmit(qint64 nowUs) {
    advance(nowUs, true);
    QByteArray out;
    out.swap(m_out);
    return out;
}

void SimulatedMeter::discardUntil(qint64 nowUs) {
    m_out.clear();
    advance(nowUs, false);
}

void SimulatedMeter::advance(qint64 nowUs, bool keep) {
    m_lastNowUs = std::max(m_lastNowUs, nowUs);
    if (!m_pending.isEmpty() && m_lastNowUs - m_pendingLastUs > kPartialRequestTimeoutUs) {
        noteViolation(QStringLiteral("partial request %1 dropped after 100 ms")
                          .arg(QString::fromLatin1(m_pending.toHex(' '))));
        m_pending.clear();
    }
    const auto now = double(m_lastNowUs);
    if (m_silent) {
        m_txFreeUs = std::max(m_txFreeUs, now);
        return;
    }
    const double byteUs = byteTimeUs();
    for (;;) {
        if (queueEmpty() && m_silentOnceSent) {
            m_silentOnceSent = false;
            setSilent(true);
            return;
        }
        if (queueEmpty()) {
            m_tx.clear();
            m_txPos = 0;
            m_dumpFrom = m_dumpTo = 0;
            double start = std::max(m_txFreeUs, double(m_pausedUntilUs));
            if (start > now)
                break;
            if (!keep) {
                // Nobody listens: jump over whole frames instead of building them.
                const double frameUs = byteUs * kFrameSize;
                const auto frames = qint64((now - start) / frameUs);
                if (frames > 1) {
                    start += double(frames - 1) * frameUs;
                    m_nextChannel = int((m_nextChannel + frames - 1) % 4);
                }
            }
            m_txFreeUs = start;
            queueFrame(start);
        }
        // The dump's bytes go at their own pace: up to the next change of pace.
        const bool inDump = m_txPos >= m_dumpFrom && m_txPos < m_dumpTo;
        const double unitUs = inDump ? byteUs / m_dumpSpeed : byteUs;
        const qsizetype runEnd = inDump                 ? m_dumpTo
                                 : m_txPos < m_dumpFrom ? m_dumpFrom
                                                        : m_tx.size();
        auto due = qsizetype((now - m_txFreeUs) / unitUs);
        if (due <= 0)
            break;
        due = std::min(due, runEnd - m_txPos);
        if (keep)
            m_out.append(m_tx.constData() + m_txPos, due);
        m_txPos += due;
        m_txFreeUs += double(due) * unitUs;
    }
}

void SimulatedMeter::queueFrame(double startUs) {
    const int k = m_nextChannel;
    m_nextChannel = (k + 1) % 4;
    if (m_garbage) {
        for (int i = 0; i < kFrameSize; ++i)
            m_tx.append(char(garbageByte()));
        return;
    }
    const ChannelSetup& ch = m_channels[k];
    m_tx.append('\x02');
    m_tx.append(byteOf(k | (m_fahrenheit ? 0x04 : 0) | (m_recording ? 0x40 : 0) |
                       (m_memoryFull ? 0x80 : 0)));
    m_tx.append(byteOf(ch.typeCode));
    m_tx.append(
        byteOf((ch.probePresent ? 0x08 : 0) | (ch.over ? 0x20 : 0) | (ch.under ? 0x40 : 0)));
    if (ch.probePresent)
        m_tx.append(readingBytes(readingTenthsF(k, qint64(startUs))));
    else
        m_tx.append(3, '\x00');
    for (const ChannelSetup& each : m_channels)
        m_tx.append(byteOf(each.offsetTenths));
    m_tx.append('\x03');
}

void SimulatedMeter::queueReply(QByteArray reply, qint64 nowUs) {
    if (m_truncateAfter >= 0) {
        reply.truncate(m_truncateAfter);
        m_truncateAfter = -1;
    }
    reply.prepend(m_strayBytes);
    m_strayBytes.clear();
    if (queueEmpty()) {
        m_tx.clear();
        m_txPos = 0;
        m_dumpFrom = m_dumpTo = 0;
        m_txFreeUs = std::max(m_txFreeUs, double(nowUs));
    }
    m_tx.append(reply);
}

void SimulatedMeter::queueDump(QByteArray reply, qint64 nowUs) {
    // Only a dump that reaches the stall point stalls; a shorter one is
    // sent whole and the stall waits for the next.
    if (m_stallDumpAfter >= 0 && reply.size() > m_stallDumpAfter) {
        reply.truncate(m_stallDumpAfter);
        m_stallDumpAfter = -1;
        m_silentOnceSent = true;
    }
    queueReply(reply, nowUs);
    m_dumpTo = m_tx.size();
    m_dumpFrom = m_dumpTo - reply.size();
}

int SimulatedMeter::requestLength() const {
    switch (m_pending.at(0)) {
    case 'A':
    case 'R':
    case 'Q':
    case 'X':
        return 1;
    case 'W':
    case 'V':
    case 'U':
    case 'S':
    case 'T':
        return 4;
    case 'Y':
        // "Y" 00 asks for the size, "Y" 01 N sets it: the second byte decides.
        if (m_pending.size() < 2)
            return 2;
        return m_pending.at(1) == 0 ? 2 : m_pending.at(1) == 1 ? 3 : -1;
    default:
        return 0;
    }
}

void SimulatedMeter::handleRequest(const QByteArray& request, qint64 nowUs) {
    const char command = request.at(0);
    const auto hex = QString::fromLatin1(request.toHex(' '));
    if (command != 'A' && m_strict && !m_statusExchanged) {
        m_requestLog.append({nowUs, request, false});
        noteViolation(QStringLiteral("request %1 without a status exchange before it").arg(hex));
        return;
    }
    m_requestLog.append({nowUs, request, true});
    m_statusExchanged = command == 'A';
    const auto p = [&](int i) { return int(quint8(request.at(i))); };
    switch (command) {
    case 'A':
        queueReply(statusReply(), nowUs);
        break;
    case 'W':
        handleKey(quint8(p(1)), quint8(p(2)), quint8(p(3)), nowUs);
        break;
    case 'V':
        if (p(1) == 0)
            queueReply(shortReply(m_powerOffIndex), nowUs);
        else if (p(1) == 1 && p(2) <= 2)
            m_powerOffIndex = p(2);
        else
            noteViolation(QStringLiteral("power-off request %1 out of range").arg(hex));
        break;
    case 'U':
        if (p(1) == 0)
            queueReply(shortReply(m_samplingInterval), nowUs);
        else if (p(1) == 1 && p(2) >= 1)
            m_samplingInterval = p(2);
        else
            noteViolation(QStringLiteral("sampling interval request %1 out of range").arg(hex));
        break;
    case 'Y':
        if (p(1) == 0)
            queueReply(shortReply(m_memory.sizeCode()), nowUs);
        else
            m_memory.setSizeCode(p(2));
        break;
    case 'R':
        queueDump(memoryDumpReply(), nowUs);
        break;
    case 'Q':
        queueDump(manualDumpReply(), nowUs);
        break;
    case 'X':
        queueReply(clockReply(nowUs), nowUs);
        break;
    case 'S':
        setClockDate(p(1), p(2), p(3), nowUs);
        break;
    case 'T':
        setClockTime(p(1), p(2), p(3), nowUs);
        break;
    default:
        break;
    }
}

void SimulatedMeter::handleKey(quint8 b1, quint8 b2, quint8 b3, qint64 nowUs) {
    const int key = b1 << 16 | b2 << 8 | b3;
    switch (key) {
    case 0x040000: // C / F
        m_fahrenheit = !m_fahrenheit;
        break;
    case 0x000100: // HOLD
        if (!m_hold) {
            for (int k = 0; k < 4; ++k)
                m_heldTenths[k] = readingTenthsF(k, nowUs);
        }
        m_hold = !m_hold;
        break;
    case 0x000002:
        m_memory.eraseRecordSets();
        break;
    case 0x000001:
        m_memory.eraseManualReadings();
        break;
    default:
        break; // other keys change nothing the PC can see; the request log has them
    }
}

QByteArray SimulatedMeter::memoryDumpReply() const {
    const quint32 pointer = m_memory.pointer();
    QByteArray reply;
    reply.append('\x02');
    reply.append(byteOf(int(pointer >> 16)));
    reply.append(byteOf(int(pointer >> 8)));
    reply.append(byteOf(int(pointer)));
    reply.append(m_memory.dataArea());
    reply.append('\x03');
    return reply;
}

QByteArray SimulatedMeter::manualDumpReply() const {
    QByteArray reply;
    reply.append('\x02');
    reply.append(byteOf(m_memory.manualCount()));
    reply.append(m_memory.manualArea());
    reply.append('\x03');
    return reply;
}

QByteArray SimulatedMeter::clockReply(qint64 nowUs) const {
    const MeterTime t = clockAt(nowUs);
    QByteArray reply;
    reply.append('\x02');
    for (int field : {t.year, t.month, t.day, t.hour, t.minute, t.second})
        reply.append(byteOf(field));
    reply.append('\x03');
    return reply;
}

void SimulatedMeter::setClockDate(int year, int month, int day, qint64 nowUs) {
    // The time of day runs on, to the same sub-second phase.
    const MeterTime now = clockAt(nowUs);
    m_clockRefUs = nowUs - (nowUs - m_clockRefUs) % kMicrosPerSecond;
    m_clockSecondsAtRef = secondsOfDay(now);
    m_clockDate = {year, month, day, 0, 0, 0};
}

void SimulatedMeter::setClockTime(int hour, int minute, int second, qint64 nowUs) {
    const MeterTime now = clockAt(nowUs);
    m_clockDate = {now.year, now.month, now.day, 0, 0, 0};
    m_clockSecondsAtRef = hour * 3600 + minute * 60 + second;
    m_clockRefUs = nowUs;
}

QByteArray SimulatedMeter::statusReply() const {
    const quint32 pointer = m_memory.pointer();
    QByteArray out;
    out.append('\x02');
    out.append(byteOf(int(pointer >> 16)));
    out.append(byteOf(int(pointer >> 8)));
    out.append(byteOf(int(pointer)));
    out.append(byteOf(m_memory.manualCount()));
    out.append('\xFF');
    out.append('\x03');
    return out;
}

quint8 SimulatedMeter::garbageByte() {
    // Never a frame marker, so that no stretch of garbage passes for a frame.
    for (;;) {
        const auto b = quint8(m_random.bounded(256));
        if (b != 0x02 && b != 0x03)
            return b;
    }
}

void SimulatedMeter::setClock(const QDateTime& at, qint64 nowUs) {
    const QDate date = at.date();
    m_clockDate = {date.year() % 100, date.month(), date.day(), 0, 0, 0};
    m_clockSecondsAtRef = at.time().msecsSinceStartOfDay() / 1000;
    m_clockRefUs = nowUs;
}

void SimulatedMeter::unsetClock(qint64 nowUs) {
    m_clockDate = {};
    m_clockSecondsAtRef = 0;
    m_clockRefUs = nowUs;
}

MeterTime SimulatedMeter::clockAt(qint64 nowUs) const {
    const qint64 elapsed = std::max<qint64>(0, nowUs - m_clockRefUs) / kMicrosPerSecond;
    return meterTimeOf(m_clockDate, m_clockSecondsAtRef + elapsed);
}

bool SimulatedMeter::fillDemoData(int sets, int records, int manual) {
    DemoSets demo;
    demo.count = sets;
    demo.records = {records};
    return fillDemoData(demo, manual);
}

bool SimulatedMeter::fillDemoData(const DemoSets& demo, int manual) {
    MeterTime start{26, 1, 14, 8, 5, 0};
    qint64 offsetSeconds = 0;
    const auto reading = [&](int k, qint64 seconds) {
        const ChannelSetup& ch = m_channels[k];
        const int noise = int(m_random.bounded(3)) - 1;
        return StoredReading{ch.probePresent, ch.over, ch.under,
                             readingTenthsF(k, seconds * kMicrosPerSecond) + noise};
    };
    const auto pick = [](const auto& list, int s, auto fallback) {
        return list.isEmpty() ? fallback : list[s % list.size()];
    };
    for (int s = 0; s < demo.count; ++s) {
        RecordSet set;
        set.channelMask = pick(demo.masks, s, kDemoMasks[std::size_t(s) % kDemoMasks.size()]);
        set.fahrenheit = pick(demo.fahrenheit, s, s % 2 == 1);
        for (int k = 0; k < 4; ++k) {
            set.typeCodes[k] = m_channels[k].typeCode;
            set.offsetTenths[k] = m_channels[k].offsetTenths;
        }
        set.start = meterTimeOf(start, secondsOfDay(start) + offsetSeconds);
        set.intervalSeconds = pick(demo.intervals, s, m_samplingInterval);
        const int records = pick(demo.records, s, 20);
        // A set that cannot fit is not built: a count of millions would only
        // take the memory of the computer.
        const qint64 length =
            MeterMemory::kSetHeaderSize +
            qint64(records) * (2 + 3 * MeterMemory::channelCount(set.channelMask));
        if (m_memory.pointer() + length > m_memory.capacity())
            return false;
        set.records.reserve(records);
        for (int r = 0; r < records; ++r) {
            const qint64 at = offsetSeconds + qint64(r) * set.intervalSeconds;
            set.records.append({reading(0, at), reading(1, at), reading(2, at), reading(3, at)});
        }
        if (!m_memory.addRecordSet(set))
            return false;
        // The next run starts a little over an hour after this one ended.
        offsetSeconds += qint64(records) * set.intervalSeconds + 4637;
    }
    for (int i = 0; i < manual; ++i) {
        ManualReading entry;
        entry.fahrenheit = m_fahrenheit != (i % 3 == 2);
        for (int k = 0; k < 4; ++k) {
            entry.typeCodes[k] = m_channels[k].typeCode;
            entry.offsetTenths[k] = m_channels[k].offsetTenths;
        }
        entry.at = meterTimeOf(start, secondsOfDay(start) + offsetSeconds);
        entry.readings = {reading(0, offsetSeconds), reading(1, offsetSeconds),
                          reading(2, offsetSeconds), reading(3, offsetSeconds)};
        if (!m_memory.addManualReading(entry))
            return false;
        offsetSeconds += 97 + m_random.bounded(600);
    }
    return true;
}

void SimulatedMeter::setSilent(bool silent) {
    if (silent == m_silent)
        return;
    m_silent = silent;
    if (silent) {
        // Switched off: what was on its way is lost, and so is a half-read request.
        m_tx.clear();
        m_txPos = 0;
        m_pending.clear();
    } else {
        m_txFreeUs = std::max(m_txFreeUs, double(m_lastNowUs));
    }
}

void SimulatedMeter::clearLogs() {
    m_requestLog.clear();
    m_violations.clear();
    m_ignoredBytes = 0;
}

void SimulatedMeter::noteViolation(const QString& text) {
    m_violations.append(text);
}

} // namespace quadtherm::sim
