#include "cli/console.h"

#include "cli/signal_watch.h"

#include <unistd.h>

namespace quadtherm::cli {

namespace {

// About a thousand record lines: a terminal held with Ctrl-S for a quarter
// of an hour loses nothing at one record a second.
constexpr qsizetype kOutCapacity = 64 * 1024;
constexpr qsizetype kErrCapacity = 16 * 1024;
constexpr int kPollMs = 20;
constexpr qint64 kStallLimitMs = 1000;
// After Ctrl-C the output that still moves is let out, but a reader that
// has stopped does not hold the program past the promised tenth of a second.
constexpr qint64 kStallLimitAfterSignalMs = 100;

} // namespace

Console::Console(shared::Clock& clock, const SignalWatch& signalWatch)
    : m_clock(clock), m_signals(signalWatch), m_out(STDOUT_FILENO, kOutCapacity),
      m_err(STDERR_FILENO, kErrCapacity) {}

void Console::print(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (m_when == WhenBlocked::Wait) {
        while (!m_out.hasRoom(bytes.size()) && m_signals.count() == 0)
            m_clock.sleep(kPollMs);
        m_out.push(bytes);
        return;
    }
    if (m_out.broken() && !m_toldBroken) {
        m_toldBroken = true;
        error(QStringLiteral("standard output was closed: lines are no longer printed"));
    }
    if (!m_out.push(bytes)) {
        if (m_notPrinted++ == 0)
            error(QStringLiteral("standard output is not being read: lines are dropped "
                                 "until it is"));
    } else if (m_notPrinted > 0) {
        error(QStringLiteral("%1 lines were not printed").arg(m_notPrinted));
        m_notPrinted = 0;
    }
}

void Console::error(const QString& message) {
    errorText(QStringLiteral("quadtherm-cli: ") + message + u'\n');
}

void Console::errorText(const QString& text) {
    m_err.push(text.toUtf8());
}

void Console::finish() {
    if (m_notPrinted > 0)
        error(QStringLiteral("%1 lines were not printed").arg(m_notPrinted));
    m_notPrinted = 0;
    const int signalsBefore = m_signals.count();
    qsizetype lastPending = -1;
    qint64 progressAt = m_clock.elapsedMs();
    for (;;) {
        const qsizetype pending = m_out.pending() + m_err.pending();
        if (pending == 0)
            return;
        const qint64 now = m_clock.elapsedMs();
        if (pending != lastPending) {
            lastPending = pending;
            progressAt = now;
        }
        qint64 limit = -1;
        if (m_signals.count() > signalsBefore)
            limit = 0;
        else if (m_signals.count() > 0)
            limit = kStallLimitAfterSignalMs;
        else if (m_when == WhenBlocked::Drop)
            limit = kStallLimitMs;
        if (limit >= 0 && now - progressAt >= limit)
            return;
        m_clock.sleep(kPollMs);
    }
}

} // namespace quadtherm::cli
