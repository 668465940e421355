// quadtherm-cli export on a full recording file (320,001 lines, ~19 MB) as
// CSV and as JSON lines, each against cat on the same file, the whole
// process timed (start-up included) with its output to /dev/null; then the
// peak memory of the process on that file and on one ten times its size, to
// show that it stays the same whatever the file's size.

#include "recording/data_file.h"
#include "recording/data_file_writer.h"
#include "recording_sample.h"
#include "shared/reading_text.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace quadtherm;

namespace {

constexpr int kRecords = 320000;
constexpr int kRuns = 9;

struct Child {
    bool ok = false;
    double ms = 0;
    double cpuMs = 0; // user and system time: what other load on the machine does not add to
    long peakKb = 0;
};

double msOf(const timeval& t) {
    return t.tv_sec * 1e3 + t.tv_usec / 1e3;
}

// A program with its standard output to /dev/null: wall time and peak
// resident memory (getrusage of the child, ru_maxrss).
Child runToNull(const QStringList& command) {
    std::vector<QByteArray> bytes;
    for (const QString& arg : command)
        bytes.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& arg : bytes)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    Child child;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (::wait4(pid, &status, 0, &usage) == pid) {
            child.ms = timer.nsecsElapsed() / 1e6;
            child.cpuMs = msOf(usage.ru_utime) + msOf(usage.ru_stime);
            child.peakKb = usage.ru_maxrss;
            child.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// The medians of kRuns, and the largest peak among them.
Child median(const QStringList& command) {
    std::vector<double> ms, cpuMs;
    Child result{true, 0, 0, 0};
    for (int i = 0; i < kRuns; ++i) {
        const Child run = runToNull(command);
        result.ok = result.ok && run.ok;
        result.peakKb = std::max(result.peakKb, run.peakKb);
        ms.push_back(run.ms);
        cpuMs.push_back(run.cpuMs);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    result.ms = ms[ms.size() / 2];
    result.cpuMs = cpuMs[cpuMs.size() / 2];
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString cli = QStringLiteral(QUADTHERM_CLI_PATH);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.4ch"));
    const QString large = dir.filePath(QStringLiteral("large.4ch"));
    if (!quadtherm::bench::writeRecordingSample(path, kRecords) ||
        !quadtherm::bench::writeRecordingSample(large, qint64(kRecords) * 10)) {
        std::fprintf(stderr, "cannot write the sample files in %s\n", qPrintable(dir.path()));
        return 1;
    }
    const double mb = QFileInfo(path).size() / 1e6;
    std::printf("a full recording file, 320,001 lines: %.1f MB\n", mb);
    const Child cat = median({"cat", path});
    std::printf("  medians of %d runs, wall time and CPU time of the process, start-up "
                "included\n",
                kRuns);
    std::printf("  cat > /dev/null                %7.1f ms, CPU %5.1f ms\n", cat.ms, cat.cpuMs);
    for (const char* format : {"csv", "jsonl"}) {
        const Child run = median({cli, "export", path, "--to", format});
        if (!run.ok) {
            std::printf("  export --to %s failed\n", format);
            continue;
        }
        std::printf("  export --to %-5s > /dev/null %7.1f ms, CPU %5.1f ms: %.0f MB/s of the file, "
                    "%.1fx the time of cat (goal <= 2x)\n",
                    format, run.ms, run.cpuMs, mb / (run.ms / 1000), run.ms / cat.ms);
    }
    const Child startUp = median({cli, "--help"});
    std::printf("  quadtherm-cli --help           %7.1f ms, CPU %5.1f ms (its start-up alone)\n",
                startUp.ms, startUp.cpuMs);

    const double largeMb = QFileInfo(large).size() / 1e6;
    std::printf("\npeak memory (VmHWM of the process), CSV:\n");
    const Child small = runToNull({cli, "export", path});
    const Child big = runToNull({cli, "export", large});
    const Child bigJson = runToNull({cli, "export", large, "--to", "jsonl"});
    std::printf("  %7.1f MB file          %7.1f MB peak\n", mb, small.peakKb / 1024.0);
    std::printf("  %7.1f MB file          %7.1f MB peak, %.0f ms\n", largeMb, big.peakKb / 1024.0,
                big.ms);
    std::printf("  %7.1f MB file, jsonl   %7.1f MB peak, %.0f ms\n", largeMb,
                bigJson.peakKb / 1024.0, bigJson.ms);
    std::printf("  the same within %.1f MB for a file ten times larger (goal: constant)\n",
                std::abs(big.peakKb - small.peakKb) / 1024.0);
    return small.ok && big.ok && bigJson.ok ? 0 : 1;
}
