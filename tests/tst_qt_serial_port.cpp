#include "meter_link/qt_serial_port.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

using quadtherm::meter_link::QtSerialPort;

namespace {

// The master side of a pseudo-terminal: it plays the meter behind a USB
// adapter whose slave device the port under test opens.
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
    int fd() const { return m_fd; }

    // Unplugs the adapter.
    void closeMaster() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool send(const QByteArray& bytes) const {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Reads until `count` bytes have come or the time is up, running the
    // event loop meanwhile so the port can finish its writes.
    QByteArray receive(qsizetype count, int timeoutMs = 2000) const {
        QByteArray got;
        QSocketNotifier notifier(m_fd, QSocketNotifier::Read);
        QEventLoop loop;
        QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
            char buffer[512];
            ssize_t n = 0;
            while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0)
                got.append(buffer, n);
            if (got.size() >= count)
                loop.quit();
        });
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        return got;
    }

private:
    int m_fd = -1;
    QString m_slavePath;
};

// Collects what the port reads until `count` bytes have come or the time is up.
QByteArray receive(QtSerialPort& port, qsizetype count, int timeoutMs = 2000) {
    QByteArray got = port.readAll();
    const QDeadlineTimer deadline(timeoutMs);
    QSignalSpy readyRead(&port, &QtSerialPort::readyRead);
    while (got.size() < count && !deadline.hasExpired()) {
        if (readyRead.wait(int(deadline.remainingTime())))
            got += port.readAll();
    }
    return got;
}

QByteArray allByteValues() {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    return bytes;
}

} // namespace

class TestQtSerialPort : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void openAppliesTheLineSettings_data();
    void openAppliesTheLineSettings();
    void settingsChangeAtOnceOnAnOpenPortUnlessMalformed();
    void allByteValuesPassBothWays();
    void readyReadFiresWhenBytesArrive();
    void discardInputDropsWhatArrivedEarlier();
    void writeOnAClosedPortFails();
    void missingDeviceFailsToOpenWithAnErrorText_data();
    void missingDeviceFailsToOpenWithAnErrorText();
    void unpluggingRaisesDeviceLostOnceAndCloses();
    void reopensTheSamePathWhenTheDeviceIsBack();
};

void TestQtSerialPort::initTestCase() {
    PtyMaster pty;
    QVERIFY2(pty.isValid(), "no pseudo-terminal available");
}

void TestQtSerialPort::openAppliesTheLineSettings_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("twoStopBits");

    // A pseudo-terminal keeps the speed and the stop bits but refuses parity
    // and other character sizes, so only those can be checked here.
    QTest::newRow("meter line") << "19200,n,8,1" << int(B19200) << false;
    QTest::newRow("two stop bits") << "9600,n,8,2" << int(B9600) << true;
    QTest::newRow("slower line") << "4800,n,8,1" << int(B4800) << false;
}

void TestQtSerialPort::openAppliesTheLineSettings() {
    QFETCH(QString, settings);
    QFETCH(int, speed);
    QFETCH(bool, twoStopBits);

    PtyMaster pty;
    QtSerialPort port(pty.slavePath());
    QCOMPARE(port.settings(), QStringLiteral("19200,n,8,1"));
    QVERIFY(port.setSettings(settings));
    QVERIFY2(port.open(), qPrintable(port.errorString()));
    QVERIFY(port.isOpen());

    // On Linux the master reports the slave's terminal settings.
    termios tio{};
    QCOMPARE(tcgetattr(pty.fd(), &tio), 0);
    QCOMPARE(int(cfgetospeed(&tio)), speed);
    QCOMPARE(int(cfgetispeed(&tio)), speed);
    QCOMPARE((tio.c_cflag & CSTOPB) != 0, twoStopBits);
    QCOMPARE(tio.c_cflag & CRTSCTS, tcflag_t(0));
    QCOMPARE(tio.c_iflag & (IXON | IXOFF), tcflag_t(0));
}

void TestQtSerialPort::settingsChangeAtOnceOnAnOpenPortUnlessMalformed() {
    PtyMaster pty;
    QtSerialPort port(pty.slavePath());
    QVERIFY2(port.open(), qPrintable(port.errorString()));
    QVERIFY(!port.setSettings("9600,x,8,2"));
    QCOMPARE(port.settings(), QStringLiteral("19200,n,8,1"));
    QVERIFY(port.setSettings("9600,n,8,2"));
    QCOMPARE(port.settings(), QStringLiteral("9600,n,8,2"));

    termios tio{};
    QCOMPARE(tcgetattr(pty.fd(), &tio), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    QVERIFY(tio.c_cflag & CSTOPB);
}

void TestQtSerialPort::allByteValuesPassBothWays() {
    PtyMaster pty;
    QtSerialPort port(pty.slavePath());
    QVERIFY2(port.open(), qPrintable(port.errorString()));
    const QByteArray bytes = allByteValues();

    QVERIFY(port.write(bytes));
    QCOMPARE(pty.receive(bytes.size()), bytes);

    QVERIFY(pty.send(bytes));
    QCOMPARE(receive(port, bytes.size()), bytes);
}

void TestQtSerialPort::readyReadFiresWhenBytesArrive() {
    PtyMaster pty;
    QtSerialPort port(pty.slavePath());
    QVERIFY2(port.open(), qPrintable(port.errorString()));
    QSignalSpy readyRead(&port, &QtSerialPort::readyRead);
    QVERIFY(port.readAll().isEmpty());

    QVERIFY(pty.send("A"));
    QVERIFY(readyRead.wait(2000));
    QCOMPARE(port.readAll(), QByteArray("A"));
    QVERIFY(port.readAll().isEmpty());
}

void TestQtSerialPort::discardInputDropsWhatArrivedEarlier() {
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

void TestQtSerialPort::writeOnAClosedPortFails() {
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

void TestQtSerialPort::missingDeviceFailsToOpenWithAnErrorText_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("no such device") << "/dev/quadtherm-no-such-tty";
    QTest::newRow("no device for the number") << "";
}

void TestQtSerialPort::missingDeviceFailsToOpenWithAnErrorText() {
    QFETCH(QString, path);
    QtSerialPort port(path);
    QVERIFY(!port.open());
    QVERIFY(!port.isOpen());
    QVERIFY(!port.errorString().isEmpty());
    QCOMPARE(port.deviceName(), path);
}

void TestQtSerialPort::unpluggingRaisesDeviceLostOnceAndCloses() {
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

void TestQtSerialPort::reopensTheSamePathWhenTheDeviceIsBack() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttyMeter"));
    auto first = std::make_unique<PtyMaster>();
    QVERIFY(QFile::link(first->slavePath(), link));

    QtSerialPort port(link);
    QCOMPARE(port.deviceName(), link);
    QVERIFY2(port.open(), qPrintable(port.errorString()));
    QSignalSpy lost(&port, &QtSerialPort::deviceLost);
    first->closeMaster();
    QVERIFY(lost.wait(2000));

    // The adapter comes back as a new device under the same name.
    PtyMaster second;
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(second.slavePath(), link));
    first.reset();

    QVERIFY2(port.open(), qPrintable(port.errorString()));
    QVERIFY(port.write("ping"));
    QCOMPARE(second.receive(4), QByteArray("ping"));
    QVERIFY(second.send("pong"));
    QCOMPARE(receive(port, 4), QByteArray("pong"));
    QCOMPARE(lost.count(), 1);
}

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qt_serial_port.moc"
