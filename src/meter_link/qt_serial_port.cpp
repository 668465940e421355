#include "meter_link/qt_serial_port.h"

namespace quadtherm::meter_link {

namespace {

QSerialPort::Parity toQtParity(char parity) {
    switch (parity) {
    case 'e':
        return QSerialPort::EvenParity;
    case 'o':
        return QSerialPort::OddParity;
    case 'm':
        return QSerialPort::MarkParity;
    case 's':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

} // namespace

QtSerialPort::QtSerialPort(const QString& devicePath, QObject* parent)
    : SerialPort(parent), m_devicePath(devicePath), m_port(new QSerialPort(this)) {
    parseSettings(m_settings, m_line);
    // QSerialPort takes a full path as well as a bare name.
    m_port->setPortName(m_devicePath);
    connect(m_port, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::onErrorOccurred);
}

bool QtSerialPort::setSettings(const QString& settings) {
    LineSettings line;
    if (!parseSettings(settings, line)) {
        m_error = QStringLiteral("Invalid line settings \"%1\"").arg(settings);
        return false;
    }
    m_settings = settings;
    m_line = line;
    return applySettings();
}

QString QtSerialPort::settings() const {
    return m_settings;
}

bool QtSerialPort::open() {
    if (m_port->isOpen())
        return true;
    if (m_devicePath.isEmpty()) {
        m_error = QStringLiteral("No serial device for this port");
        return false;
    }
    // Settings made while closed are kept by QSerialPort and applied by open().
    applySettings();
    if (!m_port->open(QIODevice::ReadWrite)) {
        fail(m_port->errorString());
        return false;
    }
    ++m_session;
    m_port->clearError();
    return true;
}

bool QtSerialPort::isOpen() const {
    return m_port->isOpen();
}

void QtSerialPort::close() {
    ++m_session;
    if (m_port->isOpen())
        m_port->close();
}

QByteArray QtSerialPort::readAll() {
    return m_port->isOpen() ? m_port->readAll() : QByteArray();
}

bool QtSerialPort::write(const QByteArray& bytes) {
    if (!m_port->isOpen()) {
        m_error = QStringLiteral("%1: the port is not open").arg(m_devicePath);
        return false;
    }
    m_port->clearError();
    // Pushes the bytes to the device now instead of on the next event loop turn.
    if (m_port->write(bytes) != bytes.size() || (!bytes.isEmpty() && !m_port->flush()) ||
        m_port->error() != QSerialPort::NoError) {
        fail(m_port->errorString());
        return false;
    }
    return true;
}

void QtSerialPort::discardInput() {
    if (!m_port->isOpen())
        return;
    m_port->clear(QSerialPort::Input);
    m_port->readAll();
}

QString QtSerialPort::errorString() const {
    return m_error;
}

QString QtSerialPort::deviceName() const {
    return m_devicePath;
}

bool QtSerialPort::applySettings() {
    const bool ok =
        m_port->setBaudRate(m_line.baud) && m_port->setParity(toQtParity(m_line.parity)) &&
        m_port->setDataBits(static_cast<QSerialPort::DataBits>(m_line.dataBits)) &&
        m_port->setStopBits(m_line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok)
        fail(m_port->errorString());
    return ok;
}

void QtSerialPort::onErrorOccurred(QSerialPort::SerialPortError error) {
    // An unplugged adapter reads as end of file, which Qt reports as a
    // ResourceError or, depending on a stale errno, a ReadError that keeps
    // firing; either way the line is gone.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) ||
        !m_port->isOpen())
        return;
    // Closing inside QSerialPort's own notifier would delete it under its
    // feet; close on the next turn of the event loop instead.
    QMetaObject::invokeMethod(
        this, [this, session = m_session] { loseDevice(session); }, Qt::QueuedConnection);
}

void QtSerialPort::loseDevice(quint64 session) {
    if (session != m_session || !m_port->isOpen())
        return;
    // Qt keeps a vanished device open; closing it releases the lock file so
    // the same path can be opened again once the device is back.
    close();
    m_error = QStringLiteral("%1: the device was disconnected").arg(m_devicePath);
    Q_EMIT deviceLost();
}

void QtSerialPort::fail(const QString& what) {
    m_error = QStringLiteral("%1: %2").arg(m_devicePath, what);
}

} // namespace quadtherm::meter_link
