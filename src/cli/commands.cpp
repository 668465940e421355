#include "cli/commands.h"

#include "logger_memory/memory_download.h"
#include "meter_link/meter_keys.h"
#include "meter_link/meter_protocol.h"
#include "mqtt/mqtt_options.h"
#include "shared/whole_number.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace quadtherm::cli {

namespace {

constexpr int kMaxRecordSeconds = 86400;
constexpr int kMaxMeterSeconds = 255;
constexpr qint64 kMaxCount = std::numeric_limits<int>::max();

const char* const kUsageHead =
    R"(usage: quadtherm-cli (--port DEVICE | --simulate) [--timeout SECONDS] [--json] COMMAND
       quadtherm-cli export FILE.4ch [--to csv|jsonl] [--out FILE] [--csv-dialect excel-eu]

Talks to the meter over its serial line. Every request is preceded by the
meter's status exchange, as in the desktop program.

Options:
  --port DEVICE       the serial device (e.g. /dev/ttyUSB0)
  --simulate          use the built-in simulated meter
  --timeout SECONDS   give up when the meter does not answer (1..86400, default 10)
  --json              print one JSON object a line (UTF-8) instead of text;
                      messages stay text on standard error
  --help              this text

Commands:
)";

const char* const kExportHelp =
    R"(  export FILE.4ch [--to csv|jsonl] [--out FILE] [--csv-dialect excel-eu]
                           convert a data file (a recording, a list save, a
                           downloaded set) to CSV (default: RFC 4180, UTF-8) or to
                           JSON lines, as record --json prints them; needs no
                           meter. CSV columns: record, time (ISO 8601 with the
                           offset), elapsed_s, then per channel its value (empty
                           unless ok) and its state (ok, over, under, no_probe,
                           empty). --csv-dialect excel-eu: semicolons and decimal
                           commas. --out FILE (default standard output) is written
                           aside and takes its name once whole. Stops at the first
                           line that is no record line, after the records before
                           it (exit status 5, the line named); 1 when FILE cannot
                           be read, 3 when the output cannot be written.
)";

const char* const kUsageTail = R"(
watch and record also serve what they read over HTTP, read-only:
  --listen [ADDRESS:]PORT  the live page at /, Prometheus metrics at /metrics,
                           JSON at /api/live and /api/history; on 127.0.0.1
                           unless ADDRESS is given (0.0.0.0: every address).
                           An address in use is a usage error.
  --listen-auth-file FILE  ask for a user and password (HTTP Basic) from the
                           "user:password" lines of FILE, which must be its
                           owner's alone (chmod 600)

Numbers are whole numbers in digits within the ranges shown (counts N:
1..2147483647); anything else, spaces around a number included, is a usage
error, and nothing is sent to the meter. Ctrl-C or SIGTERM ends any wait
within about 0.1 s.

Exit status: 0 done (also a recording ended by Ctrl-C or SIGTERM, and an
empty memory), 1 usage error (or download --set naming a set the memory does
not hold, or download auto into a folder holding set files without
--replace), 2 the meter did not answer, stopped sending in the middle of a
download, or the port failed, 3 a data file could not be written (a download
then writes none of its files), 4 a probe, a type or the unit changed (or
the link was rebuilt) while recording, 5 the meter's memory data is damaged
(the record sets before the damage are written), 130 ended by Ctrl-C
(SIGINT), 143 ended by SIGTERM (record too, when the recording had not
started yet).
)";

const char* const kUsageHint = "Try 'quadtherm-cli --help' for the options and commands.\n";

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

