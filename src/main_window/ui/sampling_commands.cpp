#include "main_window/ui/sampling_commands.h"

#include "main_window/sampling.h"
#include "widgets/user_dialogs.h"

#include <QScopeGuard>

namespace quadtherm::main_window {

namespace {

const QString kIntervalTitle = QStringLiteral("Input Sampling Time");
// How long the meter may take to frame its interval reply.
constexpr int kIntervalReadLimitMs = 5000;

QString intervalPrompt(int maximum) {
    return QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= %1 ) ").arg(maximum);
}

} // namespace

SamplingCommands::SamplingCommands(session::MeterSession& session, widgets::UserDialogs& dialogs,
                                   QWidget* window)
    : m_session(session), m_state(session.state()), m_protocol(session.protocol()),
      m_dialogs(dialogs), m_window(window) {}

void SamplingCommands::run() {
    widgets::UserDialogs::Choice choice;
    choice.title = QStringLiteral("Sampling Rate");
    choice.objectName = QStringLiteral("SamplingChoice");
    choice.options = {QStringLiteral("Meter Sampling Rate"), QStringLiteral("PC Sampling Rate")};
    choice.optionNames = {QStringLiteral("OptMeter"), QStringLiteral("OptPC")};
    choice.current = m_state.recording.SamplingOnPc ? 1 : 0;
    choice.offset = QPoint(53, 67); // 800 × 1000 twips from the main window's corner
    // Closed without OK: the previous choice stands.
    if (const auto chosen = m_dialogs.choose(m_window, choice))
        m_state.recording.SamplingOnPc = *chosen == 1;
    if (m_state.recording.SamplingOnPc)
        pcSampling();
    else
        m_session.runExchange([this] { meterSampling(); });
}

void SamplingCommands::pcSampling() {
    auto& recording = m_state.recording;
    for (;;) {
        const QString answer =
            m_dialogs.input(m_window, intervalPrompt(kPcIntervalMax), kIntervalTitle,
                            QString::number(recording.PcSamplingSeconds));
        if (answer.isEmpty())
            return;
        if (isMemorySizeCode(answer)) {
            m_session.runExchange([this] { memorySizeService(); });
            return;
        }
        // Anything but a number asks again.
        if (const auto seconds = intervalFromAnswer(answer, kPcIntervalMax)) {
            recording.PcSamplingSeconds = static_cast<float>(*seconds);
            recording.PcSamplingTick = 0;
            session::MeterSession::enable(m_session.Timer1);
            return;
        }
    }
}

void SamplingCommands::meterSampling() {
    auto& recording = m_state.recording;
    m_session.Timer1.stop();
    const auto restart = qScopeGuard([this] {
        if (!m_protocol.stopped())
            session::MeterSession::enable(m_session.Timer1);
    });
    // The meter repeats its interval request until a framed reply comes; a
    // meter that never frames one must not hold the window for ever.
    m_protocol.setGiveUpAfter(kIntervalReadLimitMs);
    const auto current = m_protocol.readMeterInterval();
    m_protocol.setGiveUpAfter(-1);
    if (!current)
        return;
    recording.MeterSamplingSeconds = *current;
    for (;;) {
        const QString answer =
            m_dialogs.input(m_window, intervalPrompt(kMeterIntervalMax), kIntervalTitle,
                            QString::number(recording.MeterSamplingSeconds));
        if (answer.isEmpty())
            return;
        if (isMemorySizeCode(answer)) {
            memorySizeService();
            return;
        }
        if (const auto seconds = intervalFromAnswer(answer, kMeterIntervalMax)) {
            m_protocol.setMeterInterval(*seconds);
            recording.MeterSamplingSeconds = *seconds;
            return;
        }
    }
}

void SamplingCommands::memorySizeService() {
    m_session.Timer1.stop();
    m_session.Timer2.stop();
    const auto restart = qScopeGuard([this] {
        if (!m_protocol.stopped()) {
            session::MeterSession::enable(m_session.Timer1);
            session::MeterSession::enable(m_session.Timer2);
        }
    });
    m_protocol.readAllWaiting();
    const auto code = m_protocol.readMemorySize();
    if (!code)
        return;
    m_state.recording.MemorySizeCode = *code;
    const QString answer =
        m_dialogs.input(m_window, QStringLiteral("Update Rom No.s\r\n(Rom No.s = 1,2,4,8) "),
                        QStringLiteral("Input Rom No.s"), QString::number(*code));
    const int size = memorySizeFromAnswer(answer);
    if (size != 0)
        m_protocol.setMemorySize(size);
}

} // namespace quadtherm::main_window
