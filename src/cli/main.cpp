// quadtherm-cli: the meter's requests from the command line, for scripts,
// remote machines and tests. The same protocol code as the desktop program,
// but no wait is endless: a meter that does not answer within the timeout
// ends the command with exit status 2, and SIGINT or SIGTERM end any wait at
// its next wake. `record` writes the same data files, with the same
// once-a-second cycle, as the desktop program; what it prints never holds it up.

#include "cli/console.h"
#include "cli/signal_watch.h"
#include "logger_memory/memory_download.h"
#include "logger_memory/memory_figures.h"
#include "meter_link/live_reading.h"
#include "meter_link/meter_keys.h"
#include "meter_link/meter_protocol.h"
#include "meter_link/qt_serial_port.h"
#include "recording/data_file.h"
#include "recording/data_file_writer.h"
#include "recording/meter_session.h"
#include "shared/clock.h"
#include "shared/reading_text.h"
#include "shared/whole_number.h"
#include "sim/simulated_serial_port.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>

#include <csignal>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include <unistd.h>

using namespace quadtherm;
using cli::Console;
using cli::SignalWatch;
using meter_link::MeterProtocol;
using recording::MeterSession;
using recording::RecordingEnd;

namespace {

constexpr int kExitUsage = 1;
constexpr int kExitNoAnswer = 2;
constexpr int kExitWriteFailed = 3;
constexpr int kExitConfigurationChanged = 4;
constexpr int kExitDamagedMemory = 5;
constexpr int kDefaultTimeoutSeconds = 10;
constexpr int kMaxTimeoutSeconds = 86400;
constexpr int kMaxRecordSeconds = 86400;
constexpr int kMaxMeterSeconds = 255;
constexpr qint64 kMaxCount = std::numeric_limits<int>::max();

const char* const kUsageHead =
    R"(usage: quadtherm-cli (--port DEVICE | --simulate) [--timeout SECONDS] COMMAND

Talks to the meter over its serial line. Every request is preceded by the
meter's status exchange, as in the desktop program.

Options:
  --port DEVICE       the serial device (e.g. /dev/ttyUSB0)
  --simulate          use the built-in simulated meter
  --timeout SECONDS   give up when the meter does not answer (1..86400, default 10)
  --help              this text

Commands:
)";

const char* const kUsageTail = R"(
Numbers are whole numbers within the ranges shown (counts N: 1..2147483647);
anything else is a usage error, and nothing is sent to the meter. Ctrl-C or
SIGTERM ends any wait within about 0.1 s.

Exit status: 0 done (also a recording ended by Ctrl-C or SIGTERM, and an
empty memory), 1 usage error (or download --set naming a set the memory does
not hold), 2 the meter did not answer, stopped sending in the middle of a
download, or the port failed, 3 a data file could not be written, 4 a probe,
a type or the unit changed (or the link was rebuilt) while recording, 5 the
meter's memory data is damaged (the record sets before the damage are
written), 130 ended by Ctrl-C (SIGINT), 143 ended by SIGTERM (record too,
when the recording had not started yet).
)";

const char* const kUsageHint = "Try 'quadtherm-cli --help' for the options and commands.\n";

struct UsageError {
    QString message;
};
struct NoAnswer {};
struct Interrupted {};

qint64 wholeNumber(const QString& text, const QString& what, qint64 low, qint64 high) {
    const auto n = shared::wholeNumberIn(text, low, high);
    if (!n)
        throw UsageError{QStringLiteral("%1 must be a whole number from %2 to %3, not '%4'")
                             .arg(what, QString::number(low), QString::number(high), text)};
    return *n;
}

// One of a few allowed whole numbers; `allowed` reads "5, 15 or 30".
int oneOf(const QString& text, const std::vector<int>& values, const QString& what,
          const QString& allowed) {
    const auto n = shared::wholeNumberIn(text, std::numeric_limits<int>::min(),
                                         std::numeric_limits<int>::max());
    if (!n || std::find(values.begin(), values.end(), int(*n)) == values.end())
        throw UsageError{QStringLiteral("%1 is %2, not '%3'").arg(what, allowed, text)};
    return int(*n);
}

