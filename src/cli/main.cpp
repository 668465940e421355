// quadtherm-cli: the meter's requests from the command line, for scripts,
// remote machines and tests. The same protocol code as the desktop program,
// but no wait is endless: a meter that does not answer within the timeout
// ends the command with exit status 2. `record` writes the same data files,
// with the same once-a-second cycle, as the desktop program.

#include "main_window/live_tick.h"
#include "main_window/sampling.h"
#include "meter_link/meter_keys.h"
#include "meter_link/meter_protocol.h"
#include "meter_link/qt_serial_port.h"
#include "recording/data_file.h"
#include "recording/display_cycle.h"
#include "recording/recorder.h"
#include "shared/clock.h"
#include "shared/reading_text.h"
#include "sim/simulated_serial_port.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <memory>

using namespace quadtherm;
using main_window::TickOutcome;
using meter_link::MeterProtocol;

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitNoAnswer = 2;
constexpr int kExitWriteFailed = 3;
constexpr int kExitConfigurationChanged = 4;
constexpr int kTickMs = 50;
constexpr int kCycleMs = 1000;

const char* const kUsage =
    R"(usage: quadtherm-cli (--port DEVICE | --simulate) [--timeout SECONDS] COMMAND

Talks to the meter over its serial line. Every request is preceded by the
meter's status exchange, as in the desktop program.

Options:
  --port DEVICE       the serial device (e.g. /dev/ttyUSB0)
  --simulate          use the built-in simulated meter
  --timeout SECONDS   give up when the meter does not answer (default 10)
  --help              this text

Commands:
  status                   memory pointer and number of manual readings
  clock                    the meter clock (yyyy/mm/dd hh:nn:ss)
  clock --set              set the meter clock to this computer's clock
  interval [N]             read, or set (1..255 s), the meter sampling interval
  poweroff [5|15|30]       read, or set, the automatic power-off time in minutes
  memsize [N]              read, or set (1, 2, 4 or 8; others become 1), the memory size
  key NAME [--long]        press a key: READ ALARM CF SET TIME TYPE HOLD UP LEFT
                           ENTER RIGHT DOWN MAXMIN MEM (--long for MAXMIN and MEM)
  erase auto|manual --yes  erase the record sets or the manual readings
  watch [--count N]        poll like the live display and print each reading
  record --out FILE [--interval S] [--records N] [--split-records N]
                           record like the desktop program: a ".4ch" data file
                           with one line every S seconds (1..86400, default 1),
                           each line also printed; ends after N records, or on
                           Ctrl-C or SIGTERM with every line written. After every
                           N split records (default 320000) it goes on in FILE-1,
                           FILE-2 ... ("-n" before the file name's first dot).

Exit status: 0 done, 1 usage error, 2 the meter did not answer or the port failed,
3 a data file could not be written, 4 a probe, a type or the unit changed (or
the link was rebuilt) while recording.
)";

const char* const kUsageHint = "Try 'quadtherm-cli --help' for the options and commands.\n";

volatile std::sig_atomic_t g_interrupted = 0;

struct UsageError {
    QString message;
};

int toInt(const QString& text, const char* what) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        throw UsageError{QStringLiteral("%1 must be a whole number, not '%2'").arg(what, text)};
    return n;
}

class Cli {
public:
    Cli(meter_link::SerialPort& port, int timeoutSeconds, QTextStream& out)
        : m_port(port), m_protocol(port, m_clock, m_state), m_timeoutMs(timeoutSeconds * 1000),
          m_out(out) {}

    int run(const QString& command, QStringList args);

private:
    // Each exchange gets the whole timeout.
    void arm() { m_protocol.setGiveUpAfter(m_timeoutMs); }
    template <typename T> T need(std::optional<T> value) {
        if (!value)
            throw NoAnswer{};
        return *value;
    }
    void need(bool ok) {
        if (!ok)
            throw NoAnswer{};
    }
    // Lets the serial line send what was written before the program ends.
    void settle() { m_protocol.Delay(0.1); }

    void status();
    void clock(const QStringList& args);
    void interval(const QStringList& args);
    void poweroff(const QStringList& args);
    void memsize(const QStringList& args);
    void key(const QStringList& args);
    void erase(const QStringList& args);
    void watch(const QStringList& args);
    int record(const QStringList& args);

public:
    struct NoAnswer {};

private:
    meter_link::SerialPort& m_port;
    shared::SystemClock m_clock;
    shared::RunState m_state;
    MeterProtocol m_protocol;
    int m_timeoutMs;
    QTextStream& m_out;
};

