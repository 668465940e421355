#include "meter_link/port_numbering.h"

#include <QSerialPortInfo>
#include <QSet>

#include <algorithm>

namespace quadtherm::meter_link {

namespace {

bool isUsbAdapter(const QString& name) {
    return name.startsWith(u"ttyUSB") || name.startsWith(u"ttyACM") || name.startsWith(u"cu.usb");
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Compares digit runs by value and everything else character by character.
int naturalCompare(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype endA = i, endB = j;
            while (endA < a.size() && isDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isDigit(b[endB]))
                ++endB;
            // Leading zeros stripped, the longer run is the larger number; no
            // overflow however long the run.
            qsizetype startA = i, startB = j;
            while (startA + 1 < endA && a[startA] == u'0')
                ++startA;
            while (startB + 1 < endB && b[startB] == u'0')
                ++startB;
            const qsizetype lengthA = endA - startA, lengthB = endB - startB;
            if (lengthA != lengthB)
                return lengthA < lengthB ? -1 : 1;
            if (const int c = QStringView(a)
                                  .mid(startA, lengthA)
                                  .compare(QStringView(b).mid(startB, lengthB));
                c != 0)
                return c;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j] ? -1 : 1;
        ++i;
        ++j;
    }
    if (const qsizetype restA = a.size() - i, restB = b.size() - j; restA != restB)
        return restA < restB ? -1 : 1;
    // Equal up to leading zeros: plain order keeps the result stable.
    return a.compare(b);
}

std::optional<int> windowsComNumber(const QString& systemName) {
    const QString digits = systemName.mid(3);
    if (!systemName.startsWith(u"COM") || digits.isEmpty() ||
        !std::all_of(digits.begin(), digits.end(), isDigit))
        return std::nullopt;
    bool ok = false;
    const int number = digits.toInt(&ok);
    if (!ok || number == 0)
        return std::nullopt;
    return number;
}

QList<DetectedPort> numberWindowsPorts(QList<DetectedPort> ports) {
    for (DetectedPort& port : ports)
        port.comNumber = windowsComNumber(port.systemName).value_or(0);
    std::sort(ports.begin(), ports.end(), [](const DetectedPort& a, const DetectedPort& b) {
        // Names that carry no number go last.
        const bool unnumberedA = a.comNumber == 0, unnumberedB = b.comNumber == 0;
        if (unnumberedA != unnumberedB)
            return unnumberedB;
        if (a.comNumber != b.comNumber)
            return a.comNumber < b.comNumber;
        return naturalCompare(a.systemName, b.systemName) < 0;
    });
    return ports;
}

QList<DetectedPort> numberPosixPorts(QList<DetectedPort> ports) {
    // macOS lists every device twice; the tty.* twin waits for carrier on
    // open, so only the cu.* call-out device counts.
    QSet<QString> names;
    for (const DetectedPort& port : ports)
        names.insert(port.systemName);
    ports.removeIf([&names](const DetectedPort& port) {
        return port.systemName.startsWith(u"tty.") &&
               names.contains(QStringLiteral("cu.") + port.systemName.mid(4));
    });
    std::sort(ports.begin(), ports.end(), [](const DetectedPort& a, const DetectedPort& b) {
        const bool usbA = isUsbAdapter(a.systemName), usbB = isUsbAdapter(b.systemName);
        if (usbA != usbB)
            return usbA;
        if (const int c = naturalCompare(a.systemName, b.systemName); c != 0)
            return c < 0;
        return a.devicePath < b.devicePath;
    });
    int number = kFirstPortNumber;
    for (DetectedPort& port : ports)
        port.comNumber = number++;
    return ports;
}

} // namespace

QString portText(int portNumber) {
    return QStringLiteral("COM%1").arg(portNumber);
}

QString linkLabel(int portNumber, const QString& device) {
    if (portNumber >= kFirstPortNumber && portNumber <= kLastPortNumber)
        return portText(portNumber);
    return device;
}

std::optional<int> portNumberFromText(const QString& text) {
    for (int number = kFirstPortNumber; number <= kLastPortNumber; ++number) {
        if (text == portText(number))
            return number;
    }
    return std::nullopt;
}

QList<DetectedPort> numberPorts(QList<DetectedPort> candidates, PortNaming naming) {
    return naming == PortNaming::Windows ? numberWindowsPorts(std::move(candidates))
                                         : numberPosixPorts(std::move(candidates));
}

QList<DetectedPort> detectPorts() {
    QList<DetectedPort> found;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos)
        found.append(
            {0, info.portName(), info.systemLocation(), info.description(), info.manufacturer()});
    return numberPorts(std::move(found));
}

QString devicePathForPort(int portNumber, const QList<DetectedPort>& numbered, PortNaming naming) {
    if (portNumber < kFirstPortNumber || portNumber > kLastPortNumber)
        return {};
    if (naming == PortNaming::Windows)
        return portText(portNumber);
    for (const DetectedPort& port : numbered) {
        if (port.comNumber == portNumber)
            return port.devicePath;
    }
    return {};
}

QString devicePathForPort(int portNumber) {
    return devicePathForPort(portNumber, detectPorts());
}

} // namespace quadtherm::meter_link
