// quadtherm: the desktop program. Without options the Port dialog asks for
// the COM number; --port DEVICE opens a device directly and --simulate runs
// on the built-in simulated meter.

#include "http/http_thread.h"
#include "main_window/status_texts.h"
#include "main_window/ui/alarm_sound.h"
#include "main_window/ui/panel.h"
#include "main_window/ui/status_bar.h"
#include "meter_link/port_numbering.h"
#include "meter_link/qt_serial_port.h"
#include "meter_link/ui/port_dialog.h"
#include "mqtt/mqtt_output.h"
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
#include <QProcessEnvironment>

#include <cstdio>
#include <memory>

using namespace quadtherm;

namespace {

const QString kAppTitle = QStringLiteral("QuadTherm");

// The system's reason goes with the message, and for a device the user may
// not use, how to be let in.
int noDevice(widgets::UserDialogs& dialogs, const QString& device, const QString& reason) {
    dialogs.message(
        nullptr, QStringLiteral("No device found, try again!"), kAppTitle,
        widgets::UserDialogs::Icon::Critical, QMessageBox::Ok,
        main_window::portOpenDetails(device, reason, main_window::ownerGroupOf(device)));
    return 1;
}

// The web server of --listen on a thread of its own, listening before the
// meter session starts. Nothing when it cannot (a bad address, the address in
// use, an auth file others may read): the message box and standard error say
// why, and the program ends.
std::unique_ptr<http::HttpThread> serve(widgets::UserDialogs& dialogs, const QString& address,
                                        const QString& authFile, const QString& port) {
    const auto refuse = [&](const QString& why) -> std::unique_ptr<http::HttpThread> {
        std::fprintf(stderr, "quadtherm: %s\n", qPrintable(why));
        dialogs.message(nullptr, QStringLiteral("The web server cannot start."), kAppTitle,
                        widgets::UserDialogs::Icon::Critical, QMessageBox::Ok, why);
        return nullptr;
    };
    QString error;
    http::HttpThread::Options options;
    options.port = port;
    const auto where = http::parseListenAddress(address, &error);
    if (!where)
        return refuse(error);
    options.where = *where;
    if (!authFile.isEmpty() && !(options.credentials = http::Credentials::load(authFile, &error)))
        return refuse(error);
    auto web = std::make_unique<http::HttpThread>(options);
    if (!web->listen(&error))
        return refuse(QStringLiteral("cannot listen on %1: %2")
                          .arg(http::hostAndPort(where->address, where->port), error));
    std::fprintf(stderr, "quadtherm: serving %s\n", qPrintable(web->url()));
    if (http::listensBeyondThisComputer(web->address()))
        std::fprintf(stderr,
                     "quadtherm: listening on %s, beyond this computer: whoever can reach it "
                     "can read the meter's readings\n",
                     qPrintable(http::hostAndPort(web->address(), web->port())));
    return web;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setWindowIcon(widgets::applicationIcon());
    // The same dark look on every desktop, from the first dialog on.
    widgets::theme::applyToApplication();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Four-channel thermocouple thermometer companion"));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Open the meter on DEVICE without asking."),
                                        QStringLiteral("DEVICE"));
    const QCommandLineOption simulateOption(QStringLiteral("simulate"),
                                            QStringLiteral("Use the built-in simulated meter."));
    const QCommandLineOption resetOption(
        QStringLiteral("reset-settings"),
        QStringLiteral("Forget what was remembered (the last port, where the windows were, the "
                       "last folder, the alarm sound) and start afresh."));
    const QCommandLineOption listenOption(
        QStringLiteral("listen"),
        QStringLiteral("Serve the live page, Prometheus metrics (/metrics) and JSON (/api/live) "
                       "read-only on [ADDRESS:]PORT (127.0.0.1 unless ADDRESS is given)."),
        QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption authOption(
        QStringLiteral("listen-auth-file"),
        QStringLiteral("Ask web clients for a user and password from the user:password lines "
                       "of FILE (its owner's alone)."),
        QStringLiteral("FILE"));
    parser.addOption(portOption);
    parser.addOption(simulateOption);
    parser.addOption(resetOption);
    parser.addOption(listenOption);
    parser.addOption(authOption);
    mqtt::describeMqttOptions(parser);
    // The MQTT options are taken out before the parser sees them, and
    // checked before the port is opened.
    QStringList arguments = QApplication::arguments();
    const auto mqttTaken =
        mqtt::takeMqttOptions(arguments, QProcessEnvironment::systemEnvironment());
    if (!mqttTaken.error.isEmpty()) {
        std::fprintf(stderr, "quadtherm: %s\n", mqttTaken.error.toUtf8().constData());
        return 1;
    }
    parser.process(arguments);

    shared::Settings settings;
    if (parser.isSet(resetOption))
        settings.reset();
    widgets::WindowPlaces places(settings, widgets::WindowPlaces::programWindows());
    shared::RunState state;
    shared::ViewState view;
    widgets::QtUserDialogs dialogs(&settings);
    shared::SystemClock clock;
    bool simulate = parser.isSet(simulateOption);
    QString device;
    QString deviceLabel;
    if (simulate) {
        deviceLabel = QStringLiteral("SIM");
    } else {
        device = parser.value(portOption);
        if (device.isEmpty()) {
            state.link.PortNumber = static_cast<qint16>(settings.lastPortNumber());
            meter_link::PortDialog dialog(state.link);
            if (dialog.exec() != QDialog::Accepted)
                return 0; // closed without OK: no window is left open
            device = meter_link::devicePathForPort(state.link.PortNumber);
        } else {
            for (const auto& detected : meter_link::detectPorts())
                if (detected.devicePath == device && detected.comNumber <= 16)
                    state.link.PortNumber = static_cast<qint16>(detected.comNumber);
        }
        deviceLabel = device;
    }
    const qint16 portNumber = state.link.PortNumber;

    std::unique_ptr<http::HttpThread> web;
    if (parser.isSet(authOption) && !parser.isSet(listenOption)) {
        std::fprintf(stderr, "quadtherm: --listen-auth-file needs --listen\n");
        return 1;
    }
    if (parser.isSet(listenOption) &&
        !(web = serve(dialogs, parser.value(listenOption), parser.value(authOption),
                      simulate ? deviceLabel : device)))
        return 1;

    // The meter session lives on a thread of its own, the port with it: no
    // window can hold a reading up.
    auto thread = std::make_unique<session::SessionThread>(
        clock, state, [simulate, device, &clock]() -> std::unique_ptr<meter_link::SerialPort> {
            if (simulate)
                return std::make_unique<sim::SimulatedSerialPort>(clock);
            return std::make_unique<meter_link::QtSerialPort>(device);
        });
    QString reason;
    if (!thread->openPort(&reason))
        return noDevice(dialogs, device, reason);
    if (!simulate)
        settings.setLastPort(portNumber, device);

    if (web)
        web->attach(thread->session().outputs());
    std::unique_ptr<mqtt::MqttOutput> publishing;
    if (mqttTaken.options) {
        publishing = std::make_unique<mqtt::MqttOutput>(*mqttTaken.options,
                                                        thread->session().outputs(), clock);
        QObject::connect(publishing.get(), &mqtt::MqttOutput::note, [](const QString& text) {
            std::fprintf(stderr, "quadtherm: %s\n", text.toUtf8().constData());
        });
    }

    auto client = std::make_unique<session::SessionClient>(thread->session(), clock);
    main_window::DesktopAlarmOutput alarmOutput;
    auto panel = std::make_unique<main_window::Panel>(*client, view, dialogs, deviceLabel,
                                                      portNumber, &settings, &alarmOutput);
    if (publishing) {
        main_window::StatusBar& bar = panel->bottomBar();
        QObject::connect(publishing.get(), &mqtt::MqttOutput::note, &bar,
                         &main_window::StatusBar::showMqttNote);
        QObject::connect(publishing.get(), &mqtt::MqttOutput::connectionChanged, &bar,
                         &main_window::StatusBar::showMqttConnected);
    }
    panel->Form_Load();
    panel->show();
    const int status = app.exec();
    // The windows first, then the session on its thread, then their link.
    panel.reset();
    publishing.reset();
    web.reset();
    thread.reset();
    client.reset();
    return status;
}
