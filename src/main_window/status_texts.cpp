#include "main_window/status_texts.h"

#include <QFile>

#include <grp.h>
#include <sys/stat.h>

namespace quadtherm::main_window {

namespace {

QString secondsText(int seconds) {
    if (seconds >= 3600 && seconds % 3600 == 0)
        return QStringLiteral("%1 h").arg(seconds / 3600);
    if (seconds >= 60 && seconds % 60 == 0)
        return QStringLiteral("%1 min").arg(seconds / 60);
    return QStringLiteral("%1 s").arg(seconds);
}

} // namespace

QString intervalText(int pcSeconds, std::optional<int> meterSeconds) {
    QString text = QStringLiteral("PC ") + secondsText(pcSeconds);
    if (meterSeconds && *meterSeconds > 0)
        text += QStringLiteral(" · meter ") + secondsText(*meterSeconds);
    return text;
}

QString elapsedText(qint64 ms) {
    const qint64 total = qMax<qint64>(ms, 0) / 1000;
    const qint64 days = total / 86400;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg((total / 3600) % 24, days > 0 ? 2 : 1, 10, QLatin1Char('0'))
                              .arg((total / 60) % 60, 2, 10, QLatin1Char('0'))
                              .arg(total % 60, 2, 10, QLatin1Char('0'));
    return days > 0 ? QStringLiteral("%1 d %2").arg(days).arg(clock) : clock;
}

QString noAnswerText(const QString& portLabel, const QString& device) {
    const QString where = portLabel == device || device.isEmpty()
                              ? portLabel
                              : QStringLiteral("%1 (%2)").arg(portLabel, device);
    return QStringLiteral("No answer on %1: check the cable and that the meter is switched on")
        .arg(where);
}

QString portOpenDetails(const QString& device, const QString& reason, const QString& group) {
    QString details = QStringLiteral("%1: %2").arg(device, reason);
    if (reason.contains(QStringLiteral("ermission"))) {
        const QString owner = group.isEmpty() ? QStringLiteral("dialout") : group;
        details += QStringLiteral("\n\nYou may use the device once you are in the group that owns "
                                  "it (%1): sudo usermod -aG %1 $USER, then log in again.")
                       .arg(owner);
    }
    return details;
}

QString ownerGroupOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    const struct group* owner = ::getgrgid(info.st_gid);
    return owner ? QString::fromLocal8Bit(owner->gr_name) : QString();
}

} // namespace quadtherm::main_window
