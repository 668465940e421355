// quadtherm-tour: takes README's screenshots from the real program. It builds
// the desktop program as `quadtherm --simulate` does (the same windows, the
// session on its thread, the simulated meter at the line's own rate) and
// walks through it as a user would, grabbing each window as it is shown.
// Run it under Xvfb through scripts/screenshots; QT_SCALE_FACTOR=2 with
// --dialogs gives the device-pixel-ratio-2 pictures of the Port dialog and a
// message box.

#include "graphs/ui/plot_window.h"
#include "logger_memory/ui/logger_commands.h"
#include "logger_memory/ui/memory_window.h"
#include "main_window/status_texts.h"
#include "main_window/ui/alarm_control.h"
#include "main_window/ui/alarm_sound.h"
#include "main_window/ui/panel.h"
#include "main_window/ui/unit_panel.h"
#include "meter_link/ui/port_dialog.h"
#include "recording/ui/file_list_window.h"
#include "session/session_client.h"
#include "session/session_thread.h"
#include "shared/clock.h"
#include "shared/settings.h"
#include "shared/view_state.h"
#include "sim/simulated_serial_port.h"
#include "widgets/app_icon.h"
#include "widgets/theme.h"
#include "widgets/user_dialogs.h"
#include "widgets/window_places.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

using namespace quadtherm;

namespace {

class Tour {
public:
    Tour(QString outDir, QString suffix) : m_outDir(std::move(outDir)), m_suffix(std::move(suffix)) {
        // Whatever modal dialog comes up is handed to the answer queued for
        // it, after it has had time to paint.
        m_watch.setInterval(50);
        QObject::connect(&m_watch, &QTimer::timeout, [this] { answerModal(); });
        m_watch.start();
    }

    // Lets the program run for `ms` (the windows, the session, the meter).
    static void wait(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    void shoot(QWidget* window, const QString& name) {
        if (window == nullptr) {
            std::fprintf(stderr, "tour: no window for %s\n", qPrintable(name));
            m_failed = true;
            return;
        }
        window->repaint();
        const QString path = QDir(m_outDir).filePath(name + m_suffix + QStringLiteral(".png"));
        if (!window->grab().save(path)) {
            std::fprintf(stderr, "tour: cannot write %s\n", qPrintable(path));
            m_failed = true;
            return;
        }
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
    }

    // The next modal dialog is given to `answer`, which must close it.
    void whenModal(std::function<void(QWidget*)> answer) { m_answers.push_back(std::move(answer)); }
    bool allAnswered() const { return m_answers.empty(); }
    bool failed() const { return m_failed; }

    static QWidget* window(const QString& objectName) {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && top->objectName() == objectName)
                return top;
        return nullptr;
    }

private:
    void answerModal() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || m_answers.empty() || modal == m_answering)
            return;
        m_answering = modal;
        auto answer = std::move(m_answers.front());
        m_answers.erase(m_answers.begin());
        QPointer<QWidget> guard = modal;
        // Painted and laid out first.
        QTimer::singleShot(600, modal, [this, guard, answer] {
            if (guard)
                answer(guard);
            m_answering = nullptr;
        });
    }

    QString m_outDir;
    QString m_suffix;
    QTimer m_watch;
    std::vector<std::function<void(QWidget*)>> m_answers;
    QPointer<QWidget> m_answering;
    bool m_failed = false;
};

// On the session's thread, where the simulated meter lives.
void onMeter(session::SessionThread& thread, sim::SimulatedSerialPort* port,
             std::function<void(sim::SimulatedMeter&)> change) {
    QMetaObject::invokeMethod(
        &thread.session(), [port, change] { change(port->meter()); }, Qt::QueuedConnection);
}

void dialogs(Tour& tour, widgets::QtUserDialogs& userDialogs) {
    shared::LinkState link;
    link.PortNumber = 1;
    meter_link::PortDialog port(link);
    port.show();
    Tour::wait(800);
    tour.shoot(&port, QStringLiteral("port-dialog"));
    port.hide();

    tour.whenModal([&tour](QWidget* box) {
        tour.shoot(box, QStringLiteral("message-box"));
        qobject_cast<QDialog*>(box)->accept();
    });
    userDialogs.message(nullptr, QStringLiteral("No device found, try again!"),
                        QStringLiteral("QuadTherm"), widgets::UserDialogs::Icon::Critical,
                        QMessageBox::Ok,
                        main_window::portOpenDetails(QStringLiteral("/dev/ttyUSB0"),
                                                     QStringLiteral("Permission denied"),
                                                     QStringLiteral("dialout")));
}

