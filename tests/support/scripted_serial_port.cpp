#include "support/scripted_serial_port.h"

#include <algorithm>
#include <cmath>

namespace quadtherm::test {

ScriptedSerialPort::ScriptedSerialPort(FakeClock& clock, QObject* parent)
    : SerialPort(parent), m_clock(clock) {
    m_clock.addWakeSource([this] { return nextDueMs(); });
}

void ScriptedSerialPort::arrive(const QByteArray& bytes, qint64 afterMs) {
    m_pending.append({m_clock.elapsedMs() + afterMs, bytes});
}

void ScriptedSerialPort::answer(const QByteArray& request, const QByteArray& reply,
                                qint64 afterMs) {
    m_rules.removeIf([&](const Rule& r) { return r.request == request; });
    m_rules.append({request, reply, afterMs, {}});
}

void ScriptedSerialPort::onWrite(const QByteArray& request, std::function<void()> action) {
    m_rules.removeIf([&](const Rule& r) { return r.request == request; });
    m_rules.append({request, {}, 0, std::move(action)});
}

void ScriptedSerialPort::stream(const QByteArray& pattern, double bytesPerMs, qsizetype phase) {
    m_pattern = pattern;
    m_bytesPerMs = bytesPerMs;
    m_patternPos = pattern.isEmpty() ? 0 : phase % pattern.size();
    m_streamMs = m_clock.elapsedMs();
    m_streamBytes = 0;
}

int ScriptedSerialPort::countWrites(const QByteArray& bytes) const {
    return static_cast<int>(std::count(m_writes.begin(), m_writes.end(), bytes));
}

void ScriptedSerialPort::loseDevice() {
    m_open = false;
    Q_EMIT deviceLost();
}

bool ScriptedSerialPort::setSettings(const QString& settings) {
    meter_link::LineSettings parsed;
    if (!meter_link::parseSettings(settings, parsed))
        return false;
    m_settings = settings;
    return true;
}

bool ScriptedSerialPort::open() {
    ++m_openCount;
    if (m_openFails) {
        m_error = QStringLiteral("No such device");
        return false;
    }
    m_open = true;
    return true;
}

void ScriptedSerialPort::produceStreamUntil(qint64 ms) {
    if (m_pattern.isEmpty()) {
        m_streamMs = ms;
        return;
    }
    // One chunk per millisecond, as an adapter hands over what it received.
    for (qint64 t = m_streamMs + 1; t <= ms; ++t) {
        if (t <= m_streamPausedUntil)
            continue;
        m_streamBytes += m_bytesPerMs;
        const auto whole = static_cast<qsizetype>(std::floor(m_streamBytes));
        if (whole == 0)
            continue;
        m_streamBytes -= static_cast<double>(whole);
        QByteArray chunk;
        for (qsizetype i = 0; i < whole; ++i) {
            chunk.append(m_pattern[m_patternPos]);
            m_patternPos = (m_patternPos + 1) % m_pattern.size();
        }
        m_pending.append({t, chunk});
    }
    m_streamMs = std::max(m_streamMs, ms);
}

std::optional<qint64> ScriptedSerialPort::nextDueMs() const {
    std::optional<qint64> next;
    for (const auto& a : m_pending)
        if (!next || a.dueMs < *next)
            next = a.dueMs;
    if (!m_pattern.isEmpty()) {
        const qint64 streamNext = m_streamMs + 1;
        if (!next || streamNext < *next)
            next = streamNext;
    }
    return next;
}

QByteArray ScriptedSerialPort::readAll() {
    const qint64 now = m_clock.elapsedMs();
    produceStreamUntil(now);
    std::stable_sort(m_pending.begin(), m_pending.end(),
                     [](const Arrival& a, const Arrival& b) { return a.dueMs < b.dueMs; });
    QByteArray out;
    while (!m_pending.isEmpty() && m_pending.first().dueMs <= now)
        out += m_pending.takeFirst().bytes;
    return m_open ? out : QByteArray();
}

bool ScriptedSerialPort::write(const QByteArray& bytes) {
    if (!m_open)
        return false;
    produceStreamUntil(m_clock.elapsedMs());
    m_writes.append(bytes);
    if (m_pauseOnWriteMs > 0)
        m_streamPausedUntil = m_clock.elapsedMs() + m_pauseOnWriteMs;
    const QList<Rule> rules = m_rules; // an action may change the rules
    for (const auto& rule : rules) {
        if (rule.request != bytes)
            continue;
        if (rule.action)
            rule.action();
        else
            arrive(rule.reply, rule.afterMs);
    }
    return true;
}

void ScriptedSerialPort::discardInput() {
    readAll();
}

} // namespace quadtherm::test
