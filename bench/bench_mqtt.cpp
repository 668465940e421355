// What publishing to MQTT costs a recording: the CPU time (user + system,
// from /proc) of `quadtherm-cli --simulate record` with --mqtt to a local
// mosquitto, against the same recording without, each measured over about
// 20 s once the first record is on disk; and with the web server of
// --listen on as well (no client). The first argument sets the seconds.
// Figures only; the goal is under 1 % of a core more.

#include "process_cpu.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using quadtherm::bench::cpuSeconds;

namespace {

quint16 freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

struct Figures {
    double tool = -1;   // % of one core
    double broker = -1; // % of one core
    qint64 records = 0;
};

qint64 linesIn(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
}

Figures measure(const QTemporaryDir& dir, const QStringList& extra, qint64 brokerPid, int seconds) {
    const QString out = dir.filePath(QStringLiteral("stdout-%1.txt").arg(extra.size()));
    QProcess tool;
    tool.setStandardOutputFile(out);
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(QStringLiteral(QUADTHERM_CLI_PATH),
               QStringList{"--simulate", "record", "--out", dir.filePath("run.4ch"), "--records",
                           "1000000"} +
                   extra);
    Figures figures;
    if (!tool.waitForStarted(5000))
        return figures;
    // Start-up (the link coming up) is not what is measured.
    QElapsedTimer waited;
    waited.start();
    while (linesIn(out) < 1 && waited.elapsed() < 20000)
        QThread::msleep(50);
    const qint64 firstRecords = linesIn(out);
    const double tool0 = cpuSeconds(tool.processId());
    const double broker0 = brokerPid > 0 ? cpuSeconds(brokerPid) : 0;
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(seconds);
    const double tool1 = cpuSeconds(tool.processId());
    const double broker1 = brokerPid > 0 ? cpuSeconds(brokerPid) : 0;
    const double elapsed = double(wall.elapsed()) / 1000.0;
    figures.records = linesIn(out) - firstRecords;
    tool.terminate();
    tool.waitForFinished(10000);
    if (tool0 >= 0 && tool1 >= 0)
        figures.tool = 100.0 * (tool1 - tool0) / elapsed;
    if (brokerPid > 0 && broker0 >= 0 && broker1 >= 0)
        figures.broker = 100.0 * (broker1 - broker0) / elapsed;
    return figures;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 20;
    QTemporaryDir dir;
    const quint16 port = freePort();
    QFile config(dir.filePath("mosquitto.conf"));
    if (!config.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "bench_mqtt: cannot write %s\n", qPrintable(config.fileName()));
        return 1;
    }
    config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n%2")
                     .arg(port)
                     .arg(::geteuid() == 0 ? "user root\n" : "")
                     .toUtf8());
    config.close();
    QProcess broker;
    broker.setStandardOutputFile(QProcess::nullDevice());
    broker.setStandardErrorFile(QProcess::nullDevice());
    broker.start(QStringLiteral("mosquitto"), {"-c", config.fileName()});
    if (!broker.waitForStarted(5000)) {
        std::fprintf(stderr, "bench_mqtt: cannot start mosquitto (scripts/setup installs it)\n");
        return 1;
    }
    QThread::msleep(300);

    std::printf("quadtherm-cli --simulate record, %d s each after the first record\n", seconds);
    const Figures without = measure(dir, {}, -1, seconds);
    const Figures with =
        measure(dir, {"--mqtt", QStringLiteral("mqtt://127.0.0.1:%1/bench/meter").arg(port)},
                broker.processId(), seconds);
    const Figures both =
        measure(dir,
                {"--mqtt", QStringLiteral("mqtt://127.0.0.1:%1/bench/meter").arg(port), "--listen",
                 "127.0.0.1:0"},
                broker.processId(), seconds);
    broker.terminate();
    broker.waitForFinished(5000);
    if (without.tool < 0 || with.tool < 0 || both.tool < 0) {
        std::fprintf(stderr, "bench_mqtt: the tool did not run\n");
        return 1;
    }
    std::printf("without --mqtt:  %6.2f %% of a core  (%lld records)\n", without.tool,
                static_cast<long long>(without.records));
    std::printf("with --mqtt:     %6.2f %% of a core  (%lld records, 8 messages each at QoS 1)\n",
                with.tool, static_cast<long long>(with.records));
    std::printf("difference:      %+6.2f %% of a core (goal: under 1 %%)\n",
                with.tool - without.tool);
    std::printf("with --mqtt and --listen: %6.2f %% of a core, %+6.2f %% against neither "
                "(goal: under 1 %%)\n",
                both.tool, both.tool - without.tool);
    std::printf("mosquitto:       %6.2f %% of a core meanwhile\n", with.broker);
    return 0;
}
