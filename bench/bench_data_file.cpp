// Opening, dumping and growing a full data file (320,001 lines, ~19 MB),
// side by side with Python's csv module and cat on the same file.

#include "recording/data_file.h"
#include "shared/reading_text.h"
#include "widgets/grid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace quadtherm;

namespace {

constexpr int kRecords = 320000;
constexpr int kRuns = 3;

double medianMs(const std::function<void()>& run) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[kRuns / 2];
}

// Readings that wander like a real run, with the odd probe out and over range.
bool writeSample(const QString& path) {
    const QDateTime start(QDate(2010, 11, 26), QTime(14, 5, 9));
    return recording::writeDataFile(path, kRecords + 1, [&](qsizetype row) {
        if (row == 0)
            return recording::headingCells(QStringLiteral("°C"), {"K", "K", "J", "T"});
        shared::PerChannel<QString> texts;
        for (int k = 0; k < shared::kChannels; ++k) {
            const qint64 tenths = 9000 + k * 3000 + (row * (k + 7)) % 8000;
            texts[k] = shared::TenthsText(tenths);
        }
        if (row % 997 == 0)
            texts[2] = QStringLiteral("- - -");
        if (row % 1499 == 0)
            texts[1] = QStringLiteral("Over");
        return recording::recordCells(row, recording::recordTimestamp(start.addSecs(row)), texts);
    });
}

void openInto(widgets::Grid& grid, const QString& path) {
    const auto loaded = recording::readDataFile(path);
    grid.setRows(1);
    for (int col = 0; col < recording::kDataFileColumns; ++col)
        grid.setTextAt(0, col, loaded.heading[col]);
    grid.appendLatin1Rows(loaded.rows);
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

long peakKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.4ch"));
    if (!writeSample(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("file: %d lines, %.1f MB\n", kRecords + 1, QFileInfo(path).size() / 1e6);

    const double readMs = medianMs([&] { recording::readDataFile(path); });
    widgets::Grid grid(recording::kDataFileColumns);
    const double openMs = medianMs([&] { openInto(grid, path); });
    const long openedKb = peakKb();
    const double pythonMs = pythonCsvMs(path);
    const double catMs = medianMs([&] {
        QProcess::execute(QStringLiteral("sh"), {"-c", "cat \"$0\" > /dev/null", path});
    });
    std::printf("open (read + grid)   %8.1f ms   (read alone %.1f ms; goal < 200)\n", openMs,
                readMs);
    std::printf("python3 csv module   %8.1f ms   (timed inside python, start-up excluded)\n",
                pythonMs);
    std::printf("cat > /dev/null      %8.1f ms   (subprocess, start-up included)\n", catMs);
    std::printf("ours vs python       %8.1fx faster (goal >= 5x)\n", pythonMs / openMs);
    std::printf("peak memory with the grid open: %.1f MB (VmHWM)\n", openedKb / 1024.0);

    const QString dump = dir.filePath(QStringLiteral("dump.4ch"));
    const double dumpMs = medianMs([&] {
        recording::writeDataFile(dump, grid.Rows(), [&](qsizetype row) {
            return grid.rowText(int(row)).split(QLatin1Char('\t'));
        });
    });
    const bool same = QFileInfo(dump).size() == QFileInfo(path).size();
    std::printf("dump from the grid   %8.1f ms   (goal < 500; %s the file read)\n", dumpMs,
                same ? "same size as" : "DIFFERS from");

    const auto rows = recording::readDataFile(path).rows;
    const double addMs = medianMs([&] {
        widgets::Grid live(recording::kDataFileColumns);
        for (const QByteArray& row : rows)
            live.AddItem(QString::fromLatin1(row));
    });
    std::printf("AddItem x %d       %8.1f ms   (%.2f us a row, no event loop between)\n", kRecords,
                addMs, addMs * 1000 / kRecords);
    std::printf("peak memory at the end: %.1f MB (VmHWM)\n", peakKb() / 1024.0);
    return 0;
}
