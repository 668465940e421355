#pragma once

#include "meter_link/serial_port.h"

#include <QSerialPort>

namespace quadtherm::meter_link {

// The serial line of a real device (a USB adapter, a built-in port or a
// pseudo-terminal) through QSerialPort.
class QtSerialPort final : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(const QString& devicePath, QObject* parent = nullptr);

    bool setSettings(const QString& settings) override;
    QString settings() const override;

    bool open() override;
    bool isOpen() const override;
    void close() override;

    QByteArray readAll() override;
    bool write(const QByteArray& bytes) override;
    void discardInput() override;

    QString errorString() const override;
    QString deviceName() const override;

private:
    bool applySettings();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void loseDevice(quint64 session);
    void fail(const QString& what);

    QString m_devicePath;
    QString m_settings = QString::fromLatin1(kMeterSettings);
    LineSettings m_line;
    QSerialPort* m_port = nullptr;
    QString m_error;
    // Counts opens and closes, so a loss reported for an earlier opening
    // cannot close a later one.
    quint64 m_session = 0;
};

} // namespace quadtherm::meter_link
