#include "meter_link/port_numbering.h"
#include "support/test_suite.h"

#include <QTest>

#include <algorithm>

namespace tst_port_numbering {

using quadtherm::meter_link::DetectedPort;
using quadtherm::meter_link::devicePathForPort;
using quadtherm::meter_link::numberPorts;
using quadtherm::meter_link::PortNaming;
using quadtherm::meter_link::portNumberFromText;

namespace {

QList<DetectedPort> candidates(const QStringList& names) {
    QList<DetectedPort> ports;
    for (const QString& name : names)
        ports.append({0, name, QStringLiteral("/dev/") + name, {}, {}});
    return ports;
}

QStringList namesInOrder(const QList<DetectedPort>& ports) {
    QStringList names;
    for (const DetectedPort& port : ports)
        names.append(QStringLiteral("COM%1=%2").arg(port.comNumber).arg(port.systemName));
    return names;
}

} // namespace

class TestPortNumbering : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void onlyExactPortTextsGiveANumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // 0: no match
        QTest::newRow("COM1") << "COM1" << 1;
        QTest::newRow("COM10") << "COM10" << 10;
        QTest::newRow("COM16") << "COM16" << 16;
        QTest::newRow("lower case") << "com16" << 0;
        QTest::newRow("space before the number") << "COM 16" << 0;
        QTest::newRow("leading space") << " COM3" << 0;
        QTest::newRow("trailing space") << "COM3 " << 0;
        QTest::newRow("leading zero") << "COM03" << 0;
        QTest::newRow("above sixteen") << "COM17" << 0;
        QTest::newRow("zero") << "COM0" << 0;
        QTest::newRow("no number") << "COM" << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void onlyExactPortTextsGiveANumber() {
        QFETCH(QString, text);
        QTEST(portNumberFromText(text).value_or(0), "expected");
    }

    // Issue 8: a pseudo-terminal's label read "1" for /dev/pts/1.
    void theLinkLabelIsTheComNumberElseTheWholeDevice_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("label");
        QTest::newRow("numbered adapter") << 3 << "/dev/ttyUSB0"
                                          << "COM3";
        QTest::newRow("pseudo-terminal") << 0 << "/dev/pts/1"
                                         << "/dev/pts/1";
        QTest::newRow("simulated") << 0 << "SIM"
                                   << "SIM";
    }
    void theLinkLabelIsTheComNumberElseTheWholeDevice() {
        QFETCH(int, number);
        QFETCH(QString, device);
        QTEST(quadtherm::meter_link::linkLabel(number, device), "label");
    }

    void usbAdaptersComeFirstInNaturalOrder() {
        const auto numbered =
            numberPorts(candidates({"ttyS10", "ttyUSB10", "ttyS0", "ttyACM0", "ttyUSB2", "ttyAMA0",
                                    "ttyS2", "cu.usbserial-1"}),
                        PortNaming::Posix);
        QCOMPARE(
            namesInOrder(numbered),
            QStringList({"COM1=cu.usbserial-1", "COM2=ttyACM0", "COM3=ttyUSB2", "COM4=ttyUSB10",
                         "COM5=ttyAMA0", "COM6=ttyS0", "COM7=ttyS2", "COM8=ttyS10"}));
    }

    void numberingDoesNotDependOnDetectionOrder() {
        QStringList names{"ttyACM1", "ttyS0", "ttyUSB0", "ttyUSB1", "ttyS1"};
        std::sort(names.begin(), names.end());
        const QStringList expected{"COM1=ttyACM1", "COM2=ttyUSB0", "COM3=ttyUSB1", "COM4=ttyS0",
                                   "COM5=ttyS1"};
        do {
            QCOMPARE(namesInOrder(numberPorts(candidates(names), PortNaming::Posix)), expected);
        } while (std::next_permutation(names.begin(), names.end()));
    }

    void macCallOutDeviceHidesItsDialInTwin() {
        const auto numbered = numberPorts(
            candidates({"tty.usbserial-110", "cu.Bluetooth-Incoming-Port", "cu.usbserial-110",
                        "tty.Bluetooth-Incoming-Port", "tty.lonely"}),
            PortNaming::Posix);
        QCOMPARE(namesInOrder(numbered),
                 QStringList({"COM1=cu.usbserial-110", "COM2=cu.Bluetooth-Incoming-Port",
                              "COM3=tty.lonely"}));
    }

    void windowsPortsKeepTheirSystemNumbers() {
        const auto numbered =
            numberPorts(candidates({"COM10", "COM3", "USBSER", "COM1"}), PortNaming::Windows);
        QCOMPARE(namesInOrder(numbered),
                 QStringList({"COM1=COM1", "COM3=COM3", "COM10=COM10", "COM0=USBSER"}));
    }

    void devicePathFollowsTheNumbering_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("windows");
        QTest::addColumn<int>("portNumber");
        QTest::addColumn<QString>("expected");
        const QStringList two{"ttyS0", "ttyUSB0"};
        QStringList seventeen;
        for (int i = 0; i < 17; ++i)
            seventeen.append(QStringLiteral("ttyUSB%1").arg(i));
        QTest::newRow("adapter is COM1") << two << false << 1 << "/dev/ttyUSB0";
        QTest::newRow("built-in port is COM2") << two << false << 2 << "/dev/ttyS0";
        QTest::newRow("no third port") << two << false << 3 << "";
        QTest::newRow("number zero") << two << false << 0 << "";
        QTest::newRow("COM16 of seventeen") << seventeen << false << 16 << "/dev/ttyUSB15";
        QTest::newRow("COM17 is never offered") << seventeen << false << 17 << "";
        QTest::newRow("nothing detected") << QStringList() << false << 1 << "";
        QTest::newRow("windows COM3 unlisted") << QStringList() << true << 3 << "COM3";
        QTest::newRow("windows COM16") << QStringList{"COM16"} << true << 16 << "COM16";
        QTest::newRow("windows number zero") << QStringList() << true << 0 << "";
        QTest::newRow("windows COM17") << QStringList{"COM17"} << true << 17 << "";
    }
    void devicePathFollowsTheNumbering() {
        QFETCH(QStringList, names);
        QFETCH(bool, windows);
        QFETCH(int, portNumber);
        QFETCH(QString, expected);
        const PortNaming naming = windows ? PortNaming::Windows : PortNaming::Posix;
        QCOMPARE(devicePathForPort(portNumber, numberPorts(candidates(names), naming), naming),
                 expected);
    }
};

QUADTHERM_TEST_SUITE(TestPortNumbering, Core)

} // namespace tst_port_numbering

#include "tst_port_numbering.moc"
