// How late the live tick runs on the session's thread while the windows'
// thread is idle, and while it is busy painting: the file list holding a file
// of 20 MB cells, resized and scrolled without pause. The session records
// once a second all along, as during a real recording. Lateness is the gap
// between one tick's frame and the next beyond the 50 ms poll.
//
// bench_session_tick [--seconds N]   (default 20 for each half; sets
// QT_QPA_PLATFORM=offscreen when there is no display)

#include "recording/data_file.h"
#include "recording/ui/file_list_window.h"
#include "session/meter_session.h"
#include "session/session_client.h"
#include "session/session_thread.h"
#include "shared/clock.h"
#include "shared/view_state.h"
#include "sim/simulated_serial_port.h"
#include "widgets/grid.h"
#include "widgets/user_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMutex>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

using namespace quadtherm;

namespace {

using Steady = std::chrono::steady_clock;

// When each tick read its frame, noted on the session's thread.
class TickTimes {
public:
    void note() {
        const QMutexLocker lock(&m_mutex);
        m_at.push_back(Steady::now());
    }
    std::vector<Steady::time_point> take() {
        const QMutexLocker lock(&m_mutex);
        return std::exchange(m_at, {});
    }

private:
    QMutex m_mutex;
    std::vector<Steady::time_point> m_at;
};

struct Lateness {
    double medianMs = 0;
    double p99Ms = 0;
    double maxMs = 0;
    size_t ticks = 0;
};

Lateness lateness(const std::vector<Steady::time_point>& at) {
    std::vector<double> late;
    for (size_t i = 1; i < at.size(); ++i) {
        const double gapMs = std::chrono::duration<double, std::milli>(at[i] - at[i - 1]).count();
        late.push_back(std::max(0.0, gapMs - session::MeterSession::kTickMs));
    }
    if (late.empty())
        return {};
    std::sort(late.begin(), late.end());
    return {late[late.size() / 2], late[std::min(late.size() - 1, late.size() * 99 / 100)],
            late.back(), late.size() + 1};
}

void run(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void print(const char* what, const Lateness& l) {
    std::printf("%-36s %6zu ticks   median %6.2f ms   99th %6.2f ms   max %7.2f ms\n", what,
                l.ticks, l.medianMs, l.p99Ms, l.maxMs);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int seconds = 20;
    const QStringList args = app.arguments();
    if (const auto i = args.indexOf(QStringLiteral("--seconds")); i > 0 && i + 1 < args.size())
        seconds = qMax(1, args[i + 1].toInt());

    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    // Five lines, each with one cell of 20 MB.
    const QString cells = QDir(work.path()).filePath(QStringLiteral("cells.4ch"));
    {
        const QByteArray huge(20 << 20, '7');
        QFile file(cells);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("\xB0"
                   "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n");
        for (int line = 0; line < 5; ++line) {
            QList<QByteArray> row{
                QByteArray::number(line + 1), "2026/12/06 14:10:19", "23.4", "1", "2", "3"};
            row[line + 1] = huge;
            file.write(row.join('\t') + "\t\r\n");
        }
    }

    shared::SystemClock clock;
    shared::RunState state;
    shared::ViewState view;
    auto thread = std::make_unique<session::SessionThread>(
        clock, state, [&clock]() -> std::unique_ptr<meter_link::SerialPort> {
            return std::make_unique<sim::SimulatedSerialPort>(clock);
        });
    if (!thread->openPort())
        return 1;
    auto client = std::make_unique<session::SessionClient>(thread->session(), clock);
    TickTimes ticks;
    QObject::connect(
        &thread->session(), &session::MeterSession::frameRead, &thread->session(),
        [&ticks](int, bool) { ticks.note(); }, Qt::DirectConnection);
    client->start();
    run(8000); // the first re-synchronisation
    bool recording = false;
    QObject context;
    client->startRecording(QDir(work.path()).filePath(QStringLiteral("bench.4ch")), &context,
                           [&](bool ok, const QString&) { recording = ok; });
    run(1500);
    if (!recording) {
        std::fprintf(stderr, "the recording did not start\n");
        return 1;
    }

    ticks.take();
    run(seconds * 1000);
    const Lateness idle = lateness(ticks.take());

    widgets::QtUserDialogs dialogs;
    recording::FileListWindow files(view.windows, {}, dialogs, {});
    files.show();
    recording::DataFileReader reader(cells);
    if (!reader.isOpen())
        return 1;
    files.loadFile(reader, QStringLiteral("cells.4ch"));
    ticks.take();
    QElapsedTimer busy;
    busy.start();
    for (int step = 0; busy.elapsed() < seconds * 1000; ++step) {
        files.resize(400 + (step % 7) * 90, 300 + (step % 5) * 60);
        files.GridN->setTopRow(step % 5 + 1);
        files.GridN->horizontalScrollBar()->setValue(step % 3 * 200);
        files.repaint();
        QCoreApplication::processEvents();
    }
    const Lateness painting = lateness(ticks.take());

    std::printf("live tick lateness beyond its %d ms, %d s each, recording once a second:\n",
                session::MeterSession::kTickMs, seconds);
    print("windows' thread idle", idle);
    print("windows' thread painting huge cells", painting);
    std::printf("difference: median %+.2f ms, 99th %+.2f ms (goal: within 5 ms)\n",
                painting.medianMs - idle.medianMs, painting.p99Ms - idle.p99Ms);

    client->stopRecording();
    run(1500);
    files.close();
    thread.reset();
    client.reset();
    return 0;
}
