#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QSettings;

namespace quadtherm::shared {

// The audible alarm's choices.
struct AlarmSoundChoice {
    bool enabled = false;     // off until the user turns it on
    int delaySeconds = 0;     // the alarm must hold this long before it sounds
    double marginDegrees = 0; // it stops once the reading is this far below the setpoint
    int snoozeSeconds = 300;  // after an acknowledge it stays quiet this long
};

// What the desktop program remembers between runs: the last port, where the
// windows were, the last folder of the file dialogs and the audible alarm.
// Nothing of the meter's data. Kept by QSettings in the user's configuration
// folder (an INI file, ~/.config/QuadTherm/QuadTherm.ini); a test hands in a
// file of its own. Owned once, by the program's main function.
class Settings {
public:
    // `file` empty: the user's own.
    explicit Settings(const QString& file = {});
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // Everything forgotten (--reset-settings).
    void reset();
    // Written to the file now (it is also written when the program ends).
    void sync();

    // The COM number last opened, 0 for none; the device path last opened.
    int lastPortNumber() const;
    QString lastDevice() const;
    void setLastPort(int number, const QString& device);

    // A window's geometry as QWidget::saveGeometry() gives it; empty when
    // the window was never moved or resized by the user.
    QByteArray windowGeometry(const QString& window) const;
    void setWindowGeometry(const QString& window, const QByteArray& geometry);

    QString lastFolder() const;
    void setLastFolder(const QString& folder);

    AlarmSoundChoice alarmSound() const;
    void setAlarmSound(const AlarmSoundChoice& choice);

    // The small charts' time axis: clock time rather than time before now.
    bool chartsShowClockTime() const;
    void setChartsShowClockTime(bool clockTime);

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace quadtherm::shared