void noMoreArgs(const QStringList& args) {
    if (!args.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument '%1'").arg(args.first())};
}

int Cli::run(const QString& command, QStringList args) {
    arm();
    if (command == "status") {
        noMoreArgs(args);
        status();
    } else if (command == "clock") {
        clock(args);
    } else if (command == "interval") {
        interval(args);
    } else if (command == "poweroff") {
        poweroff(args);
    } else if (command == "memsize") {
        memsize(args);
    } else if (command == "key") {
        key(args);
    } else if (command == "erase") {
        erase(args);
    } else if (command == "watch") {
        watch(args);
    } else if (command == "record") {
        return record(args);
    } else {
        throw UsageError{QStringLiteral("unknown command '%1'").arg(command)};
    }
    return 0;
}

void Cli::status() {
    need(m_protocol.QueryStatus());
    m_out << "memory_pointer: " << qint64(m_state.link.MemoryPointer) << '\n'
          << "manual_count: " << m_state.link.ManualCount << '\n';
}

void Cli::clock(const QStringList& args) {
    if (args.isEmpty()) {
        m_out << need(m_protocol.readMeterClock()).text() << '\n';
        return;
    }
    if (args != QStringList{"--set"})
        throw UsageError{QStringLiteral("clock takes only --set")};
    const QDateTime now = m_clock.now();
    need(m_protocol.setMeterClock(now));
    settle();
    m_out << "meter clock set to " << now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) << '\n';
}

void Cli::interval(const QStringList& args) {
    if (args.isEmpty()) {
        m_out << need(m_protocol.readMeterInterval()) << '\n';
        return;
    }
    if (args.size() != 1)
        throw UsageError{QStringLiteral("interval takes one number")};
    const int seconds = std::clamp(toInt(args[0], "the interval"), 1, 255);
    need(m_protocol.setMeterInterval(seconds));
    settle();
    m_out << "meter sampling interval set to " << seconds << " s\n";
}

void Cli::poweroff(const QStringList& args) {
    static constexpr int kMinutes[] = {5, 15, 30};
    if (args.isEmpty()) {
        // A short reply is the desktop program's cue to re-synchronise; here
        // the request is simply asked again until the timeout.
        std::optional<int> index;
        while (!(index = m_protocol.readPowerOffIndex()) && !m_protocol.stopped()) {
        }
        const int i = need(index);
        if (i >= 0 && i <= 2)
            m_out << kMinutes[i] << '\n';
        else
            m_out << "unknown power-off code " << i << '\n';
        return;
    }
    if (args.size() != 1)
        throw UsageError{QStringLiteral("poweroff takes one of 5, 15 or 30")};
    const int minutes = toInt(args[0], "the power-off time");
    const auto it = std::find(std::begin(kMinutes), std::end(kMinutes), minutes);
    if (it == std::end(kMinutes))
        throw UsageError{QStringLiteral("the power-off time is 5, 15 or 30 minutes")};
    need(m_protocol.setPowerOffIndex(static_cast<int>(it - std::begin(kMinutes))));
    settle();
    m_out << "power-off time set to " << minutes << " minutes\n";
}

void Cli::memsize(const QStringList& args) {
    if (args.isEmpty()) {
        std::optional<int> code;
        while (!(code = m_protocol.readMemorySize()) && !m_protocol.stopped()) {
        }
        const int n = need(code);
        m_out << n << " (" << n * 64 << " K)\n";
        return;
    }
    if (args.size() != 1)
        throw UsageError{QStringLiteral("memsize takes one number")};
    int code = toInt(args[0], "the memory size");
    if (code != 1 && code != 2 && code != 4 && code != 8)
        code = 1;
    need(m_protocol.setMemorySize(code));
    settle();
    m_out << "memory size set to " << code << " (" << code * 64 << " K)\n";
}

void Cli::key(const QStringList& args) {
    if (args.isEmpty() || args.size() > 2 || (args.size() == 2 && args[1] != "--long"))
        throw UsageError{QStringLiteral("key takes a key name and optionally --long")};
    const QByteArray name = args[0].toUpper().toLatin1();
    const auto* key = meter_link::findMeterKey(name.toStdString());
    if (!key)
        throw UsageError{QStringLiteral("unknown key '%1'").arg(args[0])};
    const bool held = args.size() == 2;
    if (held && !key->longPress)
        throw UsageError{QStringLiteral("only MAXMIN and MEM take --long")};
    need(m_protocol.pressKey(held ? *key->longPress : key->press));
    m_out << "pressed " << QString::fromLatin1(name) << (held ? " (long)" : "") << '\n';
}

void Cli::erase(const QStringList& args) {
    if (args.isEmpty() || (args[0] != "auto" && args[0] != "manual"))
        throw UsageError{QStringLiteral("erase takes auto or manual")};
    if (args.size() != 2 || args[1] != "--yes")
        throw UsageError{QStringLiteral("erasing cannot be undone: add --yes to erase")};
    const bool automatic = args[0] == "auto";
    need(m_protocol.eraseMemory(automatic ? meter_link::kEraseRecordSets
                                          : meter_link::kEraseManualReadings));
    m_out << (automatic ? "record sets erased\n" : "manual readings erased\n");
}

