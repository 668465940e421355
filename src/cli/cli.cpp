#include "cli/cli.h"

#include "cli/commands.h"
#include "cli/console_printer.h"
#include "cli/json_replies.h"
#include "logger_memory/memory_download.h"
#include "logger_memory/memory_figures.h"
#include "meter_link/live_reading.h"
#include "recording/reading_json.h"

#include <QDir>
#include <QEventLoop>

#include <csignal>

#include <unistd.h>

namespace quadtherm::cli {

using meter_link::MeterProtocol;
using recording::RecordingEnd;
using session::MeterSession;

void Cli::say(const QString& text, const QJsonObject& json) {
    print(m_json ? QString::fromUtf8(recording::jsonLine(json)) : text);
}

int Cli::status() {
    need(m_protocol.QueryStatus());
    say(QStringLiteral("memory_pointer: %1\nmanual_count: %2\n")
            .arg(qint64(m_state.link.MemoryPointer))
            .arg(m_state.link.ManualCount),
        statusJson(qint64(m_state.link.MemoryPointer), m_state.link.ManualCount));
    return 0;
}

int Cli::readClock() {
    const meter_link::MeterClock clock = need(m_protocol.readMeterClock());
    say(clock.text() + u'\n', clockJson(clock));
    return 0;
}

int Cli::setClock() {
    const QDateTime now = m_clock.now();
    need(m_protocol.setMeterClock(now));
    settle();
    say(QStringLiteral("meter clock set to %1\n")
            .arg(now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))),
        clockSetJson(now));
    return 0;
}

int Cli::readInterval() {
    const int seconds = need(m_protocol.readMeterInterval());
    say(QString::number(seconds) + u'\n', intervalJson(seconds, false));
    return 0;
}

int Cli::setInterval(int seconds) {
    need(m_protocol.setMeterInterval(seconds));
    settle();
    say(QStringLiteral("meter sampling interval set to %1 s\n").arg(seconds),
        intervalJson(seconds, true));
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
            const int minutes = meter_link::kPowerOffMinutes[quint8(reply[1])];
            say(QString::number(minutes) + u'\n', powerOffJson(minutes, false));
            return 0;
        }
    }
}

int Cli::setPowerOff(int minutes) {
    const auto& all = meter_link::kPowerOffMinutes;
    need(
        m_protocol.setPowerOffIndex(int(std::find(all.begin(), all.end(), minutes) - all.begin())));
    settle();
    say(QStringLiteral("power-off time set to %1 minutes\n").arg(minutes),
        powerOffJson(minutes, true));
    return 0;
}

int Cli::readMemorySize() {
    std::optional<int> code;
    while (!(code = m_protocol.readMemorySize()) && !m_protocol.stopped()) {
    }
    const int n = need(code);
    say(QStringLiteral("%1 (%2 K)\n").arg(n).arg(n * 64), memorySizeJson(n, false));
    return 0;
}

int Cli::setMemorySize(int code) {
    need(m_protocol.setMemorySize(code));
    settle();
    say(QStringLiteral("memory size set to %1 (%2 K)\n").arg(code).arg(code * 64),
        memorySizeJson(code, true));
    return 0;
}

int Cli::press(const QString& name, meter_link::KeyCode key, bool held) {
    need(m_protocol.pressKey(key));
    say(QStringLiteral("pressed %1%2\n").arg(name, held ? QStringLiteral(" (long)") : QString()),
        keyJson(name, held));
    return 0;
}

int Cli::erase(bool automatic) {
    need(m_protocol.eraseMemory(automatic ? meter_link::kEraseRecordSets
                                          : meter_link::kEraseManualReadings));
    say(automatic ? QStringLiteral("record sets erased\n")
                  : QStringLiteral("manual readings erased\n"),
        erasedJson(automatic));
    return 0;
}

int Cli::runSession(
    std::function<std::unique_ptr<ConsolePrinter>(std::function<void(int)> done)> client) {
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
    std::unique_ptr<ConsolePrinter> printer = client(done);
    m_session.start();
    loop.exec();
    // Before the status: the printer prints what the session published last.
    // (How the loop ended, not the printer, decides the status.)
    printer.reset();
    if (status == kExitNoAnswer)
        throw NoAnswer{};
    return status;
}

