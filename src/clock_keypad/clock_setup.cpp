#include "clock_keypad/clock_setup.h"

#include "meter_link/frame_scanner.h"
#include "meter_link/live_reading.h"
#include "meter_link/meter_protocol.h"
#include "recording/data_file.h"

namespace quadtherm::clock_keypad {

namespace {

// The meter's clock reply comes this long after "X".
constexpr double kClockReplyWait = 0.5;
constexpr quint8 kLoggingBit = 0x40;

} // namespace

std::optional<bool> loggingBitOf(const QByteArray& bytes) {
    const QList<int> frames = meter_link::findAlignedFrames(bytes);
    if (frames.isEmpty())
        return std::nullopt;
    return (static_cast<quint8>(bytes[frames.last() + 1]) & kLoggingBit) != 0;
}

ClockSetup::ClockSetup(session::SessionClient& client, QObject* parent)
    : QObject(parent), Timer1(client.clock(), kClockRefreshMs, [this] { Timer1_Timer(); }),
      m_client(client), m_clock(client.clock()) {}

ClockSetup::~ClockSetup() {
    Form_Unload();
}

bool ClockSetup::Form_Load() {
    const QString note = m_client.refusalNow(QStringLiteral("Setup"));
    if (!note.isEmpty()) {
        m_client.note(note);
        return false;
    }
    m_open = true;
    ShowPcTime = false;
    ShowMeterTime = false;
    m_lease = m_client.lease(QStringLiteral("Setup"), session::pollPaused(), true,
                             QStringLiteral("with the clock window"));
    m_lease->onRefused([this] {
        Form_Unload();
        Q_EMIT unloadRequested();
    });
    // Takes the meter now: the live poll stops while the window is open.
    m_lease->exchange([](session::Exchange&) {}, this, [] {});
    Q_EMIT meterTimeShown(kMeterTimeCaption);
    Q_EMIT pcTimeShown(kPcTimeCaption);
    Timer1.start();
    return true;
}

void ClockSetup::Form_Unload() {
    if (!m_open)
        return;
    m_open = false;
    Timer1.stop();
    // The live poll is on again however the window closes.
    if (m_lease)
        m_lease->release();
    m_lease.reset();
}

void ClockSetup::LblMeterTime_Click() {
    ShowMeterTime = !ShowMeterTime;
    if (ShowMeterTime)
        scheduleExchange();
    else
        Q_EMIT meterTimeShown(kMeterTimeCaption);
}

void ClockSetup::LblPCTime_Click() {
    ShowPcTime = !ShowPcTime;
    showPcTime();
}

void ClockSetup::Timer1_Timer() {
    if (!ShowMeterTime)
        Q_EMIT meterTimeShown(kMeterTimeCaption);
    showPcTime();
    scheduleExchange();
}

void ClockSetup::showPcTime() {
    Q_EMIT pcTimeShown(ShowPcTime ? recording::recordTimestamp(m_clock.now()) : kPcTimeCaption);
}

namespace {

// What one refresh learnt from the meter.
struct ClockRefresh {
    bool logging = false;
    bool asked = false;   // the clock was read
    bool stopped = false; // the program is closing
    std::optional<meter_link::MeterClock> clock;
};

ClockRefresh refreshOnSession(session::Exchange& exchange, bool showMeterTime) {
    ClockRefresh out;
    auto& protocol = exchange.protocol;
    auto& live = exchange.state.live;
    // With the live poll off, what the meter streamed meanwhile is the only
    // way to learn that it started logging.
    if (const auto logging = loggingBitOf(protocol.readAllWaiting()))
        live.MeterRecording = *logging;
    out.logging = live.MeterRecording;
    if (out.logging || !showMeterTime)
        return out;
    protocol.setGiveUpAfter(kClockReadLimitMs);
    out.clock = protocol.readMeterClock(kClockReplyWait);
    protocol.setGiveUpAfter(-1);
    out.asked = true;
    out.stopped = protocol.stopped();
    return out;
}

} // namespace

void ClockSetup::scheduleExchange() {
    if (m_exchangePending || !m_open || !m_lease)
        return;
    m_exchangePending = true;
    const int setCount = m_setCount;
    const bool showMeterTime = ShowMeterTime;
    // The read runs on the session's thread; the ticks here go on meanwhile,
    // keeping the computer's clock running, and find the read still pending
    // instead of starting another.
    m_lease->exchange(
        [showMeterTime](session::Exchange& exchange) {
            return refreshOnSession(exchange, showMeterTime);
        },
        this,
        [this, setCount](const ClockRefresh& refresh) {
            m_exchangePending = false;
            if (!m_open)
                return;
            if (refresh.logging) {
                Form_Unload();
                Q_EMIT unloadRequested();
                return;
            }
            if (!refresh.asked || refresh.stopped || setCount != m_setCount || !ShowMeterTime)
                return;
            if (!refresh.clock)
                ShowMeterTime = false;
            Q_EMIT meterTimeShown(ShowMeterTime && refresh.clock ? refresh.clock->text()
                                                                 : kMeterTimeCaption);
            showPcTime();
        });
}

void ClockSetup::CmdSetTime_Click() {
    if (!m_lease)
        return;
    Timer1.stop();
    ++m_setCount;
    // Every field from one reading of the computer's clock, taken when the
    // meter is ready for it: a second or a midnight cannot fall in between.
    m_lease->exchange(
        [](session::Exchange& exchange) {
            auto& protocol = exchange.protocol;
            protocol.setGiveUpAfter(kClockReadLimitMs);
            protocol.setMeterClock(protocol.clock().now());
            protocol.setGiveUpAfter(-1);
            return protocol.stopped();
        },
        this,
        [this](bool stopped) {
            if (m_open && !stopped)
                Timer1.start();
        });
}

} // namespace quadtherm::clock_keypad