void noMoreArgs(const QStringList& args) {
    if (!args.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument '%1'").arg(args.first())};
}

struct DownloadOptions {
    bool automatic = true;
    QString out;
    int set = 0; // 0: every set
};

struct RecordOptions {
    QString path;
    int seconds = 1;
    qint64 records = -1; // no limit
    int recordsPerFile = recording::kRecordsPerFile;
};

class Cli {
public:
    Cli(meter_link::SerialPort& port, int timeoutSeconds, Console& console,
        const SignalWatch& signalWatch)
        : m_session(port, m_clock, m_state), m_protocol(m_session.protocol()),
          m_timeoutMs(qint64(timeoutSeconds) * 1000), m_console(console), m_signals(signalWatch) {
        QObject::connect(&signalWatch, &SignalWatch::received, &m_protocol,
                         [this] { m_protocol.stop(); });
        arm();
    }

    int status();
    int readClock();
    int setClock();
    int readInterval();
    int setInterval(int seconds);
    int readPowerOff();
    int setPowerOff(int minutes);
    int readMemorySize();
    int setMemorySize(int code);
    int press(const QString& name, meter_link::KeyCode key, bool held);
    int erase(bool automatic);
    int watch(qint64 count);
    int record(const RecordOptions& options);
    int downloadRecordSets(const DownloadOptions& options);
    int downloadManualReadings(const QString& path);

private:
    // Each exchange gets the whole timeout.
    void arm() { m_protocol.setGiveUpAfter(m_timeoutMs); }
    // A wait that ended early: a signal, or else the meter's silence.
    [[noreturn]] void fail() const {
        if (m_signals.first() != 0)
            throw Interrupted{};
        throw NoAnswer{};
    }
    template <typename T> T need(std::optional<T> value) {
        if (!value)
            fail();
        return *value;
    }
    void need(bool ok) {
        if (!ok)
            fail();
    }
    // Lets the serial line send what was written before the program ends. The
    // request is out: only a signal, not the deadline, makes this a failure.
    void settle() {
        if (!m_protocol.Delay(0.1) && m_signals.first() != 0)
            throw Interrupted{};
    }
    void print(const QString& text) { m_console.print(text); }

    // "37.5% Completed" on standard error while a dump arrives, when that
    // is a terminal; at most ten times a second.
    meter_link::MeterProtocol::Progress dumpProgress();
    void endDumpProgress();

    // The live poll until `done` sets an exit status: the session's own
    // timers, every tick with the whole timeout.
    int runSession(std::function<void(std::function<void(int status)> done)> client);

    shared::SystemClock m_clock;
    shared::RunState m_state;
    MeterSession m_session;
    MeterProtocol& m_protocol;
    qint64 m_timeoutMs;
    Console& m_console;
    const SignalWatch& m_signals;
    bool m_progressShown = false;
};

int Cli::status() {
    need(m_protocol.QueryStatus());
    print(QStringLiteral("memory_pointer: %1\nmanual_count: %2\n")
              .arg(qint64(m_state.link.MemoryPointer))
              .arg(m_state.link.ManualCount));
    return 0;
}

int Cli::readClock() {
    print(need(m_protocol.readMeterClock()).text() + u'\n');
    return 0;
}

int Cli::setClock() {
    const QDateTime now = m_clock.now();
    need(m_protocol.setMeterClock(now));
    settle();
    print(QStringLiteral("meter clock set to %1\n")
              .arg(now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))));
    return 0;
}

int Cli::readInterval() {
    print(QString::number(need(m_protocol.readMeterInterval())) + u'\n');
    return 0;
}

int Cli::setInterval(int seconds) {
    need(m_protocol.setMeterInterval(seconds));
    settle();
    print(QStringLiteral("meter sampling interval set to %1 s\n").arg(seconds));
    return 0;
}