int Cli::watch(qint64 count) {
    return runSession([&](std::function<void(int)> done) {
        QObject::connect(&m_signals, &SignalWatch::received, &m_session, [this, done] {
            m_console.error(QStringLiteral("interrupted by %1").arg(m_signals.name()));
            done(m_signals.exitStatus());
        });
        return std::make_unique<ConsolePrinter>(m_session.outputs(), m_console,
                                                ConsolePrinter::Prints::Frames, m_json, count,
                                                [done] { done(0); });
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
        QObject::connect(&m_session, &MeterSession::recordingEnded, &m_session,
                         [finish](RecordingEnd why, const QString& error, qint64 records) {
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
                                            .arg(records));
                                 return;
                             case RecordingEnd::ConfigurationChanged:
                                 finish(kExitConfigurationChanged,
                                        QStringLiteral("a probe, a type or the unit changed: "
                                                       "recording stopped after %1 records")
                                            .arg(records));
                                 return;
                             }
                         });
        // The file is written and synced before the record is published, and
        // a counted recording ends once its last record was printed.
        return std::make_unique<ConsolePrinter>(m_session.outputs(), m_console,
                                                ConsolePrinter::Prints::Records, m_json,
                                                options.records, [finish] { finish(0); });
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
template <typename Download> bool Cli::arrivedWhole(const Download& download) {
    if (download.end == logger_memory::DumpEnd::Stopped)
        fail();
    if (download.complete())
        return true;
    m_console.error(
        logger_memory::unfinishedText(download.end, download.received, download.expected) +
        QStringLiteral(" Nothing was written."));
    return false;
}

int Cli::downloadRecordSets(const DownloadOptions& options) {
    need(logger_memory::readMemoryStatus(m_protocol, m_state));
    if (!logger_memory::holdsRecordSets(m_state.link)) {
        // With --json standard output holds JSON lines only: none for no set.
        if (m_json)
            m_console.error(QStringLiteral("No Data in Memory"));
        else
            print(QStringLiteral("No Data in Memory\n"));
        return 0;
    }
    const auto download = logger_memory::downloadRecordSets(m_protocol, dumpProgress());
    endDumpProgress();
    if (!arrivedWhole(download))
        return kExitNoAnswer;
    const auto& sets = download.walk.sets;
    if (options.set > sets.size() && !download.damaged()) {
        m_console.error(QStringLiteral("there is no record set %1: the memory holds %2")
                            .arg(options.set)
                            .arg(sets.size()));
        return kExitUsage;
    }
    QList<logger_memory::RecordSet> chosen;
    for (const auto& set : sets)
        if (options.set == 0 || set.number == options.set)
            chosen.append(set);
    // A set asked for that lies beyond damaged data leaves nothing to write:
    // no folder is made for it, and no old file is touched.
    if (!chosen.isEmpty()) {
        // Set files that came meanwhile are refused as they are before the download.
        if (const QStringList held = logger_memory::setFilesIn(options.out);
            !options.replace && !held.isEmpty()) {
            m_console.error(setFilesHeldText(options.out, held));
            return kExitUsage;
        }
        // Old set files the damaged memory gave no new set for may be the only
        // copies of those sets: they stay.
        QString error;
        if (!logger_memory::writeSetFiles(chosen, options.out,
                                          options.replace && !download.damaged(), &error)) {
            m_console.error(error);
            return kExitWriteFailed;
        }
        for (const auto& set : chosen)
            say(logger_memory::setListCells(set).join(u'\t') + u'\n',
                recordSetJson(set,
                              QDir(options.out).filePath(logger_memory::setFileName(set.number))));
    }
    if (download.damaged()) {
        m_console.error(logger_memory::damageText(download.walk));
        if (options.replace) {
            QStringList kept = logger_memory::setFilesIn(options.out);
            for (const auto& set : chosen)
                kept.removeAll(logger_memory::setFileName(set.number));
            if (!kept.isEmpty())
                m_console.error(QStringLiteral("Kept the set files of an earlier download that "
                                               "no set read now replaced: %1")
                                    .arg(kept.join(QStringLiteral(", "))));
        }
        return kExitDamagedMemory;
    }
    return 0;
}

int Cli::downloadManualReadings(const QString& path) {
    m_protocol.discardInput();
    need(m_protocol.QueryStatus());
    if (m_state.link.ManualCount == 0) {
        if (m_json)
            m_console.error(QStringLiteral("No Manually Recroded Data in Memoy!"));
        else
            print(QStringLiteral("No Manually Recroded Data in Memoy!\n"));
        return 0;
    }
    const auto download =
        logger_memory::downloadManualReadings(m_protocol, m_state, dumpProgress());
    endDumpProgress();
    if (!arrivedWhole(download))
        return kExitNoAnswer;
    QString error;
    if (!logger_memory::writeManualFile(download.readings.rows, path, &error)) {
        m_console.error(error);
        return kExitWriteFailed;
    }
    qint64 number = 0;
    for (const QStringList& row : download.readings.rows)
        say(row.join(u'\t') + u'\n', manualReadingJson(++number, row));
    return 0;
}

} // namespace quadtherm::cli
