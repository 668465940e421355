// What syncing each record line to the storage device costs the recorder:
// time per record with fdatasync after each line and without, in a folder
// on the disk a recording would use (the first argument, else the current
// folder).

#include "recording/recorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quadtherm;

namespace {

const shared::PerChannel<QString> kTypes{"K", "K", "J", "T"};
const shared::PerChannel<QString> kTexts{"23.4", "Over", "- - -", "-5.2"};

// Microseconds per record, the median of `runs` recordings of `records` each.
double microsPerRecord(const QString& folder, bool sync, int records, int runs) {
    std::vector<double> perRecord;
    for (int run = 0; run < runs; ++run) {
        shared::RecordingState state;
        recording::Recorder recorder(state);
        recorder.setSyncEachLine(sync);
        if (!recorder.start(folder + QStringLiteral("/run.4ch"), false, kTypes))
            return -1;
        QElapsedTimer timer;
        timer.start();
        for (int n = 0; n < records; ++n)
            if (!recorder.record(QStringLiteral("2026/12/06 14:05:09"), kTexts, kTexts))
                return -1;
        perRecord.push_back(double(timer.nsecsElapsed()) / 1e3 / records);
        recorder.stop();
    }
    std::sort(perRecord.begin(), perRecord.end());
    return perRecord[perRecord.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir dir(base + QStringLiteral("/bench_record_sync-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_record_sync: cannot create a folder in %s\n", qPrintable(base));
        return 1;
    }
    const QStorageInfo storage(dir.path());
    std::printf("folder %s on %s (%s)\n", qPrintable(dir.path()), qPrintable(storage.device()),
                storage.fileSystemType().constData());
    const double synced = microsPerRecord(dir.path(), true, 500, 3);
    const double unsynced = microsPerRecord(dir.path(), false, 20000, 3);
    if (synced < 0 || unsynced < 0) {
        std::fprintf(stderr, "bench_record_sync: a record could not be written\n");
        return 1;
    }
    std::printf("per record, fdatasync after each line: %8.1f us\n", synced);
    std::printf("per record, written only:              %8.1f us\n", unsynced);
    std::printf("sync cost per record:                  %8.1f us (%.3f %% of a 1 s interval)\n",
                synced - unsynced, (synced - unsynced) / 1e4);
    return 0;
}
