#pragma once

#include "meter_link/serial_port.h"
#include "shared/clock.h"
#include "shared/run_state.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <array>
#include <atomic>
#include <functional>
#include <optional>

namespace quadtherm::meter_link {

// The automatic power-off times the meter knows, in minutes; the index is the
// code it sends and takes.
inline constexpr std::array<int, 3> kPowerOffMinutes{5, 15, 30};
// The memory sizes the meter takes, in units of 64 K; any other number it is
// sent asks for 1.
inline constexpr std::array<int, 4> kMemorySizes{1, 2, 4, 8};
bool isMemorySize(int code);

// The meter's clock as it answers a clock read.
struct MeterClock {
    int year = 0; // within the century
    int month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool isSet() const { return month != 0 && day != 0; }
    QString text() const; // "yyyy/mm/dd hh:nn:ss"
};

// What a status reply says.
struct StatusReply {
    double MemoryPointer = 0; // the next free meter address, 24 bits
    qint16 ManualCount = 0;
};

// The status reply is the last seven bytes read: 02, the memory pointer
// (three bytes, high first), the manual count, FF, 03; stray bytes before
// them are dropped. Nothing when fewer than seven came or those seven are not
// framed so.
std::optional<StatusReply> parseStatusReply(const QByteArray& reply);

// The clock reply opens what was read: 02, year, month, day, hour, minute,
// second, 03; later bytes are ignored. Nothing when fewer than eight came or
// they are not framed so.
std::optional<MeterClock> parseClockReply(const QByteArray& reply);

// Request codes of the key press frame ("W" and three bit masks).
struct KeyCode {
    quint8 k1 = 0, k2 = 0, k3 = 0;
};

// The request and reply protocol with the meter. Every wait sleeps in the
// event loop, so the user interface stays responsive and timers keep firing.
// The meter's own protocol has no failure result: an exchange repeats until
// the meter answers. A wait ends early only when the protocol is stopped (the
// program is closing) or its give-up deadline has passed (the command-line
// tool); the call then returns false or nothing.
class MeterProtocol : public QObject {
    Q_OBJECT
public:
    // Longest wait for a reading frame before the link counts as lost.
    static constexpr int kFrameReadLimitMs = 3000;
    // A status exchange that went unanswered this many times re-synchronises.
    static constexpr int kStatusAttempts = 1000;
    // A dump whose bytes stop coming for this long is abandoned.
    static constexpr int kDumpStallLimitMs = 5000;
    // How often a lost device is tried again.
    static constexpr int kReopenIntervalMs = 1000;
    // The frame read holds the user's clicks back this long, so that no
    // dialog opens inside it; a meter slower than that lets them through.
    static constexpr int kFrameHoldInputMs = 250;

    MeterProtocol(SerialPort& port, shared::Clock& clock, shared::RunState& state,
                  QObject* parent = nullptr);

    SerialPort& port() { return m_port; }
    shared::Clock& clock() { return m_clock; }

    // Ends every wait from now on; from any thread.
    void stop();
    // Ends every wait that is still running `ms` from now (negative: never).
    void setGiveUpAfter(qint64 ms);
    // Ends the waits in progress, until clearInterrupt(): the live tick gives
    // way to a command the user started while it waited.
    void interrupt() { m_interrupted = true; }
    void clearInterrupt() { m_interrupted = false; }
    // Stopped, timed out or interrupted: a wait returns early.
    bool stopped() const;
    bool timedOut() const;
    // Only interrupted: the program goes on and the wait may be run again.
    bool interrupted() const;

    // Waits `seconds` while events run. A wait that would run past midnight
    // is measured from midnight, so it ends at the first check.
    bool Delay(double seconds);
    // The memory status exchange: "A" until a valid 7-byte reply, which sets
    // MemoryPointer and ManualCount.
    bool QueryStatus();
    // Re-synchronisation: "No COM", live state cleared, status exchange, four
    // frames back to back decoded, the meter clock set when it is unset. What
    // the program does around it (timers, displays, setpoints) follows the
    // signals below.
    bool ResyncMeter();

    // One 12-byte reading frame, or nothing when the link is lost.
    std::optional<QByteArray> readReadingFrame();

    // Fills CommandFrame and writes all four bytes.
    bool sendCommand(char letter, quint8 b1, quint8 b2, quint8 b3);
    QByteArray readAllWaiting() { return m_port.readAll(); }
    void discardInput() { m_port.discardInput(); }

