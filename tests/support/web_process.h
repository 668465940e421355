#pragma once

// Real programs for the web server's end-to-end suites, each in a child
// process on the loopback address and stopped by its process id: quadtherm-cli
// or quadtherm serving --listen, a Prometheus server, headless Chromium.
// Header only: QUADTHERM_CLI_PATH is defined per suite.

#include "support/http_client.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>

namespace quadtherm::test {

// A port nobody listens on now, for a program that must be told its port.
inline quint16 freeLoopbackPort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// A program that serves --listen and says where on standard error.
class ListeningProgram {
public:
    ListeningProgram(
        const QString& program, const QStringList& args,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
        m_process.setProcessEnvironment(environment);
        m_process.start(program, args);
    }
    ~ListeningProgram() { stop(); }
    ListeningProgram(const ListeningProgram&) = delete;
    ListeningProgram& operator=(const ListeningProgram&) = delete;

    // Until "serving http://ADDRESS:PORT/" comes.
    bool waitUntilServing(int timeoutMs = 15000) {
        static const QRegularExpression serving(QStringLiteral("serving http://(.+):(\\d+)/"));
        return QTest::qWaitFor(
                   [&] {
                       m_err += m_process.readAllStandardError();
                       const auto match = serving.match(QString::fromUtf8(m_err));
                       if (match.hasMatch())
                           m_port = quint16(match.captured(2).toUInt());
                       return m_port != 0 || m_process.state() == QProcess::NotRunning;
                   },
                   timeoutMs) &&
               m_port != 0;
    }
    // Until /api/live has the four channels.
    bool waitForReadings(int timeoutMs = 20000) {
        return QTest::qWaitFor(
            [&] { return httpGet(m_port, "/api/live").body.contains("\"channel\":\"T4\""); },
            timeoutMs);
    }
    quint16 port() const { return m_port; }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }
    QByteArray err() {
        m_err += m_process.readAllStandardError();
        return m_err;
    }
    QByteArray out() { return m_process.readAllStandardOutput(); }
    // SIGTERM; the exit status, or -1 when it did not end.
    int stop() {
        if (m_process.state() == QProcess::NotRunning)
            return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        ::kill(pid_t(m_process.processId()), SIGTERM);
        // A sanitizer build beside other suites on two cores can take its
        // time to tear down; a program that does not end at all still fails.
        if (!m_process.waitForFinished(30000)) {
            m_process.kill();
            m_process.waitForFinished();
            return -1;
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QProcess m_process;
    QByteArray m_err;
    quint16 m_port = 0;
};

// Headless Chromium kept off every network but the loopback: no background
// services, no DNS (the page is asked for by address), a profile of its own.
class HeadlessChromium {
public:
    HeadlessChromium() {
        QDir(m_home.path()).mkdir(QStringLiteral("run"));
        QFile::setPermissions(m_home.filePath(QStringLiteral("run")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The page's DOM once its scripts ran for `virtualMs` of the page's time;
    // `whileWaiting` runs about every 100 ms meanwhile.
    QByteArray dumpDom(const QString& url, int virtualMs,
                       const std::function<void()>& whileWaiting = {}) {
        return run({QStringLiteral("--virtual-time-budget=%1").arg(virtualMs),
                    QStringLiteral("--dump-dom"), url},
                   whileWaiting);
    }
    // A screenshot of `width` x `height` CSS pixels into `path`.
    bool screenshot(const QString& url, int width, int height, const QString& path,
                    int virtualMs = 4000) {
        QFile::remove(path);
        run({QStringLiteral("--virtual-time-budget=%1").arg(virtualMs),
             QStringLiteral("--hide-scrollbars"), QStringLiteral("--force-device-scale-factor=1"),
             QStringLiteral("--window-size=%1,%2").arg(width).arg(height),
             QStringLiteral("--screenshot=%1").arg(path), url});
        return QFile::exists(path);
    }

private:
    QByteArray run(const QStringList& args, const std::function<void()>& whileWaiting = {}) {
        QProcess chromium;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                           m_home.filePath(QStringLiteral("run")));
        chromium.setProcessEnvironment(environment);
        chromium.setWorkingDirectory(m_home.path());
        const QStringList quiet{
            QStringLiteral("--headless"),
            QStringLiteral("--no-sandbox"),
            QStringLiteral("--disable-gpu"),
            QStringLiteral("--no-first-run"),
            QStringLiteral("--no-default-browser-check"),
            QStringLiteral("--disable-background-networking"),
            QStringLiteral("--disable-component-update"),
            QStringLiteral("--disable-domain-reliability"),
            QStringLiteral("--disable-sync"),
            QStringLiteral("--disable-extensions"),
            QStringLiteral("--no-pings"),
            QStringLiteral("--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"),
            QStringLiteral("--user-data-dir=%1").arg(m_home.filePath(QStringLiteral("profile"))),
        };
        chromium.start(QStringLiteral("chromium"), quiet + args);
        if (!chromium.waitForStarted(10000))
            return {};
        QElapsedTimer since;
        since.start();
        [[maybe_unused]] const bool ended = QTest::qWaitFor(
            [&] {
                if (whileWaiting && since.elapsed() >= 100) {
                    since.restart();
                    whileWaiting();
                }
                return chromium.state() == QProcess::NotRunning;
            },
            60000);
        if (chromium.state() != QProcess::NotRunning) {
            chromium.kill();
            chromium.waitForFinished();
        }
        return chromium.readAllStandardOutput();
    }

    QTemporaryDir m_home;
};

} // namespace quadtherm::test
