// A full 512 K logger memory: decoding its dump, and a click on its largest
// set until the downloaded-data list shows every record, side by side with
// the time the same bytes take on the line at 1920 bytes/s. Once with
// four-channel records (about 37,000) and once with one-channel records
// (about 100,000).
//
// Goals: decoding plus filling under 1 % of the line time, and the largest
// set shown within 1 s of the click.

#include "logger_memory/memory_dump.h"
#include "logger_memory/ui/logger_commands.h"
#include "logger_memory/ui/memory_window.h"
#include "main_window/ui/panel.h"
#include "recording/ui/data_list_window.h"
#include "shared/clock.h"
#include "sim/simulated_serial_port.h"
#include "widgets/grid.h"
#include "widgets/user_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRadioButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace quadtherm;

namespace {

constexpr int kRuns = 3;
constexpr double kLineBytesPerSecond = 1920;
constexpr int kDataAreaBytes = 512 * 1024 - 8192;

double medianMs(const std::function<void()>& run) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[kRuns / 2];
}

// One set filling the memory: readings that wander, the odd probe out and
// reading over range.
sim::RecordSet fullSet(int mask) {
    sim::RecordSet set;
    set.channelMask = mask;
    set.typeCodes = {0, 0, 1, 3};
    set.start = {26, 1, 31, 22, 0, 0};
    set.intervalSeconds = 2;
    const int length = 2 + 3 * sim::MeterMemory::channelCount(mask);
    const int count = (kDataAreaBytes - sim::MeterMemory::kSetHeaderSize) / length;
    set.records.reserve(count);
    for (int r = 0; r < count; ++r) {
        sim::StoredRecord record;
        for (int k = 0; k < 4; ++k)
            record[k] = {r % 997 != 0, r % 1499 == 0, false, 700 + (r * (k + 7)) % 900 - k * 400};
        set.records.append(record);
    }
    return set;
}

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "bench_memory_download: %s\n", what);
        std::exit(1);
    }
}

// Nobody answers: the benchmark's download asks nothing.
class NoDialogs final : public widgets::UserDialogs {
public:
    QMessageBox::StandardButton message(QWidget*, const QString&, const QString&, Icon,
                                        QMessageBox::StandardButtons, const QString&) override {
        return QMessageBox::Ok;
    }
    QString input(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString openFile(QWidget*, const QString&) override { return {}; }
    QString saveFile(QWidget*, const QString&) override { return {}; }
    bool print(QWidget*, QPrinter&) override { return false; }
    std::optional<int> choose(QWidget*, const Choice&) override { return std::nullopt; }
};

struct Figures {
    qint64 records = 0;
    double lineSeconds = 0;
    double decodeMs = 0;       // the whole dump: walk and every set's records
    double clickToShownMs = 0; // the largest set: decoded and in the list
};

Figures measure(int mask) {
    Figures out;
    const sim::RecordSet set = fullSet(mask);
    out.records = set.records.size();
    shared::SystemClock clock;
    sim::SimulatedSerialPort port(clock);
    check(port.meter().memory().addRecordSet(set), "the set does not fit");
    const QByteArray area = port.meter().memory().dataArea();
    const QByteArray reply = QByteArray("\x02\x00\x00\x00", 4) + area + QByteArray(1, '\x03');
    out.lineSeconds = double(reply.size()) / kLineBytesPerSecond;

    out.decodeMs = medianMs([&] {
        const logger_memory::SetWalk walk =
            logger_memory::walkSets(logger_memory::dataAreaOf(reply));
        for (const auto& each : walk.sets)
            logger_memory::decodeSet(each);
    });

    // The desktop program: a download from the simulated meter (its dump run
    // fast), then the click on the set.
    port.meter().setDumpSpeed(2000);
    port.open();
    shared::RunState state;
    state.link.NeedResync = false;
    NoDialogs dialogs;
    session::MeterSession session(port, clock, state);
    session::SessionClient client(session, clock);
    shared::ViewState view;
    main_window::Panel panel(client, view, dialogs, QStringLiteral("bench"));
    panel.show();
    panel.logger().OptAuto->setChecked(true);
    panel.logger().CmdLoggerOK_Click();
    QElapsedTimer waited;
    waited.start();
    const auto listed = [&] {
        auto* window = panel.logger().memoryWindow();
        return window && window->GridSet->Rows() == 2 && !window->downloading();
    };
    while (!listed() && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    session.Timer1.stop();
    session.Timer2.stop();
    QCoreApplication::processEvents();
    auto* memory = panel.logger().memoryWindow();
    check(memory && memory->GridSet->Rows() == 2, "the download did not list the set");
    out.clickToShownMs = medianMs([&] {
        memory->GridSet_Click(1);
        QCoreApplication::processEvents();
        panel.logger().dataList()->repaint();
    });
    session.Timer1.stop();
    session.Timer2.stop();
    check(panel.logger().dataList()->GridC->Rows() == out.records + 1, "records missing");
    return out;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("A full 512 K memory (%d bytes of record data), median of %d runs\n\n",
                kDataAreaBytes, kRuns);
    std::printf("%-22s %9s %12s %12s %16s %14s\n", "records", "count", "on the line", "decode dump",
                "click to shown", "share of line");
    for (auto [name, mask] : {std::pair{"four channels", 0x0F}, std::pair{"one channel", 0x01}}) {
        const Figures f = measure(mask);
        const double share = (f.decodeMs + f.clickToShownMs) / (f.lineSeconds * 1000) * 100;
        std::printf("%-22s %9lld %10.1f s %9.1f ms %13.1f ms %12.3f %%\n", name,
                    static_cast<long long>(f.records), f.lineSeconds, f.decodeMs, f.clickToShownMs,
                    share);
    }
    std::printf("\nGoals: decoding plus filling under 1 %% of the line time; the largest set\n"
                "shown within 1000 ms of the click.\n");
    return 0;
}