void chooseFile(Tour& tour, const QString& path, const QString& picture = {}) {
    tour.whenModal([&tour, path, picture](QWidget* dialog) {
        if (!picture.isEmpty())
            tour.shoot(dialog, picture);
        auto* files = qobject_cast<QFileDialog*>(dialog);
        if (files == nullptr) {
            std::fprintf(stderr, "tour: expected a file dialog, got %s\n",
                         qPrintable(dialog->objectName()));
            qobject_cast<QDialog*>(dialog)->reject();
            return;
        }
        // Typed as a user would: selectFile() leaves a focused name box alone.
        if (auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        QMetaObject::invokeMethod(files, "accept");
    });
}

void closeModal(Tour& tour, const QString& picture) {
    tour.whenModal([&tour, picture](QWidget* dialog) {
        tour.shoot(dialog, picture);
        if (auto* asDialog = qobject_cast<QDialog*>(dialog))
            asDialog->done(QDialog::Accepted);
        else
            dialog->close();
    });
}

int program(Tour& tour, const QString& workDir) {
    shared::Settings settings(QDir(workDir).filePath(QStringLiteral("tour.ini")));
    settings.setLastFolder(workDir);
    widgets::WindowPlaces places(settings, widgets::WindowPlaces::programWindows());
    shared::RunState state;
    shared::ViewState view;
    widgets::QtUserDialogs userDialogs(&settings);
    shared::SystemClock clock;

    sim::SimulatedSerialPort* simPort = nullptr;
    auto thread = std::make_unique<session::SessionThread>(
        clock, state, [&clock, &simPort]() -> std::unique_ptr<meter_link::SerialPort> {
            auto port = std::make_unique<sim::SimulatedSerialPort>(clock);
            // Something in the logger to download, quickly.
            port->meter().fillDemoData(5, 40, 12);
            port->meter().setDumpSpeed(40);
            simPort = port.get();
            return port;
        });
    if (!thread->openPort())
        return 1;
    auto client = std::make_unique<session::SessionClient>(thread->session(), clock);
    main_window::DesktopAlarmOutput alarmOutput;
    auto panel = std::make_unique<main_window::Panel>(*client, view, userDialogs,
                                                      QStringLiteral("SIM"), 0, &settings,
                                                      &alarmOutput);
    panel->Form_Load();
    panel->show();
    Tour::wait(9000);

    // Setpoints near the readings: the dashed lines show, and one channel
    // is in alarm.
    client->setAlarmSetpoint(0, false, 25.0);
    client->setAlarmSetpoint(1, false, 26.0);
    client->setAlarmSetpoint(2, false, 21.0);
    client->setAlarmSetpoint(3, false, 28.5);

    const QString recordingPath = QDir(workDir).filePath(QStringLiteral("kiln.4ch"));
    chooseFile(tour, recordingPath, QStringLiteral("file-dialog"));
    panel->Toolbar1_ButtonClick(QStringLiteral("Save"));
    Tour::wait(40000);
    tour.shoot(panel.get(), QStringLiteral("main-recording"));

    panel->Toolbar1_ButtonClick(QStringLiteral("List"));
    Tour::wait(3000);
    tour.shoot(Tour::window(QStringLiteral("List")), QStringLiteral("list"));
    Tour::window(QStringLiteral("List"))->close();

    panel->Toolbar1_ButtonClick(QStringLiteral("Graph"));
    Tour::wait(8000);
    tour.shoot(Tour::window(QStringLiteral("RealTimeSLM")), QStringLiteral("realtime-graph"));
    Tour::window(QStringLiteral("RealTimeSLM"))->close();

    emit panel->PicC->chartClicked(0);
    Tour::wait(2000);
    auto* plot = qobject_cast<graphs::PlotWindow*>(Tour::window(QStringLiteral("Plot")));
    tour.shoot(plot, QStringLiteral("data-graph"));
    if (plot) {
        plot->CmdFit->click();
        Tour::wait(800);
        tour.shoot(plot, QStringLiteral("data-graph-fit"));
        plot->close();
    }

    // The meter switched to °F ends the recording: a message box, then the
    // bottom bar keeps saying so.
    closeModal(tour, QStringLiteral("recording-ended"));
    onMeter(*thread, simPort, [](sim::SimulatedMeter& meter) { meter.setFahrenheit(true); });
    Tour::wait(9000);
    tour.shoot(panel.get(), QStringLiteral("status-recording-ended"));
    onMeter(*thread, simPort, [](sim::SimulatedMeter& meter) { meter.setFahrenheit(false); });
    Tour::wait(6000);

    chooseFile(tour, recordingPath);
    panel->Toolbar1_ButtonClick(QStringLiteral("Open"));
    Tour::wait(1500);
    auto* saved = qobject_cast<recording::FileListWindow*>(Tour::window(QStringLiteral("FileList")));
    tour.shoot(saved, QStringLiteral("saved-file"));
    if (saved) {
        saved->Toolbar1_ButtonClick(QStringLiteral("Plot"));
        Tour::wait(1500);
        tour.shoot(Tour::window(QStringLiteral("FilePlot")), QStringLiteral("whole-file-plot"));
        if (QWidget* filePlot = Tour::window(QStringLiteral("FilePlot")))
            filePlot->close();
        tour.whenModal([&tour](QWidget* dialog) {
            tour.shoot(dialog, QStringLiteral("histogram-chooser"));
            if (auto* first = dialog->findChild<QRadioButton*>())
                first->setChecked(true);
            qobject_cast<QDialog*>(dialog)->accept();
        });
        saved->Toolbar1_ButtonClick(QStringLiteral("Ln"));
        Tour::wait(1500);
        tour.shoot(Tour::window(QStringLiteral("Histogram")), QStringLiteral("histogram"));
        if (QWidget* histogram = Tour::window(QStringLiteral("Histogram")))
            histogram->close();
        saved->close();
    }

    panel->Toolbar1_ButtonClick(QStringLiteral("RTC"));
    Tour::wait(3000);
    tour.shoot(Tour::window(QStringLiteral("Setup")), QStringLiteral("setup"));
    if (QWidget* setup = Tour::window(QStringLiteral("Setup")))
        setup->close();
    Tour::wait(1500);

    panel->Toolbar1_ButtonClick(QStringLiteral("Buttons"));
    Tour::wait(1500);
    tour.shoot(Tour::window(QStringLiteral("Buttons")), QStringLiteral("buttons"));
    if (QWidget* buttons = Tour::window(QStringLiteral("Buttons")))
        buttons->close();

    panel->Toolbar1_ButtonClick(QStringLiteral("Memory"));
    Tour::wait(800);
    tour.shoot(panel.get(), QStringLiteral("logger-panel"));
    if (auto* logger = &panel->logger()) {
        logger->OptAuto->setChecked(true);
        logger->CmdLoggerOK->click();
        Tour::wait(12000);
        auto* memory = logger->memoryWindow();
        tour.shoot(memory, QStringLiteral("data-logger"));
        if (memory) {
            emit memory->setClicked(1);
            Tour::wait(2000);
            tour.shoot(Tour::window(QStringLiteral("DataList")), QStringLiteral("data-list"));
        }
    }
    for (const char* name : {"DataList", "Memory"})
        if (QWidget* w = Tour::window(QString::fromLatin1(name)))
            w->close();

    if (auto* bell = panel->findChild<main_window::AlarmControl*>()) {
        closeModal(tour, QStringLiteral("alarm-sound"));
        bell->ActSettings->trigger();
    }

    panel->showHelp();
    Tour::wait(800);
    tour.shoot(Tour::window(QStringLiteral("Help")), QStringLiteral("help"));
    if (QWidget* help = Tour::window(QStringLiteral("Help")))
        help->close();

    // The meter stops answering: after about ten seconds the bottom bar
    // says what was tried and what to check.
    onMeter(*thread, simPort, [](sim::SimulatedMeter& meter) { meter.setSilent(true); });
    Tour::wait(14000);
    tour.shoot(panel.get(), QStringLiteral("no-meter"));

    panel->close();
    panel.reset();
    thread.reset();
    client.reset();
    return tour.failed() || !tour.allAnswered() ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QuadTherm"));
    QApplication::setWindowIcon(widgets::applicationIcon());
    widgets::theme::applyToApplication();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Takes README's screenshots"));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"),
                                       QStringLiteral("Folder for the pictures."),
                                       QStringLiteral("DIR"), QStringLiteral("docs/images"));
    const QCommandLineOption dialogsOption(
        QStringLiteral("dialogs"), QStringLiteral("Only the Port dialog and a message box."));
    const QCommandLineOption suffixOption(QStringLiteral("suffix"),
                                          QStringLiteral("Added to every picture's name."),
                                          QStringLiteral("TEXT"));
    parser.addOption(outOption);
    parser.addOption(dialogsOption);
    parser.addOption(suffixOption);
    parser.process(app);

    QDir().mkpath(parser.value(outOption));
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    Tour tour(parser.value(outOption), parser.value(suffixOption));
    shared::Settings settings(QDir(work.path()).filePath(QStringLiteral("dialogs.ini")));
    widgets::QtUserDialogs userDialogs(&settings);
    dialogs(tour, userDialogs);
    if (parser.isSet(dialogsOption))
        return tour.failed() ? 1 : 0;
    return program(tour, work.path());
}
