#pragma once

// quadtherm-cli in a child process, for the end-to-end suites: runs of the
// tool, a recording in progress, the checks of the data files it leaves, a
// pipe nobody reads and a meter played by the test on a pseudo-terminal.
// Header only: QUADTHERM_CLI_PATH is defined per suite.

#include "support/meter_sim_process.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quadtherm::test {

inline const QByteArray kHeadingKKJT("\xB0"
                                     "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n");

struct Run {
    int exitCode = -1;
    QString out, err;
    qint64 ms = 0;
};

// `inChild` runs in the child before the tool starts (a file size limit).
inline Run cli(const QStringList& args, const std::function<void()>& inChild = {}) {
    QProcess p;
    if (inChild)
        p.setChildProcessModifier(inChild);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(QUADTHERM_CLI_PATH), args);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.ms = t.elapsed();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline QString describe(const Run& r) {
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(r.exitCode).arg(r.out, r.err);
}

// Every request a --verbose simulator received, one hex line each ("57 00 01 00").
inline QStringList requests(MeterSimProcess& sim) {
    QTest::qWait(150); // the log line follows the last byte
    static const QRegularExpression line(
        QStringLiteral("s\\s+([0-9A-Fa-f]{2}(?: [0-9A-Fa-f]{2})*)"));
    QStringList lines;
    for (auto it = line.globalMatch(sim.readLog()); it.hasNext();)
        lines.append(it.next().captured(1).toUpper());
    return lines;
}

// A recording in progress; its standard output is one line per record.
class Recording {
public:
    // `stdoutFd`: the child's standard output instead of a pipe the test reads.
    Recording(const MeterSimProcess& sim, const QStringList& args, int stdoutFd = -1) {
        if (stdoutFd >= 0)
            m_process.setChildProcessModifier([stdoutFd] { ::dup2(stdoutFd, STDOUT_FILENO); });
        m_process.start(QStringLiteral(QUADTHERM_CLI_PATH),
                        QStringList{"--port", sim.device(), "--timeout", "5", "record"} + args);
        m_process.waitForStarted(5000);
    }
    ~Recording() {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool waitForRecords(int n) {
        while (m_process.state() == QProcess::Running && m_out.count('\n') < n)
            if (m_process.waitForReadyRead(10000))
                m_out += m_process.readAllStandardOutput();
            else
                return false;
        return m_out.count('\n') >= n;
    }
    int finish() {
        if (!m_process.waitForFinished(30000))
            return -1;
        m_out += m_process.readAllStandardOutput();
        m_err = m_process.readAllStandardError();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    void terminate() { m_process.terminate(); }
    void interrupt() { ::kill(pid_t(m_process.processId()), SIGINT); }
    QStringList lines() const { return QString::fromLatin1(m_out).split('\n', Qt::SkipEmptyParts); }
    QString err() const { return QString::fromUtf8(m_err); }

private:
    QProcess m_process;
    QByteArray m_out, m_err;
};

inline QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every line of a data file after its heading (by default its first line):
// complete, numbered from `first`, six cells each followed by a TAB, stamped a
// second apart. A single line saying what is wrong otherwise.
inline QStringList checkRecords(const QByteArray& file, QByteArray heading = {}, int first = 1) {
    if (heading.isEmpty())
        heading = file.left(file.indexOf('\n') + 1);
    if (!file.startsWith(heading) || !file.endsWith("\t\r\n"))
        return {QStringLiteral("bad heading or unfinished line: ") + QString::fromLatin1(file)};
    static const QRegularExpression record(QStringLiteral(
        R"(^(\d+)\t(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)(\t(- - -|Over|Under|-?\d*\.\d)){4}\t$)"));
    QStringList records;
    QDateTime previous;
    for (const QByteArray& line : file.mid(heading.size()).split('\n')) {
        if (line.isEmpty())
            continue;
        const QString text = QString::fromLatin1(line);
        const auto m = record.match(text.chopped(1));
        if (!line.endsWith('\r') || !m.hasMatch() ||
            m.captured(1).toInt() != first + records.size())
            return {QStringLiteral("bad record line: ") + text};
        const QDateTime at = QDateTime::fromString(m.captured(2), "yyyy/MM/dd HH:mm:ss");
        if (previous.isValid() && qAbs(previous.secsTo(at) - 1) > 1)
            return {QStringLiteral("records not a second apart: ") + text};
        previous = at;
        records.append(text.chopped(2));
    }
    return records;
}

// A pipe that nobody reads, its 4096-byte buffer full: a terminal held with
// Ctrl-S, or a pager left on a page.
class BlockedPipe {
public:
    BlockedPipe() {
        if (::pipe2(m_fds, O_CLOEXEC) != 0)
            return;
        ::fcntl(m_fds[1], F_SETPIPE_SZ, 4096);
        ::fcntl(m_fds[1], F_SETFL, O_NONBLOCK);
        const char byte = 'x';
        while (::write(m_fds[1], &byte, 1) == 1) {
        }
        // The child inherits the open file: it must block, as a terminal's does.
        ::fcntl(m_fds[1], F_SETFL, 0);
    }
    ~BlockedPipe() {
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }
    int writeEnd() const { return m_fds[1]; }

private:
    int m_fds[2] = {-1, -1};
};

// A meter played by the test on a pseudo-terminal: it answers every status
// exchange, and each power-off request with the next scripted reply (the
// last one again once they run out).
class PtyMeter {
public:
    explicit PtyMeter(QList<QByteArray> powerOffReplies) : m_replies(std::move(powerOffReplies)) {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_device = QString::fromLocal8Bit(::ptsname(m_master));
        // Held open, raw, so that the master never reads end-of-file between
        // the test and the tool.
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw{};
        ::tcgetattr(m_slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_slave, TCSANOW, &raw);
        m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { answer(); });
    }
    ~PtyMeter() {
        m_notifier.reset();
        ::close(m_slave);
        ::close(m_master);
    }
    QString device() const { return m_device; }

private:
    void answer() {
        char bytes[256];
        const ssize_t n = ::read(m_master, bytes, sizeof bytes);
        if (n > 0)
            m_pending.append(bytes, n);
        while (!m_pending.isEmpty()) {
            QByteArray reply;
            if (m_pending.startsWith('A')) {
                reply = QByteArray("\x02\x00\x20\x00\x00\xFF\x03", 7);
                m_pending.remove(0, 1);
            } else if (m_pending.startsWith('V')) {
                if (m_pending.size() < 4)
                    return;
                reply = m_replies[std::min(m_answered++, m_replies.size() - 1)];
                m_pending.remove(0, 4);
            } else {
                m_pending.remove(0, 1);
            }
            [[maybe_unused]] const ssize_t written = ::write(m_master, reply.data(), reply.size());
        }
    }

    QList<QByteArray> m_replies;
    qsizetype m_answered = 0;
    int m_master = -1;
    int m_slave = -1;
    QString m_device;
    QByteArray m_pending;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace quadtherm::test
