#include "clock_keypad/clock_setup.h"

#include "meter_link/frame_scanner.h"
#include "meter_link/live_reading.h"
#include "meter_link/meter_protocol.h"
#include "recording/data_file.h"
#include "session/meter_session.h"

#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

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

ClockSetup::ClockSetup(session::MeterSession& session, QObject* parent)
    : QObject(parent), Timer1(session.clock(), kClockRefreshMs, [this] { Timer1_Timer(); }),
      m_session(session), m_protocol(session.protocol()), m_clock(session.clock()) {}

ClockSetup::~ClockSetup() {
    Form_Unload();
}

void ClockSetup::Form_Load() {
    m_open = true;
    ShowPcTime = false;
    ShowMeterTime = false;
    m_session.Timer1.stop();
    Q_EMIT meterTimeShown(kMeterTimeCaption);
    Q_EMIT pcTimeShown(kPcTimeCaption);
    Timer1.start();
}

void ClockSetup::Form_Unload() {
    if (!m_open)
        return;
    m_open = false;
    Timer1.stop();
    // Not while the program closes: its session has stopped for good.
    if (!m_protocol.stopped() || m_protocol.interrupted())
        session::MeterSession::enable(m_session.Timer1);
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

void ClockSetup::scheduleExchange() {
    if (m_exchangePending || !m_open)
        return;
    m_exchangePending = true;
    const int setCount = m_setCount;
    // Asked for from the event loop, so this tick returns at once: the next
    // ones keep the computer's clock running while the meter takes its time,
    // and find the read still pending instead of starting another.
    QTimer::singleShot(0, this, [this, setCount] {
        m_session.runExchange([self = QPointer<ClockSetup>(this), setCount] {
            if (self)
                self->refresh(setCount);
        });
    });
}

void ClockSetup::refresh(int setCount) {
    const auto done = qScopeGuard([this] { m_exchangePending = false; });
    if (!m_open)
        return;
    // Off while the window is open, even after a rebuilt link turned it on.
    m_session.Timer1.stop();

    // With the live poll off, what the meter streamed meanwhile is the only
    // way to learn that it started logging.
    auto& live = m_session.state().live;
    if (const auto logging = loggingBitOf(m_protocol.readAllWaiting()))
        live.MeterRecording = *logging;
    if (live.MeterRecording) {
        Form_Unload();
        Q_EMIT unloadRequested();
        return;
    }
    if (!ShowMeterTime)
        return;

    m_protocol.setGiveUpAfter(kClockReadLimitMs);
    const auto meterClock = m_protocol.readMeterClock(kClockReplyWait);
    m_protocol.setGiveUpAfter(-1);
    if (m_protocol.stopped() || !m_open || setCount != m_setCount)
        return;
    if (!meterClock)
        ShowMeterTime = false;
    Q_EMIT meterTimeShown(ShowMeterTime && meterClock ? meterClock->text() : kMeterTimeCaption);
    showPcTime();
}

void ClockSetup::CmdSetTime_Click() {
    Timer1.stop();
    ++m_setCount;
    m_session.runExchange([self = QPointer<ClockSetup>(this)] {
        if (self)
            self->setMeterClock();
    });
}

void ClockSetup::setMeterClock() {
    // Asked for before the window closed: the meter is set all the same.
    if (m_open)
        m_session.Timer1.stop();
    // Every field from one reading of the computer's clock, taken when the
    // meter is ready for it: a second or a midnight cannot fall in between.
    m_protocol.setGiveUpAfter(kClockReadLimitMs);
    m_protocol.setMeterClock(m_clock.now());
    m_protocol.setGiveUpAfter(-1);
    if (m_open && !m_protocol.stopped())
        Timer1.start();
}

} // namespace quadtherm::clock_keypad
