#include "meter_link/qt_serial_port.h"
#include "support/test_suite.h"

#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace tst_qt_serial_port {

using quadtherm::meter_link::QtSerialPort;

namespace {

// The master side of a pseudo-terminal: it plays the meter behind a USB
// adapter whose slave device the port under test opens. Reopening the same
// path after an unplug is covered end to end in tst_link_recovery.
class PtyMaster {
public:
    PtyMaster() {
        m_fd = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_fd < 0 || grantpt(m_fd) != 0 || unlockpt(m_fd) != 0) {
            closeMaster();
            return;
        }
        m_slavePath = QString::fromLocal8Bit(ptsname(m_fd));
        fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    }
    ~PtyMaster() { closeMaster(); }
    PtyMaster(const PtyMaster&) = delete;
    PtyMaster& operator=(const PtyMaster&) = delete;

    bool isValid() const { return m_fd >= 0; }
    QString slavePath() const { return m_slavePath; }
    // Unplugs the adapter.
    void closeMaster() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    bool send(const QByteArray& bytes) const {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Reads until `count` bytes have come or two seconds are up, running the
    // event loop meanwhile so the port can finish its writes.
    QByteArray receive(qsizetype count) const {
        QByteArray got;
        (void)QTest::qWaitFor(
            [&] {
                char buffer[512];
                for (ssize_t n = 0; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;)
                    got.append(buffer, n);
                return got.size() >= count;
            },
            2000);
        return got;
    }
    termios line() const {
        termios tio{};
        tcgetattr(m_fd, &tio); // on Linux the master reports the slave's settings
        return tio;
    }

private:
    int m_fd = -1;
    QString m_slavePath;
};

QByteArray receive(QtSerialPort& port, qsizetype count) {
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += port.readAll();
            return got.size() >= count;
        },
        2000);
    return got;
}

} // namespace

class TestQtSerialPort : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(PtyMaster().isValid(), "no pseudo-terminal available"); }

    void lineSettingsApplyOnOpenAndAtOnceOnAnOpenPortUnlessMalformed() {
        PtyMaster pty;
        QtSerialPort port(pty.slavePath());
        QCOMPARE(port.settings(), QStringLiteral("19200,n,8,1"));
        QVERIFY(port.setSettings("9600,n,8,2"));
        QVERIFY2(port.open(), qPrintable(port.errorString()));
        // A pseudo-terminal keeps the speed and the stop bits but refuses parity
        // and other character sizes, so only those can be checked here.
        termios tio = pty.line();
        QCOMPARE(cfgetispeed(&tio), speed_t(B9600));
        QVERIFY(tio.c_cflag & CSTOPB);
        QCOMPARE(tio.c_cflag & CRTSCTS, tcflag_t(0));
        QCOMPARE(tio.c_iflag & (IXON | IXOFF), tcflag_t(0));
        QVERIFY(!port.setSettings("19200,x,8,1"));
        QCOMPARE(port.settings(), QStringLiteral("9600,n,8,2"));
        QVERIFY(port.setSettings("19200,n,8,1"));
        tio = pty.line();
        QCOMPARE(cfgetospeed(&tio), speed_t(B19200));
        QCOMPARE(cfgetispeed(&tio), speed_t(B19200));
        QCOMPARE(tio.c_cflag & CSTOPB, tcflag_t(0));
    }

    void allByteValuesPassBothWays() {
        PtyMaster pty;
        QtSerialPort port(pty.slavePath());
        QVERIFY2(port.open(), qPrintable(port.errorString()));
        QByteArray bytes;
        for (int b = 0; b < 256; ++b)
            bytes.append(char(b));
        QVERIFY(port.write(bytes));
        QCOMPARE(pty.receive(bytes.size()), bytes);
        QVERIFY(pty.send(bytes));
        QCOMPARE(receive(port, bytes.size()), bytes);
    }

    void discardInputDropsWhatArrivedEarlier() {
        PtyMaster pty;
        QtSerialPort port(pty.slavePath());
        QVERIFY2(port.open(), qPrintable(port.errorString()));
        QSignalSpy readyRead(&port, &QtSerialPort::readyRead);
        // Old bytes both in the port's buffer and still waiting in the driver.
        QVERIFY(pty.send("stale"));
        QVERIFY(readyRead.wait(2000));
        QVERIFY(pty.send("older"));
        port.discardInput();
        QVERIFY(pty.send("fresh"));
        QCOMPARE(receive(port, 5), QByteArray("fresh"));
        QTest::qWait(50);
        QVERIFY(port.readAll().isEmpty());
    }

    void closedPortRefusesWrites() {
        PtyMaster pty;
        QtSerialPort port(pty.slavePath());
        QVERIFY(!port.write("A"));
        QVERIFY(!port.errorString().isEmpty());
        QVERIFY2(port.open(), qPrintable(port.errorString()));
        port.close();
        QVERIFY(!port.isOpen());
        QVERIFY(!port.write("A"));
        QVERIFY(port.readAll().isEmpty());
    }

    void missingDeviceFailsToOpenWithAnErrorText_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("no such device") << "/dev/quadtherm-no-such-tty";
        QTest::newRow("no device for the number") << "";
    }
    void missingDeviceFailsToOpenWithAnErrorText() {
        QFETCH(QString, path);
        QtSerialPort port(path);
        QVERIFY(!port.open());
        QVERIFY(!port.isOpen());
        QVERIFY(!port.errorString().isEmpty());
        QCOMPARE(port.deviceName(), path);
    }

    void unpluggingRaisesDeviceLostOnceAndCloses() {
        PtyMaster pty;
        QtSerialPort port(pty.slavePath());
        QVERIFY2(port.open(), qPrintable(port.errorString()));
        QSignalSpy lost(&port, &QtSerialPort::deviceLost);
        pty.closeMaster();
        QVERIFY(lost.wait(2000));
        QVERIFY(!port.isOpen());
        QVERIFY(!port.errorString().isEmpty());
        QVERIFY(!port.write("A"));
        QTest::qWait(100);
        QCOMPARE(lost.count(), 1);
    }
};

QUADTHERM_TEST_SUITE(TestQtSerialPort, Core)

} // namespace tst_qt_serial_port

#include "tst_qt_serial_port.moc"
