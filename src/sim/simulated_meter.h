#pragma once

#include "sim/meter_memory.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <array>

namespace quadtherm::sim {

// One byte on a 19200 baud 8N1 line is 10 bit times. At the real rate the meter
// sends 1920 bytes a second, a reading frame takes 6.25 ms and a full 512 K
// memory dump (524288 − 8192 + 5 bytes) takes 516101 × 520.8 µs ≈ 269 s, about
// four and a half minutes.
inline constexpr int kLineBaud = 19200;
inline constexpr int kBitsPerByte = 10;
inline constexpr int kFrameSize = 12;

struct ChannelSetup {
    int typeCode = 0;
    bool probePresent = true;
    bool over = false;
    bool under = false;
    int offsetTenths = 0;
    // The reading before the offset, in °F, and the half-width of its drift.
    double baseF = 72.5;
    double driftF = 3.0;
};

struct ReceivedRequest {
    qint64 atUs = 0; // when its last byte arrived
    QByteArray bytes;
    bool carriedOut = false; // false when strict mode refused it
};

// A time-driven model of the meter's serial side. The caller owns time: it
// hands over what the PC wrote with receive() and collects what the meter put
// on the line with transmit(), both stamped with a non-decreasing time in µs.
// The line-speed factor only shortens the byte time; every other time (quiet
// before streaming resumes, request time-out, clock, drift) is the caller's.
class SimulatedMeter {
public:
    explicit SimulatedMeter(quint32 seed = 1);

    void setLineSpeed(double factor);
    double lineSpeed() const { return m_lineSpeed; }
    double byteTimeUs() const;
    void setResumeAfterQuietMs(int ms) { m_resumeAfterQuietMs = ms; }
    int resumeAfterQuietMs() const { return m_resumeAfterQuietMs; }
    // The PC runs a status exchange before every other request. A strict meter
    // refuses a request that skipped it and notes that in violations(), so a
    // test catches a sender that forgot it.
    void setStrict(bool strict) { m_strict = strict; }
    bool strict() const { return m_strict; }

    void receive(const QByteArray& bytes, qint64 nowUs);
    QByteArray transmit(qint64 nowUs);
    // Runs the meter up to nowUs with nobody listening: the bytes are lost.
    void discardUntil(qint64 nowUs);

    ChannelSetup& channel(int k) { return m_channels.at(k); }
    const ChannelSetup& channel(int k) const { return m_channels.at(k); }
    void setFahrenheit(bool on) { m_fahrenheit = on; }
    bool fahrenheit() const { return m_fahrenheit; }
    void setRecording(bool on) { m_recording = on; }
    bool recording() const { return m_recording; }
    void setMemoryFull(bool on) { m_memoryFull = on; }
    bool memoryFull() const { return m_memoryFull; }
    bool holding() const { return m_hold; }
    // The value a frame generated at nowUs carries, in tenths of °F.
    int readingTenthsF(int k, qint64 nowUs) const;

    void setPowerOffIndex(int index) { m_powerOffIndex = index; }
    int powerOffIndex() const { return m_powerOffIndex; }
    void setSamplingInterval(int seconds) { m_samplingInterval = seconds; }
    int samplingInterval() const { return m_samplingInterval; }

    // The clock runs from the given time; an unset clock reports month 0 and
    // day 0 and counts its time from when it was cleared.
    void setClock(const QDateTime& at, qint64 nowUs);
    void unsetClock(qint64 nowUs);
    MeterTime clockAt(qint64 nowUs) const;

    MeterMemory& memory() { return m_memory; }
    const MeterMemory& memory() const { return m_memory; }
    // What the demo record sets look like. Each list is used in turn, set
    // after set, starting over when it runs out; an empty list takes the
    // default: masks T1-T4, T1+T3, T2, T1+T2+T4, T3+T4; °C and °F by
    // turns; the meter's sampling interval; 20 records.
    struct DemoSets {
        int count = 0;
        QList<int> masks;
        QList<bool> fahrenheit;
        QList<int> intervals;
        QList<int> records;
    };
    // Demo content from the channel setup: record sets and `manual` manual
    // readings. False when memory ran out first.
    bool fillDemoData(const DemoSets& sets, int manual);
    bool fillDemoData(int sets, int records, int manual);