void Cli::watch(const QStringList& args) {
    int count = -1;
    if (!args.isEmpty()) {
        if (args.size() != 2 || args[0] != "--count")
            throw UsageError{QStringLiteral("watch takes only --count N")};
        count = toInt(args[1], "the count");
        if (count < 1)
            throw UsageError{QStringLiteral("the count must be at least 1")};
    }
    const auto& live = m_state.live;
    qint64 nextTick = m_clock.elapsedMs();
    for (int printed = 0; (count < 0 || printed < count) && !g_interrupted;) {
        arm();
        const TickOutcome outcome = main_window::LiveTick(m_protocol, m_state);
        if (outcome == TickOutcome::Stopped)
            throw NoAnswer{};
        if (outcome == TickOutcome::Resynced)
            continue;
        if (outcome == TickOutcome::Changed)
            main_window::AcceptConfiguration(m_state);
        const int k = live.CurrentChannel;
        const QString shown =
            shared::shownReadingText(live.ProbePresent[k], live.OverRange[k], live.UnderRange[k],
                                     live.LiveTextF[k] + QStringLiteral(" °F  ") +
                                         live.LiveTextC[k] + QStringLiteral(" °C"));
        const QString letter =
            live.TypeLetter[k].isEmpty() ? QStringLiteral("?") : live.TypeLetter[k];
        m_out << 'T' << k + 1 << "  " << letter << "  " << shown << Qt::endl;
        ++printed;
        nextTick += kTickMs;
        const qint64 wait = nextTick - m_clock.elapsedMs();
        if (wait > 0)
            m_clock.sleep(static_cast<int>(wait));
        else
            nextTick = m_clock.elapsedMs();
    }
}

struct RecordOptions {
    QString path;
    float seconds = 1.0f;
    int records = -1; // no limit
    int recordsPerFile = recording::kRecordsPerFile;
};

RecordOptions recordOptions(QStringList args) {
    RecordOptions options;
    while (!args.isEmpty()) {
        const QString option = args.takeFirst();
        if (args.isEmpty())
            throw UsageError{QStringLiteral("record: '%1' needs a value").arg(option)};
        const QString value = args.takeFirst();
        if (option == "--out") {
            options.path = value;
        } else if (option == "--interval") {
            const auto seconds =
                main_window::intervalFromAnswer(value, main_window::kPcIntervalMax);
            if (!seconds)
                throw UsageError{
                    QStringLiteral("the interval must be a number, not '%1'").arg(value)};
            options.seconds = float(*seconds);
        } else if (option == "--records" || option == "--split-records") {
            const int n = toInt(value, "the number of records");
            if (n < 1)
                throw UsageError{QStringLiteral("%1 must be at least 1").arg(option)};
            (option == "--records" ? options.records : options.recordsPerFile) = n;
        } else {
            throw UsageError{QStringLiteral("record: unknown option '%1'").arg(option)};
        }
    }
    if (options.path.isEmpty())
        throw UsageError{QStringLiteral("record needs --out FILE")};
    return options;
}