int Cli::readPowerOff() {
    // Only 02 n 03 with a code 0..2 answers; a garbled reply, or stray bytes
    // before it, is asked again like the other reads (issue 9: they printed
    // a wrong time, or an unknown code with status 0). The last bytes count,
    // as in every reply.
    for (;;) {
        need(m_protocol.QueryStatus());
        m_protocol.sendCommand('V', 0x00, 0x00, 0x00);
        need(m_protocol.Delay(0.02));
        const QByteArray reply = m_protocol.readAllWaiting().right(3);
        if (reply.size() == 3 && quint8(reply[0]) == meter_link::kStx &&
            quint8(reply[2]) == meter_link::kEtx && quint8(reply[1]) <= 2) {
            print(QString::number(meter_link::kPowerOffMinutes[quint8(reply[1])]) + u'\n');
            return 0;
        }
    }
}

int Cli::setPowerOff(int minutes) {
    const auto& all = meter_link::kPowerOffMinutes;
    need(
        m_protocol.setPowerOffIndex(int(std::find(all.begin(), all.end(), minutes) - all.begin())));
    settle();
    print(QStringLiteral("power-off time set to %1 minutes\n").arg(minutes));
    return 0;
}

int Cli::readMemorySize() {
    std::optional<int> code;
    while (!(code = m_protocol.readMemorySize()) && !m_protocol.stopped()) {
    }
    const int n = need(code);
    print(QStringLiteral("%1 (%2 K)\n").arg(n).arg(n * 64));
    return 0;
}

int Cli::setMemorySize(int code) {
    need(m_protocol.setMemorySize(code));
    settle();
    print(QStringLiteral("memory size set to %1 (%2 K)\n").arg(code).arg(code * 64));
    return 0;
}

int Cli::press(const QString& name, meter_link::KeyCode key, bool held) {
    need(m_protocol.pressKey(key));
    print(QStringLiteral("pressed %1%2\n").arg(name, held ? QStringLiteral(" (long)") : QString()));
    return 0;
}

int Cli::erase(bool automatic) {
    need(m_protocol.eraseMemory(automatic ? meter_link::kEraseRecordSets
                                          : meter_link::kEraseManualReadings));
    print(automatic ? QStringLiteral("record sets erased\n")
                    : QStringLiteral("manual readings erased\n"));
    return 0;
}

int Cli::runSession(std::function<void(std::function<void(int)> done)> client) {
    QEventLoop loop;
    int status = -1;
    const auto done = [&](int code) {
        if (status >= 0)
            return;
        status = code;
        m_session.stop();
        loop.quit();
    };
    m_session.setTickDeadline(m_timeoutMs);
    QObject::connect(&m_session, &MeterSession::meterSilent, &loop, [&] {
        done(m_signals.first() != 0 ? m_signals.exitStatus() : kExitNoAnswer);
    });
    client(done);
    m_session.start();
    loop.exec();
    if (status == kExitNoAnswer)
        throw NoAnswer{};
    return status;
}

int Cli::watch(qint64 count) {
    qint64 printed = 0;
    return runSession([&](std::function<void(int)> done) {
        QObject::connect(&m_signals, &SignalWatch::received, &m_session, [this, done] {
            m_console.error(QStringLiteral("interrupted by %1").arg(m_signals.name()));
            done(m_signals.exitStatus());
        });
        QObject::connect(&m_session, &MeterSession::frameRead, &m_session, [&, done](int k) {
            const auto& live = m_state.live;
            const QString shown = shared::shownReadingText(
                live.ProbePresent[k], live.OverRange[k], live.UnderRange[k],
                live.LiveTextF[k] + QStringLiteral(" °F  ") + live.LiveTextC[k] +
                    QStringLiteral(" °C"));
            const QString letter =
                live.TypeLetter[k].isEmpty() ? QStringLiteral("?") : live.TypeLetter[k];
            print(QStringLiteral("T%1  %2  %3\n").arg(k + 1).arg(letter, shown));
            if (++printed == count)
                done(0);
        });
    });
}

