#pragma once

#include <QString>

#include <memory>

class QSoundEffect;
class QTemporaryFile;

namespace quadtherm::main_window {

// How the alarm is heard and seen outside the window: the seam that tests
// replace, so no test makes a sound.
class AlarmOutput {
public:
    virtual ~AlarmOutput() = default;
    // The tone repeats until stopped.
    virtual void startSound() = 0;
    virtual void stopSound() = 0;
    // A desktop notification (the main window is minimised).
    virtual void notify(const QString& title, const QString& text) = 0;
};

// A short two-note tone generated at start, played through Qt Multimedia
// over and over; notifications through the desktop's notification service.
class DesktopAlarmOutput final : public AlarmOutput {
public:
    DesktopAlarmOutput();
    ~DesktopAlarmOutput() override;
    void startSound() override;
    void stopSound() override;
    void notify(const QString& title, const QString& text) override;

private:
    std::unique_ptr<QTemporaryFile> m_tone;
    std::unique_ptr<QSoundEffect> m_sound;
};

// The tone as a WAV file: 16-bit mono PCM at 22050 Hz, two beeps then a pause.
QByteArray alarmToneWav();

} // namespace quadtherm::main_window