DownloadOptions downloadOptions(QStringList args) {
    DownloadOptions options;
    if (args.isEmpty() || (args[0] != "auto" && args[0] != "manual"))
        throw UsageError{QStringLiteral("download takes auto or manual")};
    options.automatic = args.takeFirst() == "auto";
    while (!args.isEmpty()) {
        const QString option = args.takeFirst();
        if (option == "--replace") {
            if (!options.automatic)
                throw UsageError{QStringLiteral("download: unknown option '%1'").arg(option)};
            options.replace = true;
            continue;
        }
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
    // New set files beside those of an earlier download would look like one
    // download: refused before the meter is asked for anything.
    if (options.automatic && !options.replace) {
        if (const QStringList held = logger_memory::setFilesIn(options.out); !held.isEmpty())
            throw UsageError{setFilesHeldText(options.out, held)};
    }
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
     "  download auto --out DIR [--set N] [--replace]\n"
     "                           read the record sets out of the meter's memory and\n"
     "                           write each as a \".4ch\" data file in its own unit,\n"
     "                           DIR/set-001.4ch, set-002.4ch ... (DIR is made if need\n"
     "                           be), listing each set: number, start, interval (s),\n"
     "                           records, TAB between them. --set N writes only set N.\n"
     "                           The files appear together once all are written; a\n"
     "                           download that cannot write them all writes none.\n"
     "                           A DIR that holds set files already is refused unless\n"
     "                           --replace is given: the old set files are then\n"
     "                           replaced, and those the new download did not write\n"
     "                           removed, once the new ones are whole (kept when the\n"
     "                           memory data is damaged). A full 512 K memory takes\n"
     "                           about 4.5 minutes; the progress shows on standard\n"
     "                           error when that is a terminal.\n"
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

} // namespace

qint64 wholeNumber(const QString& text, const QString& what, qint64 low, qint64 high) {
    const auto n = shared::wholeNumberIn(text, low, high);
    if (!n)
        throw UsageError{QStringLiteral("%1 must be a whole number from %2 to %3, not '%4'")
                             .arg(what, QString::number(low), QString::number(high), text)};
    return *n;
}

QString setFilesHeldText(const QString& folder, const QStringList& files) {
    constexpr qsizetype kNamed = 10;
    QString named = files.mid(0, kNamed).join(QStringLiteral(", "));
    if (files.size() > kNamed)
        named += QStringLiteral(" and %1 more").arg(files.size() - kNamed);
    return QStringLiteral("%1 already holds set files of an earlier download (%2): give "
                          "--replace to replace them, or another folder")
        .arg(folder, named);
}

QString usage() {
    QString text = QString::fromUtf8(kUsageHead);
    for (const CommandEntry& command : kCommands)
        text += QString::fromUtf8(command.help);
    text +=
        QStringLiteral("\nPublishing, with watch and record (the file is written first; a broker "
                       "that is\naway never holds the recording up):\n") +
        mqtt::mqttOptionsHelp();
    return text + QString::fromUtf8(kExportHelp) + QString::fromUtf8(kUsageTail);
}

Command parseCommand(const QString& name, const QStringList& args) {
    for (const CommandEntry& command : kCommands)
        if (name == QLatin1String(command.name))
            return command.parse(args);
    throw UsageError{QStringLiteral("unknown command '%1'").arg(name)};
}

ExportRequest parseExport(QStringList args) {
    ExportRequest request;
    bool dialectGiven = false;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (!arg.startsWith(QLatin1String("--"))) {
            if (!request.input.isEmpty())
                throw UsageError{QStringLiteral("export: unexpected argument '%1'").arg(arg)};
            request.input = arg;
            continue;
        }
        if (args.isEmpty())
            throw UsageError{QStringLiteral("export: '%1' needs a value").arg(arg)};
        const QString value = args.takeFirst();
        if (arg == "--out") {
            if (value.isEmpty())
                throw UsageError{QStringLiteral("export --out needs a file name")};
            request.out = value;
        } else if (arg == "--to") {
            if (value != "csv" && value != "jsonl")
                throw UsageError{
                    QStringLiteral("export --to takes csv or jsonl, not '%1'").arg(value)};
            request.options.format =
                value == "csv" ? recording::ExportFormat::Csv : recording::ExportFormat::JsonLines;
        } else if (arg == "--csv-dialect") {
            if (value != "excel-eu" && value != "rfc4180")
                throw UsageError{
                    QStringLiteral("export --csv-dialect takes excel-eu, not '%1'").arg(value)};
            request.options.dialect = value == "excel-eu" ? recording::CsvDialect::ExcelEu
                                                          : recording::CsvDialect::Standard;
            dialectGiven = true;
        } else {
            throw UsageError{QStringLiteral("export: unknown option '%1'").arg(arg)};
        }
    }
    if (request.input.isEmpty())
        throw UsageError{QStringLiteral("export needs the data file to convert")};
    if (dialectGiven && request.options.format != recording::ExportFormat::Csv)
        throw UsageError{QStringLiteral("export: --csv-dialect is for --to csv only")};
    return request;
}

QString usageHint() {
    return QString::fromUtf8(kUsageHint);
}

} // namespace quadtherm::cli