// The desktop's live poll and once-a-second cycle, from the same session.
// Recording starts once the link is up and a tick found the channels stable;
// a later change of configuration ends it, as it does on the desktop. The
// file is written and synced before its line is printed, and printing only
// queues the line: a reader who does not keep up costs printed lines, never
// records (issue 9).
int Cli::record(const RecordOptions& options) {
    auto& rec = m_state.recording;
    m_session.recorder().setRecordsPerFile(options.recordsPerFile);
    m_console.setWhenBlocked(Console::WhenBlocked::Drop);
    // A reader that went away must not end the recording either.
    std::signal(SIGPIPE, SIG_IGN);
    bool started = false;
    qint64 printed = 0;
    return runSession([&](std::function<void(int)> done) {
        const auto finish = [this, done](int code, const QString& why = {}) {
            if (!why.isEmpty())
                m_console.error(why);
            done(code);
        };
        // Ctrl-C or SIGTERM is how a recording is meant to end: status 0 once
        // the file exists. Before that the command was interrupted like any other.
        QObject::connect(&m_signals, &SignalWatch::received, &m_session, [&, finish] {
            if (started)
                finish(0);
            else
                finish(m_signals.exitStatus(),
                       QStringLiteral("interrupted by %1").arg(m_signals.name()));
        });
        QObject::connect(&m_session, &MeterSession::frameRead, &m_session,
                         [&, finish](int, bool stable) {
                             if (started || !stable)
                                 return;
                             QString error;
                             if (!m_session.startRecording(options.path, &error)) {
                                 finish(kExitWriteFailed, error);
                                 return;
                             }
                             started = true;
                             rec.PcSamplingSeconds = float(options.seconds);
                             rec.PcSamplingTick = 0.0f;
                         });
        QObject::connect(&m_session, &MeterSession::recordWritten, &m_session,
                         [&, finish](qint64 number, const QString& timestamp,
                                     const shared::PerChannel<QString>& texts) {
                             printed = number;
                             print(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                                       .arg(QString::number(number), timestamp, texts[0], texts[1],
                                            texts[2], texts[3]));
                             if (printed == options.records)
                                 finish(0);
                         });
        QObject::connect(&m_session, &MeterSession::recordingEnded, &m_session,
                         [&, finish](RecordingEnd why, const QString& error) {
                             switch (why) {
                             case RecordingEnd::Stopped:
                                 return;
                             case RecordingEnd::WriteFailed:
                                 finish(kExitWriteFailed, error);
                                 return;
                             case RecordingEnd::LinkRebuilt:
                                 finish(kExitConfigurationChanged,
                                        QStringLiteral("the link to the meter was rebuilt: "
                                                       "recording stopped after %1 records")
                                            .arg(printed));
                                 return;
                             case RecordingEnd::ConfigurationChanged:
                                 finish(kExitConfigurationChanged,
                                        QStringLiteral("a probe, a type or the unit changed: "
                                                       "recording stopped after %1 records")
                                            .arg(printed));
                                 return;
                             }
                         });
    });
}

meter_link::MeterProtocol::Progress Cli::dumpProgress() {
    if (!::isatty(STDERR_FILENO))
        return {};
    auto lastMs = std::make_shared<qint64>(-1000);
    return [this, lastMs](qint64 received, qint64 total) {
        const qint64 now = m_clock.elapsedMs();
        if (received < total && now - *lastMs < 100)
            return;
        *lastMs = now;
        m_progressShown = true;
        m_console.errorText(u'\r' + logger_memory::progressText(received, total));
    };
}

void Cli::endDumpProgress() {
    if (m_progressShown)
        m_console.errorText(QStringLiteral("\n"));
    m_progressShown = false;
}

