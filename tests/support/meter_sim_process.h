#pragma once

// quadtherm-meter-sim in a child process, for the end-to-end suites. Header
// only: QUADTHERM_SIM_PATH is defined per suite.

#include <QProcess>
#include <QTest>

#include <csignal>

namespace quadtherm::test {

class MeterSimProcess {
public:
    explicit MeterSimProcess(const QStringList& options = {}) {
        m_process.start(QStringLiteral(QUADTHERM_SIM_PATH), options);
        if (m_process.waitForStarted(5000))
            m_device = nextDevice();
    }
    ~MeterSimProcess() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    MeterSimProcess(const MeterSimProcess&) = delete;
    MeterSimProcess& operator=(const MeterSimProcess&) = delete;

    // The pseudo-terminal to open: the first line the tool prints.
    QString device() const { return m_device; }
    // The line the tool prints for the new device after unplug().
    QString nextDevice() {
        if (!QTest::qWaitFor([this] { return m_process.canReadLine(); }, 5000))
            return {};
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    void unplug() { ::kill(pid_t(m_process.processId()), SIGUSR1); }
    void pressCF() { ::kill(pid_t(m_process.processId()), SIGUSR2); }
    QString readLog() { return QString::fromUtf8(m_process.readAllStandardError()); }
    // SIGTERM: true when the tool ends cleanly with status 0.
    bool stop() {
        m_process.terminate();
        return m_process.waitForFinished(5000) && m_process.exitStatus() == QProcess::NormalExit &&
               m_process.exitCode() == 0;
    }

private:
    QProcess m_process;
    QString m_device;
};

} // namespace quadtherm::test