    // The requests, each preceded by the status exchange.
    bool pressKey(KeyCode key);             // W k1 k2 k3, then 0.2 s
    bool eraseMemory(quint8 kind);          // W 00 00 02 (record sets) or 01 (manual)
    std::optional<int> readPowerOffIndex(); // V 00 00 00; nothing when the reply is short
    bool setPowerOffIndex(int index);       // V 01 i 00
    std::optional<int> readMeterInterval(); // U 00 00 00, repeated until framed
    bool setMeterInterval(int seconds);     // U 01 t 00, t limited to 1..255
    std::optional<int> readMemorySize();    // Y 00; nothing unless exactly 02 N 03
    bool setMemorySize(int code);           // Y 01 N, N not 1, 2, 4 or 8 becomes 1
    std::optional<MeterClock> readMeterClock(double waitSeconds = 0.5); // X, repeated until framed
    bool setMeterClock(const QDateTime& when); // S YY MM DD, 0.02 s, T hh mm ss

    // How a dump reply ended.
    struct DumpReply {
        enum class End {
            Complete,  // every expected byte arrived (later ones are dropped)
            Stalled,   // nothing arrived for kDumpStallLimitMs
            Cancelled, // cancelDump() was called
            Stopped,   // the program is closing, or the exchange before it gave up
        };
        End end = End::Stopped;
        // The whole reply when complete; otherwise what had arrived.
        QByteArray bytes;
        qint64 expected = 0;
    };

    // The dumps: the status exchange, the request, 0.2 s, then the reply of
    // the length the status reply announced. `progress` gets the bytes so
    // far (never more than the total) and the total.
    using Progress = std::function<void(qint64 received, qint64 total)>;
    DumpReply dumpMemory(const Progress& progress = {}); // R: MemoryPointer - 8192 + 5 bytes
    DumpReply dumpManual(const Progress& progress = {}); // Q: ManualCount * 29 + 3 bytes

    // Receives exactly `total` bytes. A dump of a full memory takes minutes,
    // so the give-up deadline does not apply here: silence does.
    DumpReply receiveExactly(qint64 total, const Progress& progress);
    // Ends the dump being received (the user's Cancel); the meter goes on
    // sending what it started. From any thread.
    void cancelDump() { m_dumpCancelled = true; }

    // A line this long without a byte after a dump ended early: the meter
    // has stopped sending.
    static constexpr int kDrainQuietMs = 1500;
    enum class DrainEnd {
        Frames,  // the meter streams its readings again: the link holds
        Quiet,   // nothing more came; the next frame read tells whether the meter is there
        Garbage, // more came than the dump had left, and no readings: the link is rebuilt
        Stopped, // the program is closing
    };
    // After a dump that ended early (Cancel, a stall) the meter may still be
    // sending the rest of it. Reads and drops what comes until the line is
    // quiet or reading frames come again, at most `leftBytes` and a little
    // more; the frames that ended it are dropped too.
    DrainEnd drainDump(qint64 leftBytes);

Q_SIGNALS:
    // The link is being rebuilt: the live state is cleared and nothing is
    // read until resyncFinished.
    void resyncStarted();
    // The re-synchronisation decoded this channel's frame and set its ranges.
    void resyncChannelDecoded(int channel);
    // The meter streams again.
    void resyncFinished();

private:
    // A write that fails counts as a lost link: the port is closed, so the
    // next wait reopens it through a re-synchronisation.
    bool write(const QByteArray& bytes);
    // Sleeps until bytes arrive or `ms` pass.
    void waitForBytes(int ms, shared::Clock::UserInput input = shared::Clock::UserInput::Deliver);
    // Reopens a device that went away, at most once a second.
    bool ensureOpen();
    // A "Delay then read everything" request, repeated until `accept` takes the reply.
    std::optional<QByteArray> askUntil(const QByteArray& request, double waitSeconds,
                                       const std::function<bool(const QByteArray&)>& accept);

    SerialPort& m_port;
    shared::Clock& m_clock;
    shared::RunState& m_state;
    // Set from any thread: the program closing, the user's Cancel.
    std::atomic<bool> m_stopped = false;
    bool m_interrupted = false;
    std::atomic<bool> m_dumpCancelled = false;
    qint64 m_giveUpAtMs = -1;
    bool m_inResync = false;
    qint64 m_lastReopenMs = -1;
    // The channel refreshed longest ago is preferred by the frame read, so
    // that no channel starves when the poll keeps step with the frame stream.
    shared::PerChannel<quint64> m_refreshedAt{};
    quint64 m_refreshCounter = 0;
};

} // namespace quadtherm::meter_link