// The automatic download as the desktop program runs it, each set written as
// the downloaded-data list saves it. Damaged memory data still gives the
// sets before the damage; a meter that stops sending in the middle gives no
// file at all, so that nothing on disk looks complete that is not.
int Cli::downloadRecordSets(const DownloadOptions& options) {
    need(logger_memory::readMemoryStatus(m_protocol, m_state));
    if (!logger_memory::holdsRecordSets(m_state.link)) {
        print(QStringLiteral("No Data in Memory\n"));
        return 0;
    }
    const auto download = logger_memory::downloadRecordSets(m_protocol, dumpProgress());
    endDumpProgress();
    if (download.end == logger_memory::DumpEnd::Stopped)
        fail();
    if (!download.complete()) {
        m_console.error(
            logger_memory::unfinishedText(download.end, download.received, download.expected) +
            QStringLiteral(" Nothing was written."));
        return kExitNoAnswer;
    }
    const auto& sets = download.walk.sets;
    if (options.set > sets.size() && !download.damaged()) {
        m_console.error(QStringLiteral("there is no record set %1: the memory holds %2")
                            .arg(options.set)
                            .arg(sets.size()));
        return kExitUsage;
    }
    if (!QDir().mkpath(options.out)) {
        m_console.error(
            recording::cannotWrite(options.out, QStringLiteral("cannot make the folder")));
        return kExitWriteFailed;
    }
    for (const auto& set : sets) {
        if (options.set != 0 && set.number != options.set)
            continue;
        QString error;
        const QString path = QDir(options.out).filePath(logger_memory::setFileName(set.number));
        if (!logger_memory::writeSetFile(set, path, &error)) {
            m_console.error(error);
            return kExitWriteFailed;
        }
        print(logger_memory::setListCells(set).join(u'\t') + u'\n');
    }
    if (download.damaged()) {
        m_console.error(logger_memory::damageText(download.walk));
        return kExitDamagedMemory;
    }
    return 0;
}

int Cli::downloadManualReadings(const QString& path) {
    m_protocol.discardInput();
    need(m_protocol.QueryStatus());
    if (m_state.link.ManualCount == 0) {
        print(QStringLiteral("No Manually Recroded Data in Memoy!\n"));
        return 0;
    }
    const auto download =
        logger_memory::downloadManualReadings(m_protocol, m_state, dumpProgress());
    endDumpProgress();
    if (download.end == logger_memory::DumpEnd::Stopped)
        fail();
    if (!download.complete()) {
        m_console.error(
            logger_memory::unfinishedText(download.end, download.received, download.expected) +
            QStringLiteral(" Nothing was written."));
        return kExitNoAnswer;
    }
    QString error;
    if (!logger_memory::writeManualFile(download.readings.rows, path, &error)) {
        m_console.error(error);
        return kExitWriteFailed;
    }
    for (const QStringList& row : download.readings.rows)
        print(row.join(u'\t') + u'\n');
    return 0;
}

DownloadOptions downloadOptions(QStringList args) {
    DownloadOptions options;
    if (args.isEmpty() || (args[0] != "auto" && args[0] != "manual"))
        throw UsageError{QStringLiteral("download takes auto or manual")};
    options.automatic = args.takeFirst() == "auto";
    while (!args.isEmpty()) {
        const QString option = args.takeFirst();
        if (args.isEmpty())
            throw UsageError{QStringLiteral("download: '%1' needs a value").arg(option)};
        const QString value = args.takeFirst();
        if (option == "--out")
            options.out = value;
        else if (option == "--set" && options.automatic)
            options.set = int(wholeNumber(value, "the set number", 1, kMaxCount));
        else
            throw UsageError{QStringLiteral("download: unknown option '%1'").arg(option)};
    }
    if (options.out.isEmpty())
        throw UsageError{options.automatic ? QStringLiteral("download auto needs --out DIR")
                                           : QStringLiteral("download manual needs --out FILE")};
    return options;
}

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
            options.seconds = int(wholeNumber(value, "the interval", 1, kMaxRecordSeconds));
        } else if (option == "--records") {
            options.records = wholeNumber(value, "--records", 1, kMaxCount);
        } else if (option == "--split-records") {
            options.recordsPerFile = int(wholeNumber(value, "--split-records", 1, kMaxCount));
        } else {
            throw UsageError{QStringLiteral("record: unknown option '%1'").arg(option)};
        }
    }
    if (options.path.isEmpty())
        throw UsageError{QStringLiteral("record needs --out FILE")};
    return options;
}

using Command = std::function<int(Cli&)>;

// A command of the tool: its name, its lines in --help, and the check of its
// arguments, which gives what to run. Every argument is checked before the
// port is opened.
struct CommandEntry {
    const char* name;
    const char* help;
    Command (*parse)(const QStringList& args);
};

