// Opening data files the way "Open" does (read, index, shown in the file
// list): a full recording file (320,001 lines, ~19 MB) and a file of ten
// million "TAB LF" lines, the shape that costs most per byte. Each is timed
// against cat on the same file and its peak memory is given as a multiple of
// its size. Then the list dump and appends, against Python's csv module.

#include "recording/data_file.h"
#include "recording/data_file_writer.h"
#include "recording/ui/file_list_window.h"
#include "recording/ui/grid_writer.h"
#include "recording_sample.h"
#include "shared/reading_text.h"
#include "shared/view_state.h"
#include "widgets/grid.h"
#include "widgets/user_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace quadtherm;

namespace {

constexpr int kRecords = 320000;
constexpr int kShortLines = 10'000'000;
constexpr int kRuns = 5;

double msOf(const std::function<void()>& run) {
    QElapsedTimer timer;
    timer.start();
    run();
    return timer.nsecsElapsed() / 1e6;
}

double medianMs(const std::function<void()>& run, int runs = kRuns) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
        ms.push_back(msOf(run));
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

bool writeShortLines(const QString& path) {
    QFile file(path);
    const QByteArray lines = QByteArray("\t\n").repeated(kShortLines);
    return file.open(QIODevice::WriteOnly) && file.write(lines) == lines.size();
}

long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Starts the peak (VmHWM) afresh at what the process holds now.
bool resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

double catMs(const QString& path) {
    return medianMs([&] {
        QProcess::execute(QStringLiteral("sh"), {"-c", "cat \"$0\" > /dev/null", path});
    });
}

// What "Open" does once the file is chosen, up to the rows in the window.
struct Opened {
    shared::WindowState windows;
    widgets::QtUserDialogs dialogs;
    std::unique_ptr<recording::FileListWindow> window;
};

void openInto(Opened& opened, const QString& path) {
    opened.window = std::make_unique<recording::FileListWindow>(
        opened.windows, shared::PerChannel<QString>{}, opened.dialogs, recording::MainTimers{});
    recording::DataFileReader reader(path);
    const auto file = reader.read([&](qsizetype lines) {
        opened.window->setWindowTitle(QStringLiteral("%1 completed").arg(lines));
        return true;
    });
    opened.window->showLines(file.lines);
}

// In a process of its own, so that memory an earlier step freed cannot hide
// in the figure: the first open, shown and painted, with the peak memory it
// added to what the process held (a file list was shown once before, as the
// main window would have been: Qt's first window costs are not the file's);
// then the median of kRuns opens.
int measureOpen(const QString& path) {
    long extraKb = -1;
    double firstMs = 0;
    {
        Opened warm;
        warm.window = std::make_unique<recording::FileListWindow>(
            warm.windows, shared::PerChannel<QString>{}, warm.dialogs, recording::MainTimers{});
        warm.window->show();
        QCoreApplication::processEvents();
    }
    {
        Opened opened;
        const long beforeKb = statusKb("VmRSS:");
        const bool peakReset = resetPeak();
        firstMs = msOf([&] { openInto(opened, path); });
        opened.window->show();
        QCoreApplication::processEvents();
        if (peakReset)
            extraKb = statusKb("VmHWM:") - beforeKb;
    }
    Opened opened;
    const double openMs = medianMs([&] { openInto(opened, path); });
    std::printf("%f %f %ld\n", firstMs, openMs, extraKb);
    return 0;
}

void benchOpen(const char* what, const QString& path) {
    const double mb = QFileInfo(path).size() / 1e6;
    std::printf("\n%s: %.1f MB\n", what, mb);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--open"), path});
    if (!child.waitForFinished(300000) || child.exitCode() != 0) {
        std::printf("  the measuring process failed\n");
        return;
    }
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    const double firstMs = figures.value(0).toDouble();
    const double openMs = figures.value(1).toDouble();
    const long extraKb = figures.value(2).toLong();
    const double cat = catMs(path);
    std::printf("  open (read, index, grid) %7.1f ms median, %.1f ms the first time\n", openMs,
                firstMs);
    std::printf("  cat > /dev/null          %7.1f ms (subprocess, start-up included)\n", cat);
    std::printf("  open / cat               %7.1fx  (goal <= 5x)\n", openMs / cat);
    if (extraKb >= 0)
        std::printf("  peak memory of the open  %7.1f MB = %.2fx the file (goal <= 3x)\n",
                    extraKb / 1024.0, extraKb * 1024.0 / (mb * 1e6));
    else
        std::printf("  peak memory: /proc/self/clear_refs not writable here\n");
}

double pythonCsvMs(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {"-c",
                  "import csv, sys, time\n"
                  "t = time.perf_counter()\n"
                  "with open(sys.argv[1], newline='', encoding='latin-1') as f:\n"
                  "    rows = list(csv.reader(f, delimiter='\\t'))\n"
                  "print((time.perf_counter() - t) * 1000, len(rows))\n",
                  path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return -1;
    return QString::fromLatin1(python.readAllStandardOutput()).split(' ').value(0).toDouble();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--open") == 0)
        return measureOpen(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.4ch"));
    const QString shortPath = dir.filePath(QStringLiteral("short.4ch"));
    if (!quadtherm::bench::writeRecordingSample(path, kRecords) || !writeShortLines(shortPath)) {
        std::fprintf(stderr, "cannot write the sample files in %s\n", qPrintable(dir.path()));
        return 1;
    }
    benchOpen("a full recording file, 320,001 lines", path);
    benchOpen("10,000,000 lines of TAB LF", shortPath);

    Opened opened;
    const double openMs = medianMs([&] { openInto(opened, path); });
    const double pythonMs = pythonCsvMs(path);
    std::printf("\npython3 csv module       %7.1f ms (timed inside python, start-up excluded)\n",
                pythonMs);
    std::printf("ours vs python           %7.1fx faster (goal >= 5x)\n", pythonMs / openMs);

    const widgets::Grid& grid = *opened.window->GridN;
    const QString dump = dir.filePath(QStringLiteral("dump.4ch"));
    // The list windows' own writer, as their "Save" and the automatic dump run it.
    widgets::UserDialogs& noDialogs = opened.dialogs;
    const double dumpMs = medianMs([&] {
        recording::writeGrid(grid, recording::kDataFileColumns - 1, grid.Rows() - 1, dump, nullptr,
                             noDialogs);
    });
    const bool same = QFileInfo(dump).size() == QFileInfo(path).size();
    std::printf("dump from the grid       %7.1f ms (goal < 500; %s the file read)\n", dumpMs,
                same ? "same size as" : "DIFFERS from");

    QStringList rows;
    for (int row = 1; row < grid.Rows(); ++row)
        rows.append(grid.rowText(row));
    const double addMs = medianMs(
        [&] {
            widgets::Grid live(recording::kDataFileColumns);
            for (const QString& row : rows)
                live.AddItem(row);
        },
        3);
    std::printf("AddItem x %d        %7.1f ms (%.2f us a row, no event loop between)\n", kRecords,
                addMs, addMs * 1000 / kRecords);
    return 0;
}
