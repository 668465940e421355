#include "sim/simulated_serial_port.h"

#include <QDateTime>

namespace quadtherm::sim {

namespace {

// About what a USB serial adapter's latency timer does to a byte stream.
constexpr int kPollIntervalMs = 3;

} // namespace

SimulatedSerialPort::SimulatedSerialPort(shared::Clock& clock, QObject* parent)
    : meter_link::SerialPort(parent), m_clock(clock), m_startMs(clock.elapsedMs()),
      m_timer(clock, kPollIntervalMs, [this] { pump(); }),
      m_settings(QString::fromLatin1(meter_link::kMeterSettings)) {
    m_meter.setClock(clock.now(), 0);
}

bool SimulatedSerialPort::setSettings(const QString& settings) {
    meter_link::LineSettings parsed;
    if (!meter_link::parseSettings(settings, parsed)) {
        m_error = QStringLiteral("Invalid line settings \"%1\"").arg(settings);
        return false;
    }
    m_settings = settings;
    m_lineMatches = parsed.baud == kLineBaud && parsed.parity == 'n' && parsed.dataBits == 8 &&
                    parsed.stopBits == 1;
    return true;
}

bool SimulatedSerialPort::open() {
    if (!m_pluggedIn) {
        m_error = QStringLiteral("The simulated meter is unplugged");
        return false;
    }
    if (m_open)
        return true;
    // While the port was closed the meter went on sending to nobody.
    m_meter.discardUntil(nowUs());
    m_input.clear();
    m_open = true;
    m_error.clear();
    m_timer.start();
    return true;
}

void SimulatedSerialPort::close() {
    m_open = false;
    m_timer.stop();
    m_input.clear();
}

void SimulatedSerialPort::unplug() {
    m_pluggedIn = false;
    const bool wasOpen = m_open;
    close();
    m_error = QStringLiteral("The simulated meter is unplugged");
    if (wasOpen)
        Q_EMIT deviceLost();
}

QByteArray SimulatedSerialPort::readAll() {
    QByteArray out;
    out.swap(m_input);
    return out;
}

bool SimulatedSerialPort::write(const QByteArray& bytes) {
    if (!m_open) {
        m_error = QStringLiteral("The port is not open");
        return false;
    }
    // Bytes at the wrong rate reach the meter as nothing it understands.
    m_meter.receive(m_lineMatches ? bytes : garbled(bytes), nowUs());
    return true;
}

void SimulatedSerialPort::discardInput() {
    if (m_open)
        m_meter.discardUntil(nowUs());
    m_input.clear();
}

QString SimulatedSerialPort::deviceName() const {
    return QStringLiteral("Simulated meter");
}

void SimulatedSerialPort::pump() {
    const QByteArray bytes = m_meter.transmit(nowUs());
    if (!m_open || bytes.isEmpty())
        return;
    m_input.append(m_lineMatches ? bytes : garbled(bytes));
    Q_EMIT readyRead();
}

QByteArray SimulatedSerialPort::garbled(const QByteArray& bytes) {
    QByteArray out(bytes.size(), '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        m_noise ^= m_noise << 13;
        m_noise ^= m_noise >> 17;
        m_noise ^= m_noise << 5;
        // Bit 7 set: never a frame marker and never a request letter.
        out[i] = char(quint8((m_noise ^ quint8(bytes[i])) | 0x80));
    }
    return out;
}

} // namespace quadtherm::sim
