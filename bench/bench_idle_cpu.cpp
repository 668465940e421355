// CPU used by the desktop program while it only watches the meter: the
// simulated meter streams at the real line rate, the window polls one frame
// every 50 ms and redraws values and charts once a second.
//
// bench_idle_cpu [--seconds N]   (default 20; needs a display or
// QT_QPA_PLATFORM=offscreen, which it sets when no DISPLAY is present)

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <unistd.h>

#include <cstdio>

namespace {

// User plus system time of a process, in clock ticks, from /proc.
qint64 cpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The command name may hold spaces: fields count from after its ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return fields[11].toLongLong() + fields[12].toLongLong();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int seconds = 20;
    const QStringList args = app.arguments();
    if (const auto i = args.indexOf(QStringLiteral("--seconds")); i > 0 && i + 1 < args.size())
        seconds = qMax(1, args[i + 1].toInt());

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("DISPLAY")) &&
        !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(QUADTHERM_APP_PATH), {QStringLiteral("--simulate")});
    if (!program.waitForStarted()) {
        std::fprintf(stderr, "cannot start %s\n", QUADTHERM_APP_PATH);
        return 1;
    }
    // Start-up and the first re-synchronisation (its clock read waits 2 s).
    QThread::sleep(5);
    const qint64 pid = program.processId();
    const qint64 before = cpuTicks(pid);
    QThread::sleep(static_cast<unsigned long>(seconds));
    const qint64 after = cpuTicks(pid);
    program.kill();
    program.waitForFinished();
    if (before < 0 || after < 0) {
        std::fprintf(stderr, "cannot read the program's CPU time\n");
        return 1;
    }
    const double cpuSeconds = double(after - before) / double(sysconf(_SC_CLK_TCK));
    std::printf("idle on the streaming simulated meter for %d s: %.2f %% of one core "
                "(%.2f s CPU; goal under 3 %%)\n",
                seconds, 100.0 * cpuSeconds / seconds, cpuSeconds);
    return 0;
}
