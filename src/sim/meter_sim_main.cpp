// quadtherm-meter-sim: the simulated meter on a pseudo-terminal. The first line
// on stdout is the device to open; every later line is the device after a
// simulated unplug and replug (SIGUSR1). SIGUSR2 presses C/F.
#include "sim/pty_server.h"
#include "sim/simulated_meter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

using quadtherm::sim::SimulatedMeter;

int g_signalPipe[2] = {-1, -1};

extern "C" void onSignal(int signo) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

bool installSignals() {
    if (::pipe(g_signalPipe) != 0)
        return false;
    for (int fd : g_signalPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signo : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2}) {
        if (::sigaction(signo, &action, nullptr) != 0)
            return false;
    }
    return true;
}

int typeCodeOf(const QString& text) {
    static const QString kLetters = QStringLiteral("KJETRSNLUBC");
    bool numeric = false;
    const int code = text.toInt(&numeric);
    if (numeric)
        return code >= 0 && code <= 15 ? code : -1;
    return text.size() == 1 ? int(kLetters.indexOf(text.at(0).toUpper())) : -1;
}

void fail(const QString& message) {
    std::fprintf(stderr, "quadtherm-meter-sim: %s\n", qPrintable(message));
    std::exit(2);
}

int intOption(const QCommandLineParser& parser, const QString& name, int low, int high) {
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < low || value > high)
        fail(QStringLiteral("--%1 must be a whole number from %2 to %3")
                 .arg(name)
                 .arg(low)
                 .arg(high));
    return value;
}

// A comma-separated list of whole numbers within a range, in `base`.
QList<int> intList(const QCommandLineParser& parser, const QString& name, int low, int high,
                   int base = 10) {
    QList<int> values;
    if (!parser.isSet(name))
        return values;
    for (const QString& item : parser.value(name).split(u',')) {
        bool ok = false;
        const int value = item.trimmed().toInt(&ok, base);
        if (!ok || value < low || value > high)
            fail(QStringLiteral("--%1 takes a list of %2 from %3 to %4")
                     .arg(name,
                          base == 16 ? QStringLiteral("hexadecimal numbers")
                                     : QStringLiteral("whole numbers"),
                          QString::number(low, base).toUpper(),
                          QString::number(high, base).toUpper()));
        values.append(value);
    }
    return values;
}

SimulatedMeter::DemoSets demoSets(const QCommandLineParser& parser) {
    SimulatedMeter::DemoSets demo;
    demo.count = intOption(parser, QStringLiteral("sets"), 0, 100000);
    demo.records = {intOption(parser, QStringLiteral("records"), 0, 0xFFFFFF)};
    if (parser.isSet(QStringLiteral("set-records")))
        demo.records = intList(parser, QStringLiteral("set-records"), 0, 0xFFFFFF);
    demo.masks = intList(parser, QStringLiteral("set-masks"), 0, 15, 16);
    demo.intervals = intList(parser, QStringLiteral("set-intervals"), 1, 255);
    if (parser.isSet(QStringLiteral("set-units"))) {
        for (const QString& item : parser.value(QStringLiteral("set-units")).split(u',')) {
            const QString unit = item.trimmed().toUpper();
            if (unit != u"C" && unit != u"F")
                fail(QStringLiteral("--set-units takes a list of C and F"));
            demo.fahrenheit.append(unit == u"F");
        }
    }
    return demo;
}

double positiveOption(const QCommandLineParser& parser, const QString& name) {
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || value <= 0.0)
        fail(QStringLiteral("--%1 must be a positive number").arg(name));
    return value;
}

void configure(const QCommandLineParser& parser, SimulatedMeter& meter) {
    bool ok = false;
    meter.setLineSpeed(positiveOption(parser, QStringLiteral("speed")));
    meter.setDumpSpeed(positiveOption(parser, QStringLiteral("dump-speed")));
    meter.setFahrenheit(parser.isSet(QStringLiteral("fahrenheit")));
    meter.setStrict(!parser.isSet(QStringLiteral("lax")));
    if (parser.isSet(QStringLiteral("types"))) {
        const QStringList types = parser.value(QStringLiteral("types")).split(u',');
        if (types.size() > 4)
            fail(QStringLiteral("--types takes at most four types"));
        for (int k = 0; k < types.size(); ++k) {
            const int code = typeCodeOf(types[k].trimmed());
            if (code < 0)
                fail(QStringLiteral("unknown thermocouple type \"%1\"").arg(types[k]));
            meter.channel(k).typeCode = code;
        }
    }
    if (parser.isSet(QStringLiteral("no-probe"))) {
        for (const QString& item : parser.value(QStringLiteral("no-probe")).split(u',')) {
            const int channel = item.trimmed().toInt(&ok);
            if (!ok || channel < 1 || channel > 4)
                fail(QStringLiteral("--no-probe takes channel numbers 1 to 4"));
            meter.channel(channel - 1).probePresent = false;
        }
    }
    meter.memory().setSizeCode(intOption(parser, QStringLiteral("memsize"), 1, 255));
    meter.setSamplingInterval(intOption(parser, QStringLiteral("interval"), 1, 255));
    const int manual = intOption(parser, QStringLiteral("manual"), 0, 255);
    if (!meter.fillDemoData(demoSets(parser), manual))
        std::fprintf(stderr, "quadtherm-meter-sim: memory full, demo data cut short\n");
    if (parser.isSet(QStringLiteral("damaged-set")))
        meter.memory().setDamagedSet(intOption(parser, QStringLiteral("damaged-set"), 1, 100000));
    if (parser.isSet(QStringLiteral("stall-dump-after")))
        meter.stallNextDumpAfter(
            intOption(parser, QStringLiteral("stall-dump-after"), 0, 0x7FFFFFFF));
    meter.setGarbage(parser.isSet(QStringLiteral("garbage")));
    meter.setSilent(parser.isSet(QStringLiteral("silent")));
}

void declareOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Simulated four-channel thermocouple meter on a pseudo-terminal.\n"
        "Prints the device path as the first line of standard output. SIGUSR1\n"
        "simulates unplugging and replugging the adapter; SIGUSR2 switches the unit\n"
        "between degrees C and F; SIGTERM or SIGINT end it."));
    parser.addHelpOption();
    const auto option = [&](const char* name, const char* text, const char* valueName = nullptr,
                            const char* fallback = nullptr) {
        QCommandLineOption o(QString::fromLatin1(name), QString::fromLatin1(text));
        if (valueName)
            o.setValueName(QString::fromLatin1(valueName));
        if (fallback)
            o.setDefaultValue(QString::fromLatin1(fallback));
        parser.addOption(o);
    };
    option("speed", "Line speed factor; 1 (the default) is the real 19200 baud pace.", "F", "1");
    option("fahrenheit", "The meter shows degrees F.");
    option("types", "Thermocouple types of T1..T4, letters or codes 0-15.", "K,K,J,T");
    option("no-probe", "Channels without a probe, e.g. 2,4.", "LIST");
    option("clock-unset", "Start with the meter clock unset (month 0, day 0).");
    option("sets", "Record sets in the logger memory (default 0).", "N", "0");
    option("records", "Records in each record set (default 20).", "M", "20");
    option("set-records", "Records of each set in turn, e.g. 20,5000,0 (instead of --records).",
           "LIST");
    option("set-masks",
           "Channel masks of the sets in turn, hexadecimal (bit 0 T1 ... bit 3 T4), "
           "e.g. F,5,2 (default F,5,2,B,C).",
           "LIST");
    option("set-units", "Units of the sets in turn, C or F (default C,F).", "LIST");
    option("set-intervals", "Sampling intervals of the sets in turn, 1-255 s (default --interval).",
           "LIST");
    option("damaged-set", "Record set N loses its marker in the memory dump.", "N");
    option("manual", "Manual readings in the logger memory, 0-255 (default 0).", "K", "0");
    option("dump-speed",
           "Memory dumps go F times faster than the line; 1 (the default) is the line's own pace.",
           "F", "1");
    option("stall-dump-after",
           "The first memory or manual dump longer than N bytes stops after N bytes and the meter "
           "falls silent.",
           "N");
    option("memsize", "Memory size code in units of 64 K (default 8: 512 K).", "N", "8");
    option("interval", "Meter sampling interval in seconds (default 2).", "S", "2");
    option("silent", "The meter sends nothing and answers nothing.");
    option("garbage", "Send garbage instead of reading frames.");
    option("seed", "Seed of the drift, garbage and demo data (default 1).", "N", "1");
    option("lax", "Answer requests that come without a status exchange first.");
    option("verbose", "Log every request received to standard error.");
    option("link", "Also keep a symlink at PATH pointing to the device.", "PATH");
}

// Reports each request the meter received on standard error, as it arrives.
void logRequests(const SimulatedMeter& meter, QCoreApplication& app) {
    auto* logTimer = new QTimer(&app);
    qsizetype reported = 0;
    QObject::connect(logTimer, &QTimer::timeout, &app, [&meter, reported]() mutable {
        const auto& log = meter.requestLog();
        for (; reported < log.size(); ++reported) {
            const auto& entry = log[reported];
            std::fprintf(stderr, "%10.3f s  %s%s\n", double(entry.atUs) / 1e6,
                         entry.bytes.toHex(' ').constData(),
                         entry.carriedOut ? "" : "  (refused: no status exchange)");
        }
    });
    logTimer->start(100);
}

} // namespace

int main(int argc, char* argv[]) {
    // First thing, so that an early SIGTERM still ends the program cleanly.
    if (!installSignals())
        fail(QStringLiteral("cannot install signal handlers"));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quadtherm-meter-sim"));

    QCommandLineParser parser;
    declareOptions(parser);
    parser.process(app);

    bool ok = false;
    const quint32 seed = parser.value(QStringLiteral("seed")).toUInt(&ok);
    if (!ok)
        fail(QStringLiteral("--seed must be a whole number"));
    SimulatedMeter meter(seed);
    configure(parser, meter);

    quadtherm::sim::PtyServer server(meter);
    if (parser.isSet(QStringLiteral("clock-unset")))
        meter.unsetClock(server.nowUs());
    else
        meter.setClock(QDateTime::currentDateTime(), server.nowUs());
    server.setLinkPath(parser.value(QStringLiteral("link")));

    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        unsigned char signo = 0;
        while (::read(g_signalPipe[0], &signo, 1) == 1) {
            if (signo == SIGUSR1)
                server.replug(1000);
            else if (signo == SIGUSR2)
                meter.setFahrenheit(!meter.fahrenheit());
            else
                QCoreApplication::quit();
        }
    });

    const auto announce = [](const QString& path) {
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
    };
    QObject::connect(&server, &quadtherm::sim::PtyServer::deviceReady, &app, announce);
    QObject::connect(&server, &quadtherm::sim::PtyServer::failed, &app, [](const QString& error) {
        std::fprintf(stderr, "quadtherm-meter-sim: %s\n", qPrintable(error));
        QCoreApplication::exit(1);
    });

    QString error;
    if (!server.start(&error))
        fail(error);
    announce(server.slavePath());

    if (parser.isSet(QStringLiteral("verbose")))
        logRequests(meter, app);
    return app.exec();
}
