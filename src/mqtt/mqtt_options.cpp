#include "mqtt/mqtt_options.h"

#include "shared/whole_number.h"

#include <QCommandLineParser>
#include <QFile>

namespace quadtherm::mqtt {

namespace {

// Far more than any password; a larger file is surely not the one meant.
constexpr qint64 kMaxPasswordFileBytes = 64 * 1024;
constexpr int kMaxQueueLimit = 1000000;

const char* const kUrlOption = "--mqtt";
const char* const kCaOption = "--mqtt-cafile";
const char* const kPasswordOption = "--mqtt-password-file";
const char* const kDiscoveryOption = "--mqtt-discovery";

struct Option {
    const char* name;
    const char* value; // nullptr for a switch
    const char* help;
};

const Option kOptions[] = {
    {kUrlOption, "URL",
     "publish the readings to an MQTT broker: mqtt://[USER@]HOST[:PORT]/PREFIX, or mqtts:// "
     "for TLS (ports 1883 and 8883 by default); topics PREFIX/T1 ... PREFIX/T4, "
     "PREFIX/status, PREFIX/alarm. The password comes from the environment variable "
     "QUADTHERM_MQTT_PASSWORD or --mqtt-password-file, never from the URL"},
    {kCaOption, "FILE",
     "the certificate authorities (PEM) that vouch for an mqtts:// broker (default: the "
     "system's)"},
    {kPasswordOption, "FILE", "read the broker password from the first line of FILE"},
    {kDiscoveryOption, nullptr, "announce the four channels to Home Assistant (MQTT discovery)"},
};

QString readPassword(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("cannot read the password file '%1': %2").arg(path, file.errorString());
        return {};
    }
    const QByteArray bytes = file.read(kMaxPasswordFileBytes + 1);
    if (bytes.size() > kMaxPasswordFileBytes) {
        *error = QStringLiteral("the password file '%1' is larger than %2 bytes")
                     .arg(path)
                     .arg(kMaxPasswordFileBytes);
        return {};
    }
    QByteArray line = bytes.left(bytes.indexOf('\n') < 0 ? bytes.size() : bytes.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    const QString password = QString::fromUtf8(line);
    if (password.toUtf8() != line)
        *error = QStringLiteral("the password in '%1' is not UTF-8 text").arg(path);
    return password;
}

} // namespace

TakenOptions takeMqttOptions(QStringList& args, const QProcessEnvironment& environment) {
    TakenOptions taken;
    std::optional<QString> url, caFile, passwordFile;
    bool discovery = false;
    QStringList kept;
    const auto fail = [&taken](const QString& error) {
        taken.error = error;
        return taken;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const Option* option = nullptr;
        QString value;
        bool inline_ = false;
        for (const Option& candidate : kOptions) {
            const QString name = QString::fromLatin1(candidate.name);
            if (arg == name || (candidate.value && arg.startsWith(name + u'='))) {
                option = &candidate;
                inline_ = arg != name;
                value = inline_ ? arg.mid(name.size() + 1) : QString();
            }
        }
        if (!option) {
            kept.append(arg);
            continue;
        }
        const QString name = QString::fromLatin1(option->name);
        if (!option->value) {
            if (discovery)
                return fail(QStringLiteral("%1 is given twice").arg(name));
            discovery = true;
            continue;
        }
        if (!inline_) {
            if (i + 1 >= args.size())
                return fail(
                    QStringLiteral("%1 needs a %2").arg(name, QLatin1String(option->value)));
            value = args[++i];
        }
        std::optional<QString>& slot = option->name == kUrlOption  ? url
                                       : option->name == kCaOption ? caFile
                                                                   : passwordFile;
        if (slot)
            return fail(QStringLiteral("%1 is given twice").arg(name));
        slot = value;
    }
    args = kept;

    if (!url) {
        for (const auto& [given, name] : {std::pair{caFile.has_value(), kCaOption},
                                          std::pair{passwordFile.has_value(), kPasswordOption},
                                          std::pair{discovery, kDiscoveryOption}})
            if (given)
                return fail(QStringLiteral("%1 goes with --mqtt URL").arg(QLatin1String(name)));
        return taken;
    }
    QString error;
    const auto broker = parseBrokerUrl(*url, &error);
    if (!broker)
        return fail(error);
    MqttOptions options;
    options.broker = *broker;
    options.discovery = discovery;
    if (caFile) {
        if (!broker->tls)
            return fail(QStringLiteral("--mqtt-cafile is for mqtts:// URLs (TLS)"));
        QFile file(*caFile);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read the CA file '%1': %2")
                            .arg(*caFile, file.errorString()));
        options.caFile = *caFile;
    }
    if (passwordFile) {
        options.password = readPassword(*passwordFile, &error);
        if (!error.isEmpty())
            return fail(error);
    } else if (environment.contains(QStringLiteral("QUADTHERM_MQTT_PASSWORD"))) {
        options.password = environment.value(QStringLiteral("QUADTHERM_MQTT_PASSWORD"));
    }
    // MQTT 3.1.1 sends a password only with a user name.
    if (options.password && broker->user.isEmpty())
        return fail(QStringLiteral("a broker password was given (%1) but the URL names no user: "
                                   "mqtt://USER@HOST/PREFIX")
                        .arg(passwordFile ? QStringLiteral("--mqtt-password-file")
                                          : QStringLiteral("QUADTHERM_MQTT_PASSWORD")));
    if (const QString limit = environment.value(QStringLiteral("QUADTHERM_MQTT_QUEUE_LIMIT"));
        !limit.isEmpty()) {
        const auto n = shared::wholeNumberIn(limit, 1, kMaxQueueLimit);
        if (!n)
            return fail(QStringLiteral("QUADTHERM_MQTT_QUEUE_LIMIT must be a whole number from 1 "
                                       "to %1, not '%2'")
                            .arg(kMaxQueueLimit)
                            .arg(limit));
        options.queueLimit = int(*n);
    }
    taken.options = options;
    return taken;
}

QString mqttOptionsHelp() {
    // The columns of quadtherm-cli's --help.
    constexpr qsizetype kColumn = 22;
    constexpr qsizetype kWidth = 80;
    QString text;
    for (const Option& option : kOptions) {
        QString line = QStringLiteral("  ") + QLatin1String(option.name);
        if (option.value)
            line += u' ' + QLatin1String(option.value);
        if (line.size() < kColumn)
            line = line.leftJustified(kColumn);
        else
            line += u'\n' + QString(kColumn, u' ');
        qsizetype used = kColumn;
        for (const QString& word : QString::fromLatin1(option.help).split(u' ')) {
            if (used > kColumn && used + 1 + word.size() > kWidth) {
                line += u'\n' + QString(kColumn, u' ');
                used = kColumn;
            } else if (used > kColumn) {
                line += u' ';
                ++used;
            }
            line += word;
            used += word.size();
        }
        text += line + u'\n';
    }
    return text;
}

void describeMqttOptions(QCommandLineParser& parser) {
    for (const Option& option : kOptions) {
        // Written as the desktop program's own options are: a capital, a full stop.
        QString help = QString::fromLatin1(option.help) + u'.';
        help[0] = help[0].toUpper();
        QCommandLineOption described(QString::fromLatin1(option.name + 2), help);
        if (option.value)
            described.setValueName(QString::fromLatin1(option.value));
        parser.addOption(described);
    }
}

} // namespace quadtherm::mqtt
