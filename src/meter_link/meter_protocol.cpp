#include "meter_link/meter_protocol.h"

#include "meter_link/frame_scanner.h"
#include "meter_link/live_reading.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>

namespace quadtherm::meter_link {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr int kStatusReplyLength = 7;
constexpr int kClockReplyLength = 8;
// The automatic data area starts at this meter address.
constexpr double kDataAreaStart = 8192;
constexpr int kManualRecordLength = 29;
// A silent wait wakes this often to notice a stop or a deadline.
constexpr int kWakeSliceMs = 100;
// Bytes kept while looking for frames in a stream of garbage.
constexpr qsizetype kScanWindow = 1024;

quint8 byteAt(const QByteArray& bytes, qsizetype i) {
    return static_cast<quint8>(bytes[i]);
}

bool framed(const QByteArray& reply, qsizetype length) {
    return reply.size() >= length && byteAt(reply, 0) == kStx && byteAt(reply, length - 1) == kEtx;
}

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

std::optional<StatusReply> parseStatusReply(const QByteArray& reply) {
    if (reply.size() < kStatusReplyLength)
        return std::nullopt;
    const QByteArray last = reply.right(kStatusReplyLength);
    if (byteAt(last, 0) != kStx || byteAt(last, 5) != 0xFF || byteAt(last, 6) != kEtx)
        return std::nullopt;
    StatusReply status;
    status.MemoryPointer = byteAt(last, 1) * 65536.0 + byteAt(last, 2) * 256 + byteAt(last, 3);
    status.ManualCount = byteAt(last, 4);
    return status;
}

std::optional<MeterClock> parseClockReply(const QByteArray& reply) {
    if (!framed(reply, kClockReplyLength))
        return std::nullopt;
    MeterClock c;
    c.year = byteAt(reply, 1);
    c.month = byteAt(reply, 2);
    c.day = byteAt(reply, 3);
    c.hour = byteAt(reply, 4);
    c.minute = byteAt(reply, 5);
    c.second = byteAt(reply, 6);
    return c;
}

QString MeterClock::text() const {
    return QStringLiteral("20") + twoDigits(year) + u'/' + twoDigits(month) + u'/' +
           twoDigits(day) + u' ' + twoDigits(hour) + u':' + twoDigits(minute) + u':' +
           twoDigits(second);
}

MeterProtocol::MeterProtocol(SerialPort& port, shared::Clock& clock, shared::RunState& state,
                             QObject* parent)
    : QObject(parent), m_port(port), m_clock(clock), m_state(state) {}

void MeterProtocol::stop() {
    m_stopped = true;
}

void MeterProtocol::setGiveUpAfter(qint64 ms) {
    m_giveUpAtMs = ms < 0 ? -1 : m_clock.elapsedMs() + ms;
}

bool MeterProtocol::timedOut() const {
    return m_giveUpAtMs >= 0 && m_clock.elapsedMs() >= m_giveUpAtMs;
}

bool MeterProtocol::stopped() const {
    return m_stopped || m_interrupted || timedOut();
}

bool MeterProtocol::interrupted() const {
    return m_interrupted && !m_stopped && !timedOut();
}

bool MeterProtocol::write(const QByteArray& bytes) {
    if (m_port.write(bytes))
        return true;
    m_port.close();
    return false;
}

void MeterProtocol::waitForBytes(int ms, shared::Clock::UserInput input) {
    m_clock.sleep(std::clamp(ms, 0, kWakeSliceMs), &m_port,
                  QMetaMethod::fromSignal(&SerialPort::readyRead), input);
}

bool MeterProtocol::ensureOpen() {
    if (m_port.isOpen())
        return true;
    const qint64 now = m_clock.elapsedMs();
    if (m_lastReopenMs >= 0 && now - m_lastReopenMs < kReopenIntervalMs)
        return false;
    m_lastReopenMs = now;
    return m_port.open();
}

bool MeterProtocol::Delay(double seconds) {
    const qint64 startMs = m_clock.elapsedMs();
    const qint64 limitMs = std::llround(std::max(0.0, seconds) * 1000);
    double end = m_clock.secondsSinceMidnight() + seconds;
    if (end >= kSecondsPerDay)
        end = seconds;
    // Besides the seconds-since-midnight rule, the elapsed time bounds the
    // wait: a loop that wakes after midnight would otherwise wait a whole day.
    for (;;) {
        const double leftByClock = (end - m_clock.secondsSinceMidnight()) * 1000;
        const qint64 leftByElapsed = limitMs - (m_clock.elapsedMs() - startMs);
        // Rounded up: a fraction of a millisecond left must still be slept,
        // or a clock that only moves while slept on would never get there.
        const auto left = static_cast<int>(std::ceil(
            std::clamp<double>(std::min<double>(leftByClock, leftByElapsed), 0, kWakeSliceMs)));
        m_clock.sleep(left);
        if (stopped())
            return false;
        if (m_clock.secondsSinceMidnight() >= end || m_clock.elapsedMs() - startMs >= limitMs)
            return true;
    }
}

bool MeterProtocol::QueryStatus() {
    m_port.discardInput();
    for (;;) {
        if (!m_port.isOpen() && !m_inResync) {
            // The device went away: waiting for a thousand unanswered
            // attempts would only delay the reopening.
            if (!ResyncMeter())
                return false;
        }
        int attempts = 0;
        QByteArray reply;
        do {
            if (stopped())
                return false;
            if (m_inResync)
                ensureOpen();
            else if (!m_port.isOpen())
                break;
            ++attempts;
            write(QByteArray(1, 'A'));
            if (!Delay(0.02))
                return false;
            reply = m_port.readAll();
        } while (attempts < kStatusAttempts && reply.size() < kStatusReplyLength);
        // Inside a re-synchronisation the exchange just keeps trying.
        if (attempts >= kStatusAttempts && !m_inResync && !ResyncMeter())
            return false;
        const auto status = parseStatusReply(reply);
        if (!status)
            continue;
        m_state.link.MemoryPointer = status->MemoryPointer;
        m_state.link.ManualCount = status->ManualCount;
        return true;
    }
}

std::optional<QByteArray> MeterProtocol::readReadingFrame() {
    m_port.discardInput();
    const qint64 startMs = m_clock.elapsedMs();
    QByteArray collected;
    int wanted = 0;
    for (int k = 1; k < shared::kChannels; ++k)
        if (m_refreshedAt[k] < m_refreshedAt[wanted])
            wanted = k;
    for (;;) {
        if (stopped() || !m_port.isOpen())
            return std::nullopt;
        collected += m_port.readAll();
        const QList<int> frames = findAlignedFrames(collected);
        std::optional<QByteArray> pick;
        for (int offset : frames) {
            const QByteArray frame = collected.mid(offset, kFrameLength);
            if (frameChannel(frame) == wanted) {
                pick = frame;
                break;
            }
        }
        // A whole cycle went by without the wanted channel: take the newest.
        if (!pick && frames.size() >= shared::kChannels)
            pick = collected.mid(frames.last(), kFrameLength);
        if (pick) {
            m_refreshedAt[frameChannel(*pick)] = ++m_refreshCounter;
            return pick;
        }
        if (collected.size() > kScanWindow)
            collected.remove(0, collected.size() - kScanWindow);
        const qint64 waitedMs = m_clock.elapsedMs() - startMs;
        const qint64 leftMs = kFrameReadLimitMs - waitedMs;
        if (leftMs <= 0) {
            m_port.discardInput();
            return std::nullopt;
        }
        // A click during a frame read waits for the read: a dialog opened
        // inside it would hold the live tick for as long as it stays open.
        if (waitedMs < kFrameHoldInputMs)
            waitForBytes(static_cast<int>(std::min(leftMs, kFrameHoldInputMs - waitedMs)),
                         shared::Clock::UserInput::Hold);
        else
            waitForBytes(static_cast<int>(leftMs));
    }
}

bool MeterProtocol::ResyncMeter() {
    if (m_inResync)
        return true;
    m_inResync = true;
    const auto done = qScopeGuard([this] { m_inResync = false; });
    auto& link = m_state.link;
    auto& live = m_state.live;

    link.PollCount = 0;
    link.NeedResync = true;
    Q_EMIT resyncStarted();
    ClearLiveChannels(live);

    if (!QueryStatus())
        return false;

    // Four frames back to back, wherever they sit in what arrived.
    m_port.discardInput();
    QByteArray collected;
    int run = -1;
    while (run < 0) {
        if (stopped())
            return false;
        ensureOpen();
        collected += m_port.readAll();
        run = lastFrameRun(findAlignedFrames(collected), shared::kChannels);
        if (run < 0) {
            if (collected.size() > kScanWindow)
                collected.remove(0, collected.size() - kScanWindow);
            waitForBytes(kWakeSliceMs);
        }
    }
    for (int i = 0; i < shared::kChannels; ++i) {
        DecodeResyncFrame(live, collected.mid(run + i * kFrameLength, kFrameLength));
        const int k = live.CurrentChannel;
        m_refreshedAt[k] = ++m_refreshCounter;
        Q_EMIT resyncChannelDecoded(k);
    }

    // The meter's clock stamps its logged data: an unset clock gets the
    // computer's date and time.
    QByteArray reply;
    do {
        if (!QueryStatus())
            return false;
        write(QByteArray(1, 'X'));
        if (!Delay(2.0))
            return false;
        reply = m_port.readAll();
    } while (reply.size() < kClockReplyLength);
    if (byteAt(reply, 2) == 0 || byteAt(reply, 3) == 0) {
        if (!setMeterClock(m_clock.now()))
            return false;
    }

    link.NeedResync = false;
    Q_EMIT resyncFinished();
    return true;
}

bool MeterProtocol::sendCommand(char letter, quint8 b1, quint8 b2, quint8 b3) {
    auto& frame = m_state.link.CommandFrame;
    frame = {static_cast<quint8>(letter), b1, b2, b3};
    return write(QByteArray(reinterpret_cast<const char*>(frame.data()),
                            static_cast<qsizetype>(frame.size())));
}

bool MeterProtocol::pressKey(KeyCode key) {
    if (!QueryStatus())
        return false;
    if (!sendCommand('W', key.k1, key.k2, key.k3))
        return false;
    return Delay(0.2);
}

bool MeterProtocol::eraseMemory(quint8 kind) {
    return pressKey({0x00, 0x00, kind});
}

std::optional<int> MeterProtocol::readPowerOffIndex() {
    if (!QueryStatus())
        return std::nullopt;
    sendCommand('V', 0x00, 0x00, 0x00);
    if (!Delay(0.02))
        return std::nullopt;
    const QByteArray reply = m_port.readAll();
    if (reply.size() < 3)
        return std::nullopt;
    return byteAt(reply, 1);
}

bool MeterProtocol::setPowerOffIndex(int index) {
    if (!QueryStatus())
        return false;
    return sendCommand('V', 0x01, static_cast<quint8>(index), 0x00);
}

std::optional<QByteArray>
MeterProtocol::askUntil(const QByteArray& request, double waitSeconds,
                        const std::function<bool(const QByteArray&)>& accept) {
    for (;;) {
        m_port.discardInput();
        if (!QueryStatus())
            return std::nullopt;
        write(request);
        if (!Delay(waitSeconds))
            return std::nullopt;
        const QByteArray reply = m_port.readAll();
        if (accept(reply))
            return reply;
    }
}

std::optional<int> MeterProtocol::readMeterInterval() {
    const auto reply =
        askUntil(QByteArray("U\0\0\0", 4), 0.02, [](const QByteArray& r) { return framed(r, 3); });
    if (!reply)
        return std::nullopt;
    return byteAt(*reply, 1);
}

bool MeterProtocol::setMeterInterval(int seconds) {
    if (!QueryStatus())
        return false;
    return sendCommand('U', 0x01, static_cast<quint8>(std::clamp(seconds, 1, 255)), 0x00);
}

std::optional<int> MeterProtocol::readMemorySize() {
    m_port.discardInput();
    if (!QueryStatus())
        return std::nullopt;
    write(QByteArray("Y\0", 2));
    if (!Delay(0.2))
        return std::nullopt;
    const QByteArray reply = m_port.readAll();
    if (reply.size() != 3 || !framed(reply, 3))
        return std::nullopt;
    return byteAt(reply, 1);
}

bool isMemorySize(int code) {
    return std::find(kMemorySizes.begin(), kMemorySizes.end(), code) != kMemorySizes.end();
}

bool MeterProtocol::setMemorySize(int code) {
    if (!isMemorySize(code))
        code = 1;
    if (!QueryStatus())
        return false;
    return write(QByteArray("Y\x01", 2) + QByteArray(1, static_cast<char>(code)));
}

std::optional<MeterClock> MeterProtocol::readMeterClock(double waitSeconds) {
    const auto reply = askUntil(QByteArray(1, 'X'), waitSeconds,
                                [](const QByteArray& r) { return parseClockReply(r).has_value(); });
    if (!reply)
        return std::nullopt;
    return parseClockReply(*reply);
}

bool MeterProtocol::setMeterClock(const QDateTime& when) {
    // One snapshot of the clock, so the fields cannot straddle a second.
    const QDate d = when.date();
    const QTime t = when.time();
    if (!QueryStatus())
        return false;
    sendCommand('S', static_cast<quint8>(d.year() % 100), static_cast<quint8>(d.month()),
                static_cast<quint8>(d.day()));
    if (!Delay(0.02) || !QueryStatus())
        return false;
    return sendCommand('T', static_cast<quint8>(t.hour()), static_cast<quint8>(t.minute()),
                       static_cast<quint8>(t.second()));
}

MeterProtocol::DumpReply MeterProtocol::receiveExactly(qint64 total, const Progress& progress) {
    using End = DumpReply::End;
    DumpReply reply;
    reply.expected = std::max<qint64>(total, 0);
    m_dumpCancelled = false;
    qint64 lastByteMs = m_clock.elapsedMs();
    for (;;) {
        const QByteArray chunk = m_port.readAll();
        if (!chunk.isEmpty()) {
            reply.bytes += chunk;
            lastByteMs = m_clock.elapsedMs();
        }
        const qint64 received = std::min<qint64>(reply.bytes.size(), reply.expected);
        if (progress)
            progress(received, reply.expected);
        if (received == reply.expected) {
            reply.bytes.truncate(reply.expected);
            reply.end = End::Complete;
            return reply;
        }
        const qint64 quietMs = m_clock.elapsedMs() - lastByteMs;
        if (m_stopped)
            reply.end = End::Stopped;
        else if (m_dumpCancelled)
            reply.end = End::Cancelled;
        else if (quietMs >= kDumpStallLimitMs)
            reply.end = End::Stalled;
        else {
            waitForBytes(static_cast<int>(kDumpStallLimitMs - quietMs));
            continue;
        }
        m_dumpCancelled = false;
        return reply;
    }
}

MeterProtocol::DrainEnd MeterProtocol::drainDump(qint64 leftBytes) {
    // Beyond what the dump had left: a few frame cycles' worth of garbage.
    const qint64 limit = std::max<qint64>(leftBytes, 0) + 16 * kScanWindow;
    qint64 drained = 0;
    QByteArray tail; // the last bytes read, where frames are looked for
    qint64 lastByteMs = m_clock.elapsedMs();
    for (;;) {
        if (m_stopped)
            return DrainEnd::Stopped;
        const QByteArray chunk = m_port.readAll();
        if (!chunk.isEmpty()) {
            lastByteMs = m_clock.elapsedMs();
            drained += chunk.size();
            tail += chunk;
            if (lastFrameRun(findAlignedFrames(tail), shared::kChannels) >= 0)
                return DrainEnd::Frames;
            if (tail.size() > kScanWindow)
                tail.remove(0, tail.size() - kScanWindow);
            if (drained > limit)
                return DrainEnd::Garbage;
        }
        const qint64 quietMs = m_clock.elapsedMs() - lastByteMs;
        if (quietMs >= kDrainQuietMs || !m_port.isOpen())
            return DrainEnd::Quiet;
        waitForBytes(static_cast<int>(kDrainQuietMs - quietMs));
    }
}

MeterProtocol::DumpReply MeterProtocol::dumpMemory(const Progress& progress) {
    if (!QueryStatus())
        return {};
    // A pointer below the data area would announce a reply shorter than its
    // own leading and trailing bytes: there is nothing to read.
    const auto total =
        static_cast<qint64>(std::max(m_state.link.MemoryPointer - kDataAreaStart, 0.0)) + 5;
    if (!write(QByteArray(1, 'R')) || !Delay(0.2))
        return {};
    return receiveExactly(total, progress);
}

MeterProtocol::DumpReply MeterProtocol::dumpManual(const Progress& progress) {
    if (!QueryStatus())
        return {};
    const qint64 total = m_state.link.ManualCount * qint64{kManualRecordLength} + 3;
    if (!write(QByteArray(1, 'Q')) || !Delay(0.2))
        return {};
    return receiveExactly(total, progress);
}

} // namespace quadtherm::meter_link
