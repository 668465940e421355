// CPU used by the desktop program while it only watches the meter: the
// simulated meter streams at the real line rate, the session polls one frame
// every 50 ms and the windows redraw values and charts once a second.
//
// Three figures: the built `quadtherm --simulate` with its main window; the
// same program built here, first with its main window, then with every
// window open (the live list, the real-time chart, the data graph, a saved
// file with its plot and histogram, the keypad, the downloaded logger memory
// and a set's list, help and the clock window).
//
// bench_idle_cpu [--seconds N]   (default 20 for each figure; needs a
// display or QT_QPA_PLATFORM=offscreen, which it sets when no DISPLAY is
// present)

#include "logger_memory/ui/logger_commands.h"
#include "logger_memory/ui/memory_window.h"
#include "main_window/ui/panel.h"
#include "main_window/ui/unit_panel.h"
#include "process_cpu.h"
#include "recording/ui/file_list_window.h"
#include "session/session_client.h"
#include "session/session_thread.h"
#include "shared/clock.h"
#include "shared/settings.h"
#include "shared/view_state.h"
#include "sim/simulated_serial_port.h"
#include "widgets/theme.h"
#include "widgets/user_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <memory>

using namespace quadtherm;

using quadtherm::bench::cpuTicks;

namespace {

double percentOfCore(qint64 ticks, int seconds) {
    return 100.0 * double(ticks) / double(sysconf(_SC_CLK_TCK)) / seconds;
}

// Lets the program run for `ms`.
void run(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU of this process (every thread) while the program runs `seconds`.
double measureHere(int seconds) {
    const qint64 pid = QCoreApplication::applicationPid();
    const qint64 before = cpuTicks(pid);
    run(seconds * 1000);
    return percentOfCore(cpuTicks(pid) - before, seconds);
}

// Answers every dialog at once: the recording's and the open file's name,
// OK to every message, the first of every choice.
class Answers final : public widgets::UserDialogs {
public:
    explicit Answers(QString file) : m_file(std::move(file)) {}
    QMessageBox::StandardButton message(QWidget*, const QString&, const QString&, Icon,
                                        QMessageBox::StandardButtons buttons,
                                        const QString&) override {
        return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Yes;
    }
    QString input(QWidget*, const QString&, const QString&, const QString& answer) override {
        return answer;
    }
    QString openFile(QWidget*, const QString&) override { return m_file; }
    QString saveFile(QWidget*, const QString&) override { return m_file; }
    bool print(QWidget*, QPrinter&) override { return false; }
    std::optional<int> choose(QWidget*, const Choice&) override { return 0; }

private:
    QString m_file;
};

// CPU with what is open now, against `mainOnly`.
void measureOpen(int seconds, const QString& what, double mainOnly) {
    QStringList open;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            open << window->objectName();
    open.sort();
    std::printf("open: %s\n", qPrintable(open.join(QStringLiteral(", "))));
    const double percent = measureHere(seconds);
    std::printf("built here, %s for %d s: %.2f %% of one core "
                "(%.1f times the main window alone; goal under 3 %%)\n",
                qPrintable(what), seconds, percent, mainOnly > 0 ? percent / mainOnly : 0.0);
    std::fflush(stdout);
}

// The desktop program built here as `quadtherm --simulate` builds it: CPU
// with the main window, then with every window open.
int measureWindows(int seconds) {
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    const QString file = QDir(work.path()).filePath(QStringLiteral("bench.4ch"));
    shared::Settings settings(QDir(work.path()).filePath(QStringLiteral("bench.ini")));
    shared::RunState state;
    shared::ViewState view;
    Answers answers(file);
    shared::SystemClock clock;
    auto thread = std::make_unique<session::SessionThread>(
        clock, state, [&clock]() -> std::unique_ptr<meter_link::SerialPort> {
            auto port = std::make_unique<sim::SimulatedSerialPort>(clock);
            port->meter().fillDemoData(5, 40, 12);
            port->meter().setDumpSpeed(40);
            return port;
        });
    if (!thread->openPort())
        return 1;
    auto client = std::make_unique<session::SessionClient>(thread->session(), clock);
    auto panel = std::make_unique<main_window::Panel>(*client, view, answers, QStringLiteral("SIM"),
                                                      0, &settings);
    panel->Form_Load();
    panel->show();
    run(8000);
    const double mainOnly = measureHere(seconds);
    std::printf("built here, main window only for %d s: %.2f %% of one core\n", seconds, mainOnly);
    std::fflush(stdout);

    // A short recording to open as a saved file.
    panel->Toolbar1_ButtonClick(QStringLiteral("Save"));
    run(5000);
    panel->Toolbar1_ButtonClick(QStringLiteral("Save"));
    run(1000);
    panel->Toolbar1_ButtonClick(QStringLiteral("List"));
    panel->Toolbar1_ButtonClick(QStringLiteral("Graph"));
    Q_EMIT panel->PicC->chartClicked(0);
    panel->Toolbar1_ButtonClick(QStringLiteral("Open"));
    run(1500);
    if (recording::FileListWindow* saved = panel->fileListWindow()) {
        saved->Toolbar1_ButtonClick(QStringLiteral("Plot"));
        saved->Toolbar1_ButtonClick(QStringLiteral("Ln"));
    }
    panel->Toolbar1_ButtonClick(QStringLiteral("Buttons"));
    panel->Toolbar1_ButtonClick(QStringLiteral("Memory"));
    run(500);
    logger_memory::LoggerCommands& logger = panel->logger();
    logger.OptAuto->setChecked(true);
    logger.CmdLoggerOK->click();
    run(15000);
    if (logger_memory::MemoryWindow* memory = logger.memoryWindow())
        memory->setClicked(1);
    panel->showHelp();
    run(1000);
    measureOpen(seconds, QStringLiteral("every window open"), mainOnly);
    // The clock window stops the live poll and reads the meter's clock
    // instead, every 350 ms.
    panel->Toolbar1_ButtonClick(QStringLiteral("RTC"));
    run(3000);
    measureOpen(seconds, QStringLiteral("and the clock window too"), mainOnly);

    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != panel.get())
            window->close();
    panel->close();
    panel.reset();
    thread.reset();
    client.reset();
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    widgets::theme::applyToApplication();
    int seconds = 20;
    const QStringList args = app.arguments();
    if (const auto i = args.indexOf(QStringLiteral("--seconds")); i > 0 && i + 1 < args.size())
        seconds = qMax(1, args[i + 1].toInt());

    QProcess program;
    program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
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
    std::printf("quadtherm --simulate, main window only for %d s: %.2f %% of one core "
                "(goal under 3 %%)\n",
                seconds, percentOfCore(after - before, seconds));
    std::fflush(stdout);
    return measureWindows(seconds);
}
