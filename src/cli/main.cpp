// quadtherm-cli: the meter's requests from the command line, for scripts,
// remote machines and tests. The same protocol code as the desktop program,
// but no wait is endless: a meter that does not answer within the timeout
// ends the command with exit status 2, and SIGINT or SIGTERM end any wait at
// its next wake. `record` writes the same data files, with the same
// once-a-second cycle, as the desktop program; what it prints never holds it up.

#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/signal_watch.h"
#include "http/http_thread.h"
#include "meter_link/qt_serial_port.h"
#include "mqtt/mqtt_output.h"
#include "shared/clock.h"
#include "sim/simulated_serial_port.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QProcessEnvironment>

#include <cstdio>
#include <memory>
#include <optional>

using namespace quadtherm;
using namespace quadtherm::cli;

namespace {

constexpr int kDefaultTimeoutSeconds = 10;
constexpr int kMaxTimeoutSeconds = 86400;

// --listen and --listen-auth-file, taken out of a command's arguments: they
// belong to the commands that run the live poll.
std::optional<http::ListenOptions> takeListen(const QString& command, QStringList& args) {
    QString error;
    auto listen = http::takeListenOptions(args, &error);
    if (!error.isEmpty())
        throw UsageError{error};
    if (listen && command != QStringLiteral("watch") && command != QStringLiteral("record"))
        throw UsageError{QStringLiteral("--listen is an option of watch and record")};
    return listen;
}

// The web server of --listen, listening before the meter's port is opened:
// an address in use or an auth file others may read is a usage error, and
// nothing is sent to the meter.
std::unique_ptr<http::HttpThread> serve(const http::ListenOptions& listen, const QString& port,
                                        Console& console) {
    http::HttpThread::Options options;
    options.where = listen.where;
    options.port = port;
    QString error;
    if (!listen.authFile.isEmpty()) {
        options.credentials = http::Credentials::load(listen.authFile, &error);
        if (!options.credentials) {
            console.error(error);
            return nullptr;
        }
    }
    auto web = std::make_unique<http::HttpThread>(options);
    if (!web->listen(&error)) {
        console.error(QStringLiteral("cannot listen on %1: %2")
                          .arg(http::hostAndPort(listen.where.address, listen.where.port), error));
        return nullptr;
    }
    console.error(QStringLiteral("serving %1 (the live page; /metrics for Prometheus, /api/live "
                                 "as JSON)")
                      .arg(web->url()));
    if (http::listensBeyondThisComputer(web->address()))
        console.error(QStringLiteral("listening on %1, beyond this computer: whoever can reach "
                                     "it can read the meter's readings%2")
                          .arg(http::hostAndPort(web->address(), web->port()),
                               options.credentials
                                   ? QString()
                                   : QStringLiteral(" (--listen-auth-file asks for a password)")));
    return web;
}

int run(QStringList args, Console& console, const SignalWatch& signalWatch) {
    QString device;
    bool simulate = false;
    int timeout = kDefaultTimeoutSeconds;
    bool json = false;
    Command command;
    std::optional<ExportRequest> exportRequest;
    std::optional<http::ListenOptions> listen;
    std::optional<mqtt::MqttOptions> mqttOptions;
    try {
        auto taken = mqtt::takeMqttOptions(args, QProcessEnvironment::systemEnvironment());
        if (!taken.error.isEmpty())
            throw UsageError{taken.error};
        mqttOptions = taken.options;
        while (!args.isEmpty() && args.first().startsWith("--")) {
            const QString option = args.takeFirst();
            if (option == "--help") {
                console.print(usage());
                return 0;
            }
            if (option == "--simulate") {
                simulate = true;
            } else if (option == "--json") {
                json = true;
            } else if ((option == "--port" || option == "--timeout") && !args.isEmpty()) {
                const QString value = args.takeFirst();
                if (option == "--port")
                    device = value;
                else
                    timeout = int(wholeNumber(value, "the timeout", 1, kMaxTimeoutSeconds));
            } else {
                throw UsageError{QStringLiteral("unknown or incomplete option '%1'").arg(option)};
            }
        }
        // A data file to convert: no meter, and its own choice of JSON.
        if (!args.isEmpty() && args.first() == "export") {
            if (mqttOptions)
                throw UsageError{QStringLiteral("--mqtt goes with watch and record")};
            if (simulate || !device.isEmpty() || json)
                throw UsageError{QStringLiteral("export reads a file, not the meter: give it no "
                                                "--port, --simulate or --json (--to jsonl "
                                                "writes JSON lines)")};
            exportRequest = parseExport(args.mid(1));
        } else {
            if (simulate == !device.isEmpty())
                throw UsageError{QStringLiteral("give either --port DEVICE or --simulate")};
            if (args.isEmpty())
                throw UsageError{QStringLiteral("no command given")};
            const QString name = args.takeFirst();
            listen = takeListen(name, args);
            command = parseCommand(name, args);
            if (mqttOptions && name != "watch" && name != "record")
                throw UsageError{QStringLiteral("--mqtt goes with watch and record")};
        }
    } catch (const UsageError& e) {
        console.error(e.message);
        console.errorText(usageHint());
        return kExitUsage;
    }
    if (exportRequest)
        return runExport(*exportRequest, console, signalWatch);

    std::unique_ptr<http::HttpThread> web;
    if (listen && !(web = serve(*listen, simulate ? QStringLiteral("SIM") : device, console)))
        return kExitUsage;

    shared::SystemClock clock;
    std::unique_ptr<meter_link::SerialPort> port;
    if (simulate)
        port = std::make_unique<sim::SimulatedSerialPort>(clock);
    else
        port = std::make_unique<meter_link::QtSerialPort>(device);
    port->setSettings(QString::fromLatin1(meter_link::kMeterSettings));
    if (!port->open()) {
        console.error(
            QStringLiteral("cannot open %1: %2").arg(port->deviceName(), port->errorString()));
        return kExitNoAnswer;
    }
    try {
        Cli cli(*port, timeout, console, signalWatch);
        cli.setJson(json);
        if (web)
            web->attach(cli.session().outputs());
        const auto detach = qScopeGuard([&web] {
            if (web)
                web->detach();
        });
        std::unique_ptr<mqtt::MqttOutput> publishing;
        if (mqttOptions) {
            publishing =
                std::make_unique<mqtt::MqttOutput>(*mqttOptions, cli.session().outputs(), clock);
            QObject::connect(publishing.get(), &mqtt::MqttOutput::note, publishing.get(),
                             [&console](const QString& text) { console.error(text); });
        }
        return command(cli);
    } catch (const NoAnswer&) {
        console.error(QStringLiteral("the meter did not answer within %1 s on %2")
                          .arg(timeout)
                          .arg(port->deviceName()));
        return kExitNoAnswer;
    } catch (const Interrupted&) {
        console.error(QStringLiteral("interrupted by %1").arg(signalWatch.name()));
        return signalWatch.exitStatus();
    }
}

} // namespace

int main(int argc, char* argv[]) {
    // First of all, so that a signal during start-up waits for the first wait.
    if (!SignalWatch::install()) {
        std::perror("quadtherm-cli: cannot install the signal handlers");
        return kExitUsage;
    }
    // Taken before QCoreApplication removes the options it knows from argv
    // (-qmljsdebugger=...), so that every argument is ours to check.
    QStringList args;
    int notText = 0;
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        args.append(QString::fromUtf8(bytes));
        if (notText == 0 && args.last().toUtf8() != bytes)
            notText = i;
    }
    QCoreApplication app(argc, argv);
    const SignalWatch signalWatch;
    shared::SystemClock clock;
    Console console(clock, signalWatch);
    int status = kExitUsage;
    if (notText != 0) {
        // Read with replacement characters it would name another file.
        console.error(QStringLiteral("argument %1 is not UTF-8 text: '%2'")
                          .arg(notText)
                          .arg(args[notText - 1]));
        console.errorText(usageHint());
    } else {
        status = run(args, console, signalWatch);
    }
    console.finish();
    return status;
}
