// quadtherm: the desktop program. Without options the Port dialog asks for
// the COM number; --port DEVICE opens a device directly and --simulate runs
// on the built-in simulated meter.

#include "main_window/ui/panel.h"
#include "meter_link/port_numbering.h"
#include "meter_link/qt_serial_port.h"
#include "meter_link/ui/port_dialog.h"
#include "shared/clock.h"
#include "sim/simulated_serial_port.h"
#include "widgets/user_dialogs.h"

#include <QApplication>
#include <QCommandLineParser>

#include <memory>

using namespace quadtherm;

namespace {

const QString kAppTitle = QStringLiteral("QuadTherm");

int noDevice(widgets::UserDialogs& dialogs) {
    dialogs.message(nullptr, QStringLiteral("No device found, try again!"), kAppTitle,
                    widgets::UserDialogs::Icon::Critical);
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    // The same look on every desktop; the main window themes it dark.
    QApplication::setStyle(QStringLiteral("Fusion"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Four-channel thermocouple thermometer companion"));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Open the meter on DEVICE without asking."),
                                        QStringLiteral("DEVICE"));
    const QCommandLineOption simulateOption(QStringLiteral("simulate"),
                                            QStringLiteral("Use the built-in simulated meter."));
    parser.addOption(portOption);
    parser.addOption(simulateOption);
    parser.process(app);

    shared::RunState state;
    widgets::QtUserDialogs dialogs;
    shared::SystemClock clock;
    std::unique_ptr<meter_link::SerialPort> port;
    QString deviceLabel;
    if (parser.isSet(simulateOption)) {
        port = std::make_unique<sim::SimulatedSerialPort>();
        deviceLabel = QStringLiteral("SIM");
    } else {
        QString device = parser.value(portOption);
        if (device.isEmpty()) {
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
        port = std::make_unique<meter_link::QtSerialPort>(device);
    }
    if (!port->setSettings(QString::fromLatin1(meter_link::kMeterSettings)) || !port->open())
        return noDevice(dialogs);

    session::MeterSession session(*port, clock, state);
    main_window::Panel panel(session, dialogs, deviceLabel);
    panel.Form_Load();
    panel.show();
    return app.exec();
}
