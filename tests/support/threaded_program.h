#pragma once

// The desktop program's parts for the suites that run the meter session on
// its own thread: the session on its thread with the simulated meter at the
// line's real pace, the real clock, and the windows' client of it on the
// test's thread; and when each record reached the disk.

#include "session/meter_session.h"
#include "session/session_client.h"
#include "session/session_thread.h"
#include "shared/clock.h"
#include "shared/view_state.h"
#include "sim/simulated_serial_port.h"
#include "support/scripted_dialogs.h"

#include <QFile>
#include <QMutex>
#include <QTest>

#include <functional>
#include <memory>

namespace quadtherm::test {

// The desktop program's parts: the session on its thread with the simulated
// meter, and the windows' client of it here.
struct Program {
    shared::SystemClock clock;
    shared::RunState state;
    shared::ViewState view;
    ScriptedDialogs dialogs;
    sim::SimulatedSerialPort* port = nullptr; // lives on the session's thread
    std::unique_ptr<session::SessionThread> thread;
    std::unique_ptr<session::SessionClient> client;

    // `setUp` prepares the simulated meter on the session's thread.
    explicit Program(std::function<void(sim::SimulatedMeter&)> setUp = {}) {
        thread = std::make_unique<session::SessionThread>(
            clock, state, [this, setUp]() -> std::unique_ptr<meter_link::SerialPort> {
                auto made = std::make_unique<sim::SimulatedSerialPort>(clock);
                if (setUp)
                    setUp(made->meter());
                port = made.get();
                return made;
            });
        client = std::make_unique<session::SessionClient>(thread->session(), clock);
    }
    ~Program() {
        thread.reset();
        client.reset();
    }
    bool open() { return thread->openPort(); }
    // Up, with the displays set up for the channels.
    bool comeUp(int timeoutMs = 15000) {
        bool up = false;
        const auto heard = QObject::connect(client.get(), &session::SessionClient::channelsChanged,
                                            client.get(), [&] { up = true; });
        client->start();
        const bool cameUp = QTest::qWaitFor([&] { return up; }, timeoutMs);
        QObject::disconnect(heard);
        return cameUp;
    }
};

// When each record reached the disk, on the session's own thread.
class RecordTimes {
public:
    explicit RecordTimes(Program& program) : m_clock(program.clock) {
        QObject::connect(
            &program.thread->session(), &session::MeterSession::recordWritten,
            &program.thread->session(),
            [this](qint64 number, const QString&, const shared::PerChannel<QString>& texts) {
                const QMutexLocker lock(&m_mutex);
                m_numbers << number;
                m_atMs << m_clock.elapsedMs();
                m_t1 << texts[0];
            },
            Qt::DirectConnection);
    }
    QList<qint64> numbers() const {
        const QMutexLocker lock(&m_mutex);
        return m_numbers;
    }
    QList<qint64> atMs() const {
        const QMutexLocker lock(&m_mutex);
        return m_atMs;
    }
    QStringList t1() const {
        const QMutexLocker lock(&m_mutex);
        return m_t1;
    }
    // Every record n within `slackMs` of the first one's time plus n - 1 seconds.
    QString lateness(qint64 slackMs) const {
        const auto at = atMs();
        for (qsizetype i = 1; i < at.size(); ++i) {
            const qint64 off = at[i] - at[0] - i * 1000;
            if (off > slackMs || off < -slackMs)
                return QStringLiteral("record %1 is %2 ms off its second").arg(i + 1).arg(off);
        }
        return {};
    }

private:
    shared::Clock& m_clock;
    mutable QMutex m_mutex;
    QList<qint64> m_numbers;
    QList<qint64> m_atMs;
    QStringList m_t1;
};

inline bool startRecording(Program& program, const QString& path) {
    bool started = false;
    QObject context;
    program.client->startRecording(path, &context, [&](bool ok, const QString&) { started = ok; });
    return QTest::qWaitFor([&] { return started; }, 5000);
}

inline QList<QByteArray> recordLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeFirst(); // the heading
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace quadtherm::test