    // Faults. Each applies from the latest time the meter has been given.
    void setSilent(bool silent);
    bool silent() const { return m_silent; }
    void setGarbage(bool garbage) { m_garbage = garbage; }
    bool garbage() const { return m_garbage; }
    void injectStrayBytes(const QByteArray& bytes) { m_strayBytes += bytes; }
    void truncateNextReply(int afterBytes) { m_truncateAfter = afterBytes; }
    // The next memory or manual dump stops after this many bytes, and the
    // meter falls silent (a flat battery, a pulled cable). Negative: never.
    void stallNextDumpAfter(int bytes) { m_stallDumpAfter = bytes; }

    // The memory and manual dumps go this many times faster than the line's
    // own rate (which setLineSpeed sets); the reading frames keep the line's.
    void setDumpSpeed(double factor);
    double dumpSpeed() const { return m_dumpSpeed; }
    // A dump reply is on its way. The meter takes no request until it has
    // sent the last byte: what the PC writes meanwhile is lost.
    bool sendingDump() const { return m_txPos < m_dumpTo; }

    const QList<ReceivedRequest>& requestLog() const { return m_requestLog; }
    const QStringList& violations() const { return m_violations; }
    int ignoredByteCount() const { return m_ignoredBytes; }
    void clearLogs();

private:
    void advance(qint64 nowUs, bool keep);
    bool queueEmpty() const { return m_txPos >= m_tx.size(); }
    void queueFrame(double startUs);
    void queueReply(QByteArray reply, qint64 nowUs);
    void queueDump(QByteArray reply, qint64 nowUs);
    int requestLength() const;
    void handleRequest(const QByteArray& request, qint64 nowUs);
    void handleKey(quint8 b1, quint8 b2, quint8 b3, qint64 nowUs);
    void noteViolation(const QString& text);
    QByteArray statusReply() const;
    QByteArray memoryDumpReply() const;
    QByteArray manualDumpReply() const;
    QByteArray clockReply(qint64 nowUs) const;
    void setClockDate(int year, int month, int day, qint64 nowUs);
    void setClockTime(int hour, int minute, int second, qint64 nowUs);
    quint8 garbageByte();

    std::array<ChannelSetup, 4> m_channels;
    std::array<std::array<double, 4>, 4> m_driftShape{}; // two periods and two phases
    std::array<int, 4> m_heldTenths{};
    QRandomGenerator m_random;

    double m_lineSpeed = 1.0;
    int m_resumeAfterQuietMs = 500;
    bool m_strict = true;
    bool m_fahrenheit = false;
    bool m_recording = false;
    bool m_memoryFull = false;
    bool m_hold = false;
    int m_powerOffIndex = 1;
    int m_samplingInterval = 2;

    // Transmitter: bytes committed to the line, and the time the next one starts.
    QByteArray m_tx;
    qsizetype m_txPos = 0;
    double m_txFreeUs = 0.0;
    QByteArray m_out;
    int m_nextChannel = 0;
    qint64 m_lastNowUs = 0;
    qint64 m_pausedUntilUs = 0;

    QByteArray m_pending;
    qint64 m_pendingLastUs = 0;
    bool m_statusExchanged = false;

    MeterTime m_clockDate;
    qint64 m_clockSecondsAtRef = 0;
    qint64 m_clockRefUs = 0;

    MeterMemory m_memory;

    // The dump reply's bytes in m_tx, sent at the dump speed.
    qsizetype m_dumpFrom = 0;
    qsizetype m_dumpTo = 0;
    double m_dumpSpeed = 1.0;

    bool m_silent = false;
    bool m_garbage = false;
    QByteArray m_strayBytes;
    int m_truncateAfter = -1;
    int m_stallDumpAfter = -1;
    bool m_silentOnceSent = false;

    QList<ReceivedRequest> m_requestLog;
    QStringList m_violations;
    int m_ignoredBytes = 0;
};

} // namespace quadtherm::sim
