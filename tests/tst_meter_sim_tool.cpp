// End to end through a real pseudo-terminal: quadtherm-meter-sim as a user's
// serial adapter would present it.
#include "support/meter_sim_process.h"
#include "support/test_suite.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace tst_meter_sim_tool {

using quadtherm::test::MeterSimProcess;

namespace {

bool openLine(QSerialPort& port, const QString& path) {
    port.setPortName(path);
    port.setBaudRate(19200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return port.open(QIODevice::ReadWrite);
}

QByteArray readFor(QSerialPort& port, int ms) {
    QTest::qWait(ms);
    return port.readAll();
}

// The longest run of back-to-back frames whose channels go T1, T2, T3, T4, T1...
int longestFrameRun(const QByteArray& line) {
    int best = 0;
    for (qsizetype start = 0; start < 12 && start < line.size(); ++start) {
        int run = 0;
        int previous = -1;
        for (qsizetype i = start; i + 12 <= line.size(); i += 12) {
            const int channel = line[i + 1] & 0x03;
            const bool frame = line[i] == 0x02 && line[i + 11] == 0x03;
            run = frame && (run == 0 || channel == (previous + 1) % 4) ? run + 1 : int(frame);
            previous = channel;
            best = qMax(best, run);
        }
    }
    return best;
}

} // namespace

class TestMeterSimTool : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void toolServesAlignedFramesOnTheDeviceItPrints() {
        MeterSimProcess tool({"--speed", "10"});
        QVERIFY(tool.device().startsWith(QLatin1String("/dev/")));
        QSerialPort port;
        QVERIFY2(openLine(port, tool.device()), qPrintable(port.errorString()));
        port.clear();
        const QByteArray line = readFor(port, 300);
        QVERIFY2(longestFrameRun(line) >= 40, qPrintable(QString::number(line.size())));
        port.close();
        QVERIFY(tool.stop());
    }

    void toolAnswersTheStatusExchangeAndThenKeepsQuiet() {
        MeterSimProcess tool({"--speed", "10", "--manual", "2"});
        QSerialPort port;
        QVERIFY2(openLine(port, tool.device()), qPrintable(port.errorString()));
        readFor(port, 100);
        port.write("A");
        const QByteArray reply = readFor(port, 100);
        QVERIFY(reply.size() >= 7);
        QCOMPARE(reply.right(7).toHex(' '), QByteArray("02 00 20 00 02 ff 03"));
        // The stream stays off while the line is quiet for less than half a second.
        QVERIFY(readFor(port, 200).isEmpty());
        QVERIFY(longestFrameRun(readFor(port, 500)) >= 8);
    }

    void replugGivesAWorkingDeviceBehindTheSameLink() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("meter"));
        MeterSimProcess tool({"--speed", "10", "--link", link});
        QVERIFY(!tool.device().isEmpty());
        QCOMPARE(QFileInfo(link).symLinkTarget(), tool.device());
        QSerialPort port;
        QVERIFY2(openLine(port, link), qPrintable(port.errorString()));
        QVERIFY(longestFrameRun(readFor(port, 200)) >= 8);
        QSignalSpy errors(&port, &QSerialPort::errorOccurred);
        tool.unplug();
        // Qt reports the hung-up line as a read error (the read returns 0), not always
        // as a resource error: any error will do as the sign of the unplug.
        QVERIFY(QTest::qWaitFor([&] { return errors.size() > 0; }, 3000));
        port.close();
        const QString second = tool.nextDevice();
        QCOMPARE(QFileInfo(link).symLinkTarget(), second);
        QVERIFY2(openLine(port, link), qPrintable(port.errorString()));
        QVERIFY(longestFrameRun(readFor(port, 200)) >= 8);
        port.close();
        QVERIFY(tool.stop());
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QUADTHERM_TEST_SUITE(TestMeterSimTool, Core)

} // namespace tst_meter_sim_tool

#include "tst_meter_sim_tool.moc"
