#pragma once

#include "cli/console.h"
#include "cli/signal_watch.h"
#include "meter_link/meter_keys.h"
#include "meter_link/meter_protocol.h"
#include "recording/data_file.h"
#include "session/meter_session.h"
#include "shared/clock.h"
#include "shared/run_state.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace quadtherm::cli {

class ConsolePrinter;

inline constexpr int kExitUsage = 1;
inline constexpr int kExitNoAnswer = 2;
inline constexpr int kExitWriteFailed = 3;
inline constexpr int kExitConfigurationChanged = 4;
inline constexpr int kExitDamagedMemory = 5;

// How a command ends when a wait ends early: the meter's silence, or a
// signal.
struct NoAnswer {};
struct Interrupted {};

struct DownloadOptions {
    bool automatic = true;
    QString out;
    int set = 0; // 0: every set
    // Set files of an earlier download in `out` are replaced instead of refused.
    bool replace = false;
};

struct RecordOptions {
    QString path;
    int seconds = 1;
    qint64 records = -1; // no limit
    int recordsPerFile = recording::kRecordsPerFile;
};

// The commands of quadtherm-cli over one meter session: each returns the
// exit status, or throws NoAnswer or Interrupted.
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

    // One JSON object a line on standard output instead of the text lines.
    void setJson(bool json) { m_json = json; }

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

    // Where the web server of --listen takes the session's output from.
    session::MeterSession& session() { return m_session; }

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
    // The text line, or with --json the object as a line of its own.
    void say(const QString& text, const QJsonObject& json);

    // "37.5% Completed" on standard error while a dump arrives, when that
    // is a terminal; at most ten times a second.
    meter_link::MeterProtocol::Progress dumpProgress();
    void endDumpProgress();
    // Whether a dump arrived whole; a signal fails the command, and a dump
    // cut short is reported (nothing of it is written).
    template <typename Download> bool arrivedWhole(const Download& download);

    // The live poll until `done` sets an exit status: the session's own
    // timers, every tick with the whole timeout. `client` connects what it
    // needs and gives the printer of its output, which prints all the
    // session published before the status is returned.
    int
    runSession(std::function<std::unique_ptr<ConsolePrinter>(std::function<void(int status)> done)>
                   client);

    shared::SystemClock m_clock;
    shared::RunState m_state;
    session::MeterSession m_session;
    meter_link::MeterProtocol& m_protocol;
    qint64 m_timeoutMs;
    Console& m_console;
    const SignalWatch& m_signals;
    bool m_progressShown = false;
    bool m_json = false;
};

} // namespace quadtherm::cli
