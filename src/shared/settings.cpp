#include "shared/settings.h"

#include <QSettings>

namespace quadtherm::shared {

namespace {

const QString kPortNumber = QStringLiteral("port/number");
const QString kPortDevice = QStringLiteral("port/device");
const QString kFolder = QStringLiteral("files/lastFolder");
const QString kAlarmOn = QStringLiteral("alarmSound/enabled");
const QString kAlarmDelay = QStringLiteral("alarmSound/delaySeconds");
const QString kAlarmMargin = QStringLiteral("alarmSound/marginDegrees");
const QString kAlarmSnooze = QStringLiteral("alarmSound/snoozeSeconds");
const QString kChartClock = QStringLiteral("charts/clockTime");

QString geometryKey(const QString& window) {
    return QStringLiteral("windows/%1/geometry").arg(window);
}

} // namespace

Settings::Settings(const QString& file)
    : m_settings(file.isEmpty() ? std::make_unique<QSettings>(
                                      QSettings::IniFormat, QSettings::UserScope,
                                      QStringLiteral("QuadTherm"), QStringLiteral("QuadTherm"))
                                : std::make_unique<QSettings>(file, QSettings::IniFormat)) {}

Settings::~Settings() = default;

void Settings::reset() {
    m_settings->clear();
    m_settings->sync();
}

void Settings::sync() {
    m_settings->sync();
}

int Settings::lastPortNumber() const {
    return m_settings->value(kPortNumber, 0).toInt();
}

QString Settings::lastDevice() const {
    return m_settings->value(kPortDevice).toString();
}

void Settings::setLastPort(int number, const QString& device) {
    m_settings->setValue(kPortNumber, number);
    m_settings->setValue(kPortDevice, device);
}

QByteArray Settings::windowGeometry(const QString& window) const {
    return m_settings->value(geometryKey(window)).toByteArray();
}

void Settings::setWindowGeometry(const QString& window, const QByteArray& geometry) {
    m_settings->setValue(geometryKey(window), geometry);
}

QString Settings::lastFolder() const {
    return m_settings->value(kFolder).toString();
}

void Settings::setLastFolder(const QString& folder) {
    m_settings->setValue(kFolder, folder);
}

AlarmSoundChoice Settings::alarmSound() const {
    AlarmSoundChoice choice;
    choice.enabled = m_settings->value(kAlarmOn, choice.enabled).toBool();
    choice.delaySeconds = qMax(0, m_settings->value(kAlarmDelay, choice.delaySeconds).toInt());
    choice.marginDegrees =
        qMax(0.0, m_settings->value(kAlarmMargin, choice.marginDegrees).toDouble());
    choice.snoozeSeconds = qMax(0, m_settings->value(kAlarmSnooze, choice.snoozeSeconds).toInt());
    return choice;
}

void Settings::setAlarmSound(const AlarmSoundChoice& choice) {
    m_settings->setValue(kAlarmOn, choice.enabled);
    m_settings->setValue(kAlarmDelay, choice.delaySeconds);
    m_settings->setValue(kAlarmMargin, choice.marginDegrees);
    m_settings->setValue(kAlarmSnooze, choice.snoozeSeconds);
}

bool Settings::chartsShowClockTime() const {
    return m_settings->value(kChartClock, false).toBool();
}

void Settings::setChartsShowClockTime(bool clockTime) {
    m_settings->setValue(kChartClock, clockTime);
}

} // namespace quadtherm::shared
