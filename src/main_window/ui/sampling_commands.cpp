#include "main_window/ui/sampling_commands.h"

#include "main_window/sampling.h"
#include "widgets/user_dialogs.h"

namespace quadtherm::main_window {

namespace {

const QString kIntervalTitle = QStringLiteral("Input Sampling Time");
// How long the meter may take to frame its interval reply.
constexpr int kIntervalReadLimitMs = 5000;

QString intervalPrompt(int maximum) {
    return QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= %1 ) ").arg(maximum);
}

} // namespace

SamplingCommands::SamplingCommands(session::SessionClient& client, shared::SamplingChoice& sampling,
                                   widgets::UserDialogs& dialogs, QWidget* window)
    : m_client(client), m_sampling(sampling), m_dialogs(dialogs), m_window(window) {}

void SamplingCommands::run() {
    widgets::UserDialogs::Choice choice;
    choice.title = QStringLiteral("Sampling Rate");
    choice.objectName = QStringLiteral("SamplingChoice");
    choice.options = {QStringLiteral("Meter Sampling Rate"), QStringLiteral("PC Sampling Rate")};
    choice.optionNames = {QStringLiteral("OptMeter"), QStringLiteral("OptPC")};
    choice.current = m_sampling.SamplingOnPc ? 1 : 0;
    choice.offset = QPoint(53, 67); // 800 × 1000 twips from the main window's corner
    // Closed without OK: the previous choice stands.
    if (const auto chosen = m_dialogs.choose(m_window, choice))
        m_sampling.SamplingOnPc = *chosen == 1;
    if (m_sampling.SamplingOnPc)
        pcSampling();
    else
        meterSampling();
}

void SamplingCommands::pcSampling() {
    for (;;) {
        const QString answer =
            m_dialogs.input(m_window, intervalPrompt(kPcIntervalMax), kIntervalTitle,
                            QString::number(m_client.mirror().pcSamplingSeconds));
        if (answer.isEmpty())
            return;
        if (isMemorySizeCode(answer)) {
            memorySizeService();
            return;
        }
        // Anything but a number asks again.
        if (const auto seconds = intervalFromAnswer(answer, kPcIntervalMax)) {
            m_client.setPcSampling(*seconds);
            return;
        }
    }
}

void SamplingCommands::meterSampling() {
    auto lease = m_client.lease(QStringLiteral("The sampling interval"), session::pollPaused(),
                                true, QStringLiteral("with its sampling interval"));
    lease->exchange(
        [](session::Exchange& exchange) {
            // The meter repeats its interval request until a framed reply
            // comes; a meter that never frames one must not hold the
            // session for ever.
            exchange.protocol.setGiveUpAfter(kIntervalReadLimitMs);
            const auto current = exchange.protocol.readMeterInterval();
            exchange.protocol.setGiveUpAfter(-1);
            return current;
        },
        m_window,
        [this, lease](std::optional<int> current) {
            if (!current) {
                lease->release();
                return;
            }
            m_sampling.MeterSamplingSeconds = *current;
            askMeterInterval(lease);
        });
}

void SamplingCommands::askMeterInterval(
    const std::shared_ptr<session::SessionClient::Lease>& lease) {
    for (;;) {
        const QString answer =
            m_dialogs.input(m_window, intervalPrompt(kMeterIntervalMax), kIntervalTitle,
                            QString::number(m_sampling.MeterSamplingSeconds));
        if (answer.isEmpty()) {
            lease->release();
            return;
        }
        if (isMemorySizeCode(answer)) {
            lease->release();
            memorySizeService();
            return;
        }
        if (const auto seconds = intervalFromAnswer(answer, kMeterIntervalMax)) {
            const int t = *seconds;
            m_sampling.MeterSamplingSeconds = t;
            lease->exchange(
                [t](session::Exchange& exchange) { exchange.protocol.setMeterInterval(t); },
                m_window, [lease] { lease->release(); });
            return;
        }
    }
}

void SamplingCommands::memorySizeService() {
    auto lease = m_client.lease(QStringLiteral("The memory size"), session::pollAndCyclePaused(),
                                true, QStringLiteral("with its memory size"));
    lease->exchange(
        [](session::Exchange& exchange) {
            exchange.protocol.readAllWaiting();
            const auto code = exchange.protocol.readMemorySize();
            if (code)
                exchange.state.recording.MemorySizeCode = *code;
            return code;
        },
        m_window,
        [this, lease](std::optional<int> code) {
            if (!code) {
                lease->release();
                return;
            }
            const QString answer = m_dialogs.input(
                m_window, QStringLiteral("Update Rom No.s\r\n(Rom No.s = 1,2,4,8) "),
                QStringLiteral("Input Rom No.s"), QString::number(*code));
            const int size = memorySizeFromAnswer(answer);
            if (size == 0) {
                lease->release();
                return;
            }
            lease->exchange(
                [size](session::Exchange& exchange) { exchange.protocol.setMemorySize(size); },
                m_window, [lease] { lease->release(); });
        });
}

} // namespace quadtherm::main_window
