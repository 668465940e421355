#include "main_window/ui/alarm_sound.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QSoundEffect>
#include <QTemporaryFile>
#include <QUrl>
#include <QVariantMap>
#include <QtEndian>

#include <cmath>
#include <numbers>

namespace quadtherm::main_window {

namespace {

constexpr int kRate = 22050;

void appendLe32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendLe16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

// `ms` of a tone of `hz` (0: silence), its ends faded so they do not click.
void appendTone(QByteArray& samples, double hz, int ms) {
    const int count = kRate * ms / 1000;
    const int fade = kRate / 200; // 5 ms
    for (int i = 0; i < count; ++i) {
        double level = hz > 0 ? std::sin(2 * std::numbers::pi * hz * i / kRate) : 0.0;
        level *= std::min({1.0, double(i) / fade, double(count - i) / fade});
        appendLe16(samples, quint16(qint16(level * 0.6 * 32767)));
    }
}

} // namespace

QByteArray alarmToneWav() {
    QByteArray samples;
    appendTone(samples, 880, 180);
    appendTone(samples, 0, 70);
    appendTone(samples, 1175, 180);
    appendTone(samples, 0, 570);
    QByteArray wav("RIFF");
    appendLe32(wav, quint32(36 + samples.size()));
    wav.append("WAVEfmt ");
    appendLe32(wav, 16);
    appendLe16(wav, 1); // PCM
    appendLe16(wav, 1); // mono
    appendLe32(wav, kRate);
    appendLe32(wav, kRate * 2);
    appendLe16(wav, 2);
    appendLe16(wav, 16);
    wav.append("data");
    appendLe32(wav, quint32(samples.size()));
    return wav + samples;
}

DesktopAlarmOutput::DesktopAlarmOutput()
    : m_tone(std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                              QStringLiteral("/quadtherm-alarm-XXXXXX.wav"))),
      m_sound(std::make_unique<QSoundEffect>()) {
    if (m_tone->open()) {
        m_tone->write(alarmToneWav());
        m_tone->flush();
        m_sound->setSource(QUrl::fromLocalFile(m_tone->fileName()));
    }
    m_sound->setLoopCount(QSoundEffect::Infinite);
}

DesktopAlarmOutput::~DesktopAlarmOutput() = default;

void DesktopAlarmOutput::startSound() {
    if (!m_sound->isPlaying())
        m_sound->play();
}

void DesktopAlarmOutput::stopSound() {
    m_sound->stop();
}

void DesktopAlarmOutput::notify(const QString& title, const QString& text) {
    // The freedesktop notification service; without one nothing happens.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("QuadTherm") << quint32(0) << QStringLiteral("dialog-warning") << title
         << text << QStringList() << QVariantMap() << qint32(-1);
    QDBusConnection::sessionBus().asyncCall(call);
}

} // namespace quadtherm::main_window