// The desktop's two timers: the 50 ms live poll and the once-a-second cycle.
// Recording starts once the link is up and a tick found the channels stable;
// a later change of configuration ends it, as it does on the desktop.
int Cli::record(const QStringList& args) {
    const RecordOptions options = recordOptions(args);
    auto& live = m_state.live;
    auto& rec = m_state.recording;
    recording::Recorder recorder(rec);
    recorder.setRecordsPerFile(options.recordsPerFile);
    QTextStream err(stderr);

    QTimer Timer1, Timer2;
    Timer1.setInterval(kTickMs);
    Timer2.setInterval(kCycleMs);
    Timer2.setTimerType(Qt::PreciseTimer);
    QEventLoop loop;
    int status = -1;
    bool inTick = false;
    bool relinked = false;
    int written = 0;
    const auto finish = [&](int code, const QString& why = {}) {
        if (status >= 0)
            return;
        status = code;
        if (!why.isEmpty())
            err << "quadtherm-cli: " << why << Qt::endl;
        recorder.stop();
        Timer1.stop();
        Timer2.stop();
        m_protocol.stop();
        loop.quit();
    };
    QObject::connect(&m_protocol, &MeterProtocol::resyncStarted, [&] {
        Timer2.stop();
        relinked = recorder.active();
    });
    // A rebuilt link puts every alarm at the top of its range, as on the desktop.
    QObject::connect(&m_protocol, &MeterProtocol::resyncChannelDecoded, [&](int k) {
        m_state.live.PrevProbePresent[k] = m_state.live.ProbePresent[k];
    });
    QObject::connect(&m_protocol, &MeterProtocol::resyncFinished,
                     [&] { m_state.recording.HistoryCount = 0; });

    QObject::connect(&Timer1, &QTimer::timeout, [&] {
        if (g_interrupted)
            finish(0);
        if (inTick || status >= 0)
            return;
        inTick = true;
        const auto done = qScopeGuard([&] { inTick = false; });
        arm();
        switch (main_window::LiveTick(m_protocol, m_state)) {
        case TickOutcome::Resynced:
        case TickOutcome::Interrupted:
            return;
        case TickOutcome::Stopped:
            finish(g_interrupted ? 0 : kExitNoAnswer);
            return;
        case TickOutcome::Changed:
            if (recorder.active()) {
                finish(kExitConfigurationChanged,
                       relinked ? QStringLiteral("the link to the meter was rebuilt: "
                                                 "recording stopped after %1 records")
                                      .arg(written)
                                : QStringLiteral("a probe, a type or the unit changed: "
                                                 "recording stopped after %1 records")
                                      .arg(written));
                return;
            }
            main_window::AcceptConfiguration(m_state);
            return;
        case TickOutcome::Stable:
            break;
        }
        if (!rec.RecordingActive) {
            QString error;
            if (!recorder.start(options.path, live.MeterFahrenheit, live.TypeLetter, &error)) {
                finish(kExitWriteFailed, error);
                return;
            }
            rec.PcSamplingSeconds = options.seconds;
            rec.PcSamplingTick = 0.0f;
        }
        if (!Timer2.isActive())
            Timer2.start();
    });

    QObject::connect(&Timer2, &QTimer::timeout, [&] {
        const auto shown = recording::RunDisplayCycle(m_state);
        if (!shown || !recorder.active())
            return;
        shared::PerChannel<QString> textsC, textsF;
        for (int k = 0; k < shared::kChannels; ++k) {
            textsC[k] = shown->c[k].text;
            textsF[k] = shown->f[k].text;
        }
        const QString timestamp = recording::recordTimestamp(m_clock.now());
        const auto& texts = rec.RecordingFahrenheit ? textsF : textsC;
        QString error;
        if (!recorder.record(timestamp, textsC, textsF, &error)) {
            finish(kExitWriteFailed, error);
            return;
        }
        ++written;
        m_out << written << '\t' << timestamp << '\t' << texts[0] << '\t' << texts[1] << '\t'
              << texts[2] << '\t' << texts[3] << Qt::endl;
        recording::FinishCycle(rec);
        if (written == options.records)
            finish(0);
    });

    Timer1.start();
    loop.exec();
    if (status == kExitNoAnswer)
        throw NoAnswer{};
    return status;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);

    QString device;
    bool simulate = false;
    int timeout = 10;
    try {
        while (!args.isEmpty() && args.first().startsWith("--")) {
            const QString option = args.takeFirst();
            if (option == "--help") {
                out << kUsage;
                return 0;
            }
            if (option == "--simulate") {
                simulate = true;
            } else if ((option == "--port" || option == "--timeout") && !args.isEmpty()) {
                const QString value = args.takeFirst();
                if (option == "--port")
                    device = value;
                else if ((timeout = toInt(value, "the timeout")) < 1)
                    throw UsageError{QStringLiteral("the timeout must be at least 1 second")};
            } else {
                throw UsageError{QStringLiteral("unknown or incomplete option '%1'").arg(option)};
            }
        }
        if (simulate == !device.isEmpty())
            throw UsageError{QStringLiteral("give either --port DEVICE or --simulate")};
        if (args.isEmpty())
            throw UsageError{QStringLiteral("no command given")};
    } catch (const UsageError& e) {
        err << "quadtherm-cli: " << e.message << "\n" << kUsageHint;
        return kExitUsage;
    }

    std::unique_ptr<meter_link::SerialPort> port;
    if (simulate)
        port = std::make_unique<sim::SimulatedSerialPort>();
    else
        port = std::make_unique<meter_link::QtSerialPort>(device);
    port->setSettings(QString::fromLatin1(meter_link::kMeterSettings));
    if (!port->open()) {
        err << "quadtherm-cli: cannot open " << port->deviceName() << ": " << port->errorString()
            << '\n';
        return kExitNoAnswer;
    }
    std::signal(SIGINT, [](int) { g_interrupted = 1; });
    std::signal(SIGTERM, [](int) { g_interrupted = 1; });

    const QString command = args.takeFirst();
    Cli cli(*port, timeout, out);
    try {
        return cli.run(command, args);
    } catch (const UsageError& e) {
        err << "quadtherm-cli: " << e.message << "\n" << kUsageHint;
        return kExitUsage;
    } catch (const Cli::NoAnswer&) {
        out.flush();
        err << "quadtherm-cli: the meter did not answer within " << timeout << " s on "
            << port->deviceName() << '\n';
        return kExitNoAnswer;
    }
}