const CommandEntry kCommands[] = {
    {"status", "  status                   memory pointer and number of manual readings\n",
     [](const QStringList& args) -> Command {
         noMoreArgs(args);
         return [](Cli& cli) { return cli.status(); };
     }},
    {"clock",
     "  clock                    the meter clock (yyyy/mm/dd hh:nn:ss)\n"
     "  clock --set              set the meter clock to this computer's clock\n",
     [](const QStringList& args) -> Command {
         if (args.isEmpty())
             return [](Cli& cli) { return cli.readClock(); };
         if (args != QStringList{"--set"})
             throw UsageError{QStringLiteral("clock takes only --set")};
         return [](Cli& cli) { return cli.setClock(); };
     }},
    {"interval",
     "  interval [N]             read, or set (1..255 s), the meter sampling interval\n",
     [](const QStringList& args) -> Command {
         if (args.isEmpty())
             return [](Cli& cli) { return cli.readInterval(); };
         if (args.size() != 1)
             throw UsageError{QStringLiteral("interval takes one number")};
         const int seconds = int(wholeNumber(args[0], "the interval", 1, kMaxMeterSeconds));
         return [seconds](Cli& cli) { return cli.setInterval(seconds); };
     }},
    {"poweroff",
     "  poweroff [5|15|30]       read, or set, the automatic power-off time in minutes\n",
     [](const QStringList& args) -> Command {
         if (args.isEmpty())
             return [](Cli& cli) { return cli.readPowerOff(); };
         if (args.size() != 1)
             throw UsageError{QStringLiteral("poweroff takes one of 5, 15 or 30")};
         const auto& all = meter_link::kPowerOffMinutes;
         const int minutes =
             oneOf(args[0], {all.begin(), all.end()}, QStringLiteral("the power-off time"),
                   QStringLiteral("5, 15 or 30 minutes"));
         return [minutes](Cli& cli) { return cli.setPowerOff(minutes); };
     }},
    {"memsize",
     "  memsize [N]              read, or set (1, 2, 4 or 8), the memory size in units of 64 K\n",
     [](const QStringList& args) -> Command {
         if (args.isEmpty())
             return [](Cli& cli) { return cli.readMemorySize(); };
         if (args.size() != 1)
             throw UsageError{QStringLiteral("memsize takes one number")};
         const auto& all = meter_link::kMemorySizes;
         const int code = oneOf(args[0], {all.begin(), all.end()},
                                QStringLiteral("the memory size"), QStringLiteral("1, 2, 4 or 8"));
         return [code](Cli& cli) { return cli.setMemorySize(code); };
     }},
    {"key",
     "  key NAME [--long]        press a key: READ ALARM CF SET TIME TYPE HOLD UP LEFT\n"
     "                           ENTER RIGHT DOWN MAXMIN MEM (--long for MAXMIN and MEM)\n",
     [](const QStringList& args) -> Command {
         if (args.isEmpty() || args.size() > 2 || (args.size() == 2 && args[1] != "--long"))
             throw UsageError{QStringLiteral("key takes a key name and optionally --long")};
         const QString name = args[0].toUpper();
         const auto* key = meter_link::findMeterKey(name.toLatin1().toStdString());
         if (!key)
             throw UsageError{QStringLiteral("unknown key '%1'").arg(args[0])};
         const bool held = args.size() == 2;
         if (held && !key->longPress)
             throw UsageError{QStringLiteral("only MAXMIN and MEM take --long")};
         const meter_link::KeyCode code = held ? *key->longPress : key->press;
         return [name, code, held](Cli& cli) { return cli.press(name, code, held); };
     }},
    {"erase", "  erase auto|manual --yes  erase the record sets or the manual readings\n",
     [](const QStringList& args) -> Command {
         if (args.isEmpty() || (args[0] != "auto" && args[0] != "manual"))
             throw UsageError{QStringLiteral("erase takes auto or manual")};
         if (args.size() != 2 || args[1] != "--yes")
             throw UsageError{QStringLiteral("erasing cannot be undone: add --yes to erase")};
         const bool automatic = args[0] == "auto";
         return [automatic](Cli& cli) { return cli.erase(automatic); };
     }},
    {"watch", "  watch [--count N]        poll like the live display and print each reading\n",
     [](const QStringList& args) -> Command {
         qint64 count = -1;
         if (!args.isEmpty()) {
             if (args.size() != 2 || args[0] != "--count")
                 throw UsageError{QStringLiteral("watch takes only --count N")};
             count = wholeNumber(args[1], "the count", 1, kMaxCount);
         }
         return [count](Cli& cli) { return cli.watch(count); };
     }},
    {"record",
     "  record --out FILE [--interval S] [--records N] [--split-records N]\n"
     "                           record like the desktop program: a \".4ch\" data file\n"
     "                           (a regular file, replaced if it exists) with one line\n"
     "                           every S seconds (1..86400, default 1), each line also\n"
     "                           printed; ends after N records, or on Ctrl-C or SIGTERM.\n"
     "                           After every N split records (default 320000) it goes\n"
     "                           on in FILE-1, FILE-2 ... (\"-n\" before the file name's\n"
     "                           first dot). Each line is synced to the storage device\n"
     "                           before it is printed. Printing never holds the\n"
     "                           recording up: when standard output is not read, lines\n"
     "                           are dropped from it (counted on standard error), never\n"
     "                           from the file.\n",
     [](const QStringList& args) -> Command {
         const RecordOptions options = recordOptions(args);
         return [options](Cli& cli) { return cli.record(options); };
     }},
    {"download",
     "  download auto --out DIR [--set N]\n"
     "                           read the record sets out of the meter's memory and\n"
     "                           write each as a \".4ch\" data file in its own unit,\n"
     "                           DIR/set-001.4ch, set-002.4ch ... (DIR is made if need\n"
     "                           be; files of those names are replaced), listing each\n"
     "                           set: number, start, interval (s), records, TAB\n"
     "                           between them. --set N writes only set N. A full 512 K\n"
     "                           memory takes about 4.5 minutes; the progress shows on\n"
     "                           standard error when that is a terminal.\n"
     "  download manual --out FILE\n"
     "                           read the manual readings into FILE, heading row first\n"
     "                           (unit, date and time, \"K: 25.4\" for T1 to T4), and\n"
     "                           print them.\n",
     [](const QStringList& args) -> Command {
         const DownloadOptions options = downloadOptions(args);
         if (options.automatic)
             return [options](Cli& cli) { return cli.downloadRecordSets(options); };
         return [options](Cli& cli) { return cli.downloadManualReadings(options.out); };
     }},
};

