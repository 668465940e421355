#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace quadtherm::meter_link {

// The line settings text the meter needs: 19200 baud, no parity, 8 data bits,
// 1 stop bit, no flow control.
inline constexpr const char* kMeterSettings = "19200,n,8,1";

struct LineSettings {
    int baud = 0;
    char parity = 'n'; // n, e, o, m, s
    int dataBits = 0;
    int stopBits = 0;
};

// Parses a settings text such as "19200,n,8,1"; false when it is malformed.
bool parseSettings(const QString& text, LineSettings& out);

// The one seam between the meter protocol and a serial line. Backends: the
// real port (QSerialPort), the simulated meter and the scripted test fake.
// Reads never block and return bytes in whatever chunks the line delivered.
class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Line settings, applied on the next open (and at once when open).
    virtual bool setSettings(const QString& settings) = 0;
    virtual QString settings() const = 0;

    // Opens the line; false with errorString() set when the device does not
    // exist, is in use or cannot be configured.
    virtual bool open() = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;

    // Every byte received and not yet read, possibly none.
    virtual QByteArray readAll() = 0;
    // Writes the bytes at once; false when the port is closed or the write failed.
    virtual bool write(const QByteArray& bytes) = 0;
    // Forgets every byte received so far: the next read returns only bytes
    // that arrive afterwards.
    virtual void discardInput() = 0;

    virtual QString errorString() const = 0;
    // The device as the user knows it (a path, or a description).
    virtual QString deviceName() const = 0;

Q_SIGNALS:
    // New bytes are waiting.
    void readyRead();
    // The device went away (adapter unplugged). The port has already closed
    // itself; open() may be tried again later.
    void deviceLost();
};

} // namespace quadtherm::meter_link
