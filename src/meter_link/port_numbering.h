#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace quadtherm::meter_link {

// The user picks one of "COM1" ... "COM16".
inline constexpr int kFirstPortNumber = 1;
inline constexpr int kLastPortNumber = 16;

// Windows numbers its serial ports itself; elsewhere the COM numbers are
// handed out over the detected devices.
enum class PortNaming { Windows, Posix };

#ifdef Q_OS_WIN
inline constexpr PortNaming kHostPortNaming = PortNaming::Windows;
#else
inline constexpr PortNaming kHostPortNaming = PortNaming::Posix;
#endif

struct DetectedPort {
    int comNumber = 0;    // 0 until numbered; may exceed kLastPortNumber
    QString systemName;   // ttyUSB0, cu.usbserial-10, COM3
    QString devicePath;   // /dev/ttyUSB0, \\.\COM3
    QString description;  // as the driver describes the device, may be empty
    QString manufacturer; // may be empty
};

// "COM" followed by the number: the text the user picks.
QString portText(int portNumber);

// What the port label shows while the link is up: "COM" and the number when
// the device has one (1 to 16), else the device as the user gave it (a
// pseudo-terminal's whole path: its last part alone would read as a number).
QString linkLabel(int portNumber, const QString& device);

// The number 1 to 16 of an exact "COM1" ... "COM16"; nothing for any other
// text, however close ("com3", "COM 3", "COM17").
std::optional<int> portNumberFromText(const QString& text);

// Numbers detected ports and returns them in COM order. Posix: USB adapters
// (ttyUSB*, ttyACM*, cu.usb*) come first, then the rest, each group in natural
// name order (ttyUSB2 before ttyUSB10), numbered from 1; the result does not
// depend on the order of `candidates`. Windows: each port keeps its own COMn.
QList<DetectedPort> numberPorts(QList<DetectedPort> candidates,
                                PortNaming naming = kHostPortNaming);

// The serial ports of this computer, numbered by numberPorts().
QList<DetectedPort> detectPorts();

// The device to open for a port number; empty when the number is outside
// 1 to 16 or (Posix) no detected port carries it. On Windows every number
// names the system's port of that number, listed or not.
QString devicePathForPort(int portNumber, const QList<DetectedPort>& numbered,
                          PortNaming naming = kHostPortNaming);
QString devicePathForPort(int portNumber);

} // namespace quadtherm::meter_link