QString usage() {
    QString text = QString::fromUtf8(kUsageHead);
    for (const CommandEntry& command : kCommands)
        text += QString::fromUtf8(command.help);
    return text + QString::fromUtf8(kUsageTail);
}

Command parseCommand(const QString& name, const QStringList& args) {
    for (const CommandEntry& command : kCommands)
        if (name == QLatin1String(command.name))
            return command.parse(args);
    throw UsageError{QStringLiteral("unknown command '%1'").arg(name)};
}

int run(QStringList args, Console& console, const SignalWatch& signalWatch) {
    QString device;
    bool simulate = false;
    int timeout = kDefaultTimeoutSeconds;
    Command command;
    try {
        while (!args.isEmpty() && args.first().startsWith("--")) {
            const QString option = args.takeFirst();
            if (option == "--help") {
                console.print(usage());
                return 0;
            }
            if (option == "--simulate") {
                simulate = true;
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
        if (simulate == !device.isEmpty())
            throw UsageError{QStringLiteral("give either --port DEVICE or --simulate")};
        if (args.isEmpty())
            throw UsageError{QStringLiteral("no command given")};
        const QString name = args.takeFirst();
        command = parseCommand(name, args);
    } catch (const UsageError& e) {
        console.error(e.message);
        console.errorText(QString::fromUtf8(kUsageHint));
        return kExitUsage;
    }

    std::unique_ptr<meter_link::SerialPort> port;
    if (simulate)
        port = std::make_unique<sim::SimulatedSerialPort>();
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
    QCoreApplication app(argc, argv);
    const SignalWatch signalWatch;
    shared::SystemClock clock;
    Console console(clock, signalWatch);
    const int status = run(app.arguments().mid(1), console, signalWatch);
    console.finish();
    return status;
}
