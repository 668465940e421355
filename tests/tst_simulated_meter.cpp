#include "sim/simulated_meter.h"
#include "sim/simulated_serial_port.h"
#include "support/fake_clock.h"
#include "support/meter_bytes.h"
#include "support/test_suite.h"

#include <QSignalSpy>
#include <QTest>

#include <initializer_list>

namespace tst_simulated_meter {

using quadtherm::sim::ManualReading;
using quadtherm::sim::RecordSet;
using quadtherm::sim::SimulatedMeter;
using quadtherm::sim::SimulatedSerialPort;
using quadtherm::sim::StoredRecord;
using quadtherm::test::bytes;

namespace {

constexpr qint64 kMs = 1000;
constexpr qint64 kSecond = 1000 * kMs;

// Where the first of two back-to-back frames starts, or -1.
qsizetype frameStart(const QByteArray& line) {
    for (qsizetype i = 0; i + 24 <= line.size(); ++i) {
        if (line[i] == 0x02 && line[i + 11] == 0x03 && line[i + 12] == 0x02 && line[i + 23] == 0x03)
            return i;
    }
    return -1;
}

struct Exchange {
    QByteArray status;
    QByteArray reply;
};

// The PC's way: "A", 20 ms, read; then the request, a wait, and read again.
Exchange exchange(SimulatedMeter& meter, qint64& t, const QByteArray& request,
                  qint64 waitUs = 200 * kMs) {
    meter.transmit(t);
    meter.receive("A", t);
    t += 20 * kMs;
    Exchange out{meter.transmit(t), {}};
    meter.receive(request, t);
    t += waitUs;
    out.reply = meter.transmit(t);
    return out;
}

QByteArray statusReply(int pointer, int manualCount) {
    return bytes(
        {0x02, pointer >> 16, (pointer >> 8) & 0xFF, pointer & 0xFF, manualCount, 0xFF, 0x03});
}

} // namespace

class TestSimulatedMeter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void frameCarriesChannelTypeStatusReadingAndOffsets_data() {
        QTest::addColumn<double>("baseF");
        QTest::addColumn<int>("offsetT1");
        QTest::addColumn<int>("typeCode");
        QTest::addColumn<int>("flags"); // 1 probe missing, 2 over, 4 under, 8 °F+recording+full
        QTest::addColumn<QByteArray>("frame");
        // T2 to T4 carry the offsets -1.0, +12.7 and -12.8.
        const QByteArray tail = bytes({0xF6, 0x7F, 0x80, 0x03});
        auto row = [&](const char* name, double baseF, int offset, int type, int flags,
                       std::initializer_list<int> head) {
            QTest::newRow(name) << baseF << offset << type << flags << bytes(head) + tail;
        };
        row("72.5", 72.5, 0, 0, 0, {0x02, 0x00, 0x00, 0x08, 0x00, 0x48, 0x05, 0x00});
        row("-12.3", -12.3, 0, 3, 0, {0x02, 0x00, 0x03, 0x08, 0xFF, 0xF4, 0x83, 0x00});
        row("-0.5", -0.5, 0, 3, 0, {0x02, 0x00, 0x03, 0x08, 0x00, 0x00, 0x85, 0x00});
        row("type B hot", 3000.4, 0, 9, 0, {0x02, 0x00, 0x09, 0x08, 0x0B, 0xB8, 0x04, 0x00});
        row("offset added", 72.5, -10, 0, 0, {0x02, 0x00, 0x00, 0x08, 0x00, 0x47, 0x05, 0xF6});
        row("code 11", 72.5, 0, 11, 0, {0x02, 0x00, 0x0B, 0x08, 0x00, 0x48, 0x05, 0x00});
        row("no probe", 72.5, 0, 0, 1, {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
        row("over", 72.5, 0, 0, 2, {0x02, 0x00, 0x00, 0x28, 0x00, 0x48, 0x05, 0x00});
        row("under", 72.5, 0, 0, 4, {0x02, 0x00, 0x00, 0x48, 0x00, 0x48, 0x05, 0x00});
        row("F recording full", 72.5, 0, 0, 8, {0x02, 0xC4, 0x00, 0x08, 0x00, 0x48, 0x05, 0x00});
    }
    void frameCarriesChannelTypeStatusReadingAndOffsets() {
        QFETCH(double, baseF);
        QFETCH(int, offsetT1);
        QFETCH(int, typeCode);
        QFETCH(int, flags);
        SimulatedMeter meter;
        meter.channel(0) = {typeCode, !(flags & 1), bool(flags & 2), bool(flags & 4), offsetT1,
                            baseF,    0.0};
        meter.channel(1).offsetTenths = -10;
        meter.channel(2).offsetTenths = 127;
        meter.channel(3).offsetTenths = -128;
        meter.setFahrenheit(flags & 8);
        meter.setRecording(flags & 8);
        meter.setMemoryFull(flags & 8);
        QTEST(meter.transmit(7 * kMs).left(12), "frame");
    }

    void lineCarriesOneByteEveryTenBitTimes_data() {
        QTest::addColumn<double>("speed");
        QTest::addColumn<qint64>("untilUs");
        QTest::addColumn<int>("expected");
        QTest::newRow("one second") << 1.0 << kSecond << 1920;
        QTest::newRow("one second fifty times faster") << 50.0 << kSecond << 96000;
    }
    void lineCarriesOneByteEveryTenBitTimes() {
        QFETCH(double, speed);
        QFETCH(qint64, untilUs);
        QFETCH(int, expected);
        SimulatedMeter meter;
        meter.setLineSpeed(speed);
        // Collected in odd slices: the chunking must not change the count.
        int total = 0;
        for (qint64 t = 0; t < untilUs; t += 777)
            total += int(meter.transmit(t).size());
        total += int(meter.transmit(untilUs).size());
        QVERIFY2(qAbs(total - expected) <= 1, qPrintable(QString::number(total)));
    }

    void statusReplyFollowsTheFrameInProgressAndEndsTheLine() {
        SimulatedMeter meter;
        QCOMPARE(meter.transmit(3 * kMs).size(), 5); // the first frame is under way
        meter.receive("A", 3 * kMs);
        const QByteArray line = meter.transmit(23 * kMs);
        QCOMPARE(line.size(), 7 + 7);
        QCOMPARE(int(line[6]), 0x03);
        QCOMPARE(line.right(7), statusReply(8192, 0));
        QVERIFY(meter.transmit(500 * kMs).isEmpty());
        const QByteArray resumed = meter.transmit(510 * kMs);
        QVERIFY(!resumed.isEmpty());
        QCOMPARE(int(resumed[0]), 0x02);
        QCOMPARE(int(resumed[1]) & 0x03, 1); // T2 follows the T1 frame that was finished
    }

    void eachRequestGetsItsReply_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray none;
        QTest::newRow("status") << QByteArray("A") << statusReply(8192, 0);
        QTest::newRow("power-off read") << bytes({0x56, 0, 0, 0}) << bytes({0x02, 0x02, 0x03});
        QTest::newRow("interval read") << bytes({0x55, 0, 0, 0}) << bytes({0x02, 0x0A, 0x03});
        QTest::newRow("size read") << bytes({0x59, 0}) << bytes({0x02, 0x04, 0x03});
        QTest::newRow("clock read")
            << QByteArray("X") << bytes({0x02, 0x1A, 0x03, 0x04, 0x09, 0x05, 0x07, 0x03});
        QTest::newRow("manual dump, none") << QByteArray("Q") << bytes({0x02, 0x00, 0x03});
        // A setting that was set reads back in tst_cli, end to end.
        QTest::newRow("interval set") << bytes({0x55, 1, 60, 0}) << none;
        QTest::newRow("key") << bytes({0x57, 0x01, 0, 0}) << none;
    }
    void eachRequestGetsItsReply() {
        QFETCH(QByteArray, request);
        SimulatedMeter meter;
        meter.setPowerOffIndex(2);
        meter.setSamplingInterval(10);
        meter.memory().setSizeCode(4);
        qint64 t = 50 * kMs;
        meter.setClock(QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)), t);
        const Exchange ex = exchange(meter, t, request);
        QCOMPARE(ex.status.right(7), statusReply(8192, 0));
        QTEST(ex.reply, "reply");
        QVERIFY(meter.violations().isEmpty());
    }

    void strictMeterIgnoresARequestWithoutStatusExchange() {
        SimulatedMeter meter;
        meter.setSamplingInterval(10);
        meter.receive(bytes({0x55, 1, 60, 0}), 10 * kMs);
        meter.receive(bytes({0x55, 0, 0, 0}), 20 * kMs);
        meter.transmit(30 * kMs);
        QVERIFY(meter.transmit(400 * kMs).isEmpty());
        QCOMPARE(meter.samplingInterval(), 10);
        QCOMPARE(meter.violations().size(), 2);
        QCOMPARE(meter.requestLog().size(), 2);
        QVERIFY(!meter.requestLog()[0].carriedOut);
        // One status exchange covers one request, not the one after it.
        qint64 t = 2 * kSecond;
        QCOMPARE(exchange(meter, t, bytes({0x55, 1, 60, 0})).reply, QByteArray());
        meter.receive(bytes({0x55, 1, 90, 0}), t);
        QCOMPARE(meter.samplingInterval(), 60);
        QCOMPARE(meter.violations().size(), 3);
    }

    void eraseKeyFramesEmptyTheirMemory_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QByteArray>("status");
        QTest::newRow("automatic data") << 0x02 << statusReply(8192, 3);
        QTest::newRow("manual readings") << 0x01 << statusReply(8192 + 23 + 5 * 14, 0);
    }
    void eraseKeyFramesEmptyTheirMemory() {
        QFETCH(int, which);
        SimulatedMeter meter;
        QVERIFY(meter.fillDemoData(1, 5, 3));
        qint64 t = 0;
        exchange(meter, t, bytes({0x57, 0x00, 0x00, which}));
        QTEST(exchange(meter, t, "A").reply, "status");
    }

    void cfKeyTogglesTheFahrenheitBit() {
        SimulatedMeter meter;
        qint64 t = 0;
        for (int expected : {0x04, 0x00}) {
            exchange(meter, t, bytes({0x57, 0x04, 0x00, 0x00}));
            t += kSecond;
            const QByteArray line = meter.transmit(t);
            QCOMPARE(frameStart(line), 0); // the stream restarts with a whole frame
            QCOMPARE(int(line[1]) & 0x04, expected);
        }
    }

    void clockSetBySAndTRunsOn_data() {
        QTest::addColumn<QByteArray>("date");
        QTest::addColumn<QByteArray>("time");
        QTest::addColumn<QByteArray>("reading");
        QTest::newRow("two seconds on") << bytes({0x53, 26, 3, 4}) << bytes({0x54, 9, 5, 7})
                                        << bytes({0x02, 26, 3, 4, 9, 5, 9, 0x03});
        QTest::newRow("over a month end") << bytes({0x53, 26, 2, 28}) << bytes({0x54, 23, 59, 59})
                                          << bytes({0x02, 26, 3, 1, 0, 0, 1, 0x03});
        QTest::newRow("into a leap day") << bytes({0x53, 24, 2, 28}) << bytes({0x54, 23, 59, 59})
                                         << bytes({0x02, 24, 2, 29, 0, 0, 1, 0x03});
    }
    void clockSetBySAndTRunsOn() {
        QFETCH(QByteArray, date);
        QFETCH(QByteArray, time);
        SimulatedMeter meter;
        qint64 t = 0;
        meter.unsetClock(t);
        // An unset clock reports month 0 and day 0.
        QCOMPARE(exchange(meter, t, "X").reply.mid(2, 2), bytes({0, 0}));
        exchange(meter, t, date, 20 * kMs);
        const qint64 timeSetAt = t + 20 * kMs;
        exchange(meter, t, time, 20 * kMs);
        t = timeSetAt + 2 * kSecond + 100 * kMs - 20 * kMs;
        QTEST(exchange(meter, t, "X").reply, "reading");
    }

    void memoryDumpHoldsTheSetsBehindFourLeadingBytes() {
        SimulatedMeter meter;
        RecordSet set;
        set.channelMask = 0x05;
        set.fahrenheit = true;
        set.typeCodes = {0, 1, 2, 3};
        set.offsetTenths = {-10, 0, 5, 0};
        set.start = {9, 1, 14, 8, 5, 0};
        set.intervalSeconds = 10;
        set.records.append(
            StoredRecord{{{true, false, false, 254}, {}, {true, false, false, -53}, {}}});
        set.records.append(
            StoredRecord{{{true, true, false, 254}, {}, {false, false, true, 0}, {}}});
        QVERIFY(meter.memory().addRecordSet(set));
        qint64 t = 0;
        const Exchange ex = exchange(meter, t, "R");
        QCOMPARE(ex.status.right(7), statusReply(8192 + 39, 0));
        QCOMPARE(ex.reply.size(), 39 + 5);
        const QByteArray expected =
            bytes({0x00, 0x55, 0xAA, 0x00, 0x15, 0,    1,    2,    3, 0xF6, 0, 5,
                   0,    9,    1,    14,   8,    5,    0,    10,   0, 0,    2, // header
                   0x05, 0x00, 0x00, 0x19, 0x04, 0xFF, 0xFB, 0x83,             // record 1
                   0x01, 0x41, 0x00, 0x19, 0x04, 0x00, 0x00, 0x00});           // 2
        QCOMPARE(ex.reply.mid(4, 39).toHex(' '), expected.toHex(' '));
    }

    void manualDumpHolds29BytesPerReading() {
        SimulatedMeter meter;
        ManualReading reading;
        reading.typeCodes = {0, 0, 1, 0};
        reading.at = {9, 1, 14, 8, 5, 0};
        reading.readings = {{{true, false, false, 254},
                             {false, false, false, 0},
                             {true, true, false, 9999},
                             {true, false, true, 190}}};
        QVERIFY(meter.memory().addManualReading(reading));
        QVERIFY(meter.fillDemoData(0, 0, 4));
        qint64 t = 0;
        const Exchange ex = exchange(meter, t, "Q");
        QCOMPARE(ex.status.right(7), statusReply(8192, 5));
        QCOMPARE(ex.reply.size(), 5 * 29 + 3);
        const QByteArray expected = bytes(
            {0x00, 0x0D, 0x84, 0,    0,    1,    0,    0,    0,    0,    0,    9,    1,    14,  8,
             5,    0,    0x00, 0x19, 0x04, 0x00, 0x00, 0x00, 0x03, 0xE7, 0x09, 0x00, 0x13, 0x00});
        QCOMPARE(ex.reply.mid(2, 29).toHex(' '), expected.toHex(' '));
    }

    void demoSetsTakeTheirListsInTurn() {
        SimulatedMeter meter;
        SimulatedMeter::DemoSets demo;
        demo.count = 5;
        demo.masks = {0x08, 0x03};
        demo.fahrenheit = {true};
        demo.intervals = {1, 60, 255};
        demo.records = {0, 3};
        QVERIFY(meter.fillDemoData(demo, 2));
        const auto& sets = meter.memory().recordSets();
        QCOMPARE(sets.size(), 5);
        const QList<int> masks{0x08, 0x03, 0x08, 0x03, 0x08};
        const QList<int> intervals{1, 60, 255, 1, 60};
        const QList<int> records{0, 3, 0, 3, 0};
        for (int s = 0; s < 5; ++s) {
            QCOMPARE(sets[s].channelMask, masks[s]);
            QVERIFY(sets[s].fahrenheit);
            QCOMPARE(sets[s].intervalSeconds, intervals[s]);
            QCOMPARE(sets[s].records.size(), records[s]);
        }
        QCOMPARE(meter.memory().manualCount(), 2);
        // The defaults: 20 records, masks F, 5, 2, B, C, °C and °F by turns.
        SimulatedMeter plain;
        QVERIFY(plain.fillDemoData(2, 20, 0));
        QCOMPARE(plain.memory().recordSets()[1].channelMask, 0x05);
        QVERIFY(plain.memory().recordSets()[1].fahrenheit);
        QVERIFY(!plain.memory().recordSets()[0].fahrenheit);
    }

    void dumpGoesAtItsOwnSpeedAndFramesAtTheLinesAfterIt_data() {
        QTest::addColumn<double>("dumpSpeed");
        QTest::newRow("line rate") << 1.0;
        QTest::newRow("ten times faster") << 10.0;
    }
    void dumpGoesAtItsOwnSpeedAndFramesAtTheLinesAfterIt() {
        QFETCH(double, dumpSpeed);
        SimulatedMeter meter;
        meter.setDumpSpeed(dumpSpeed);
        QVERIFY(meter.fillDemoData(1, 1000, 0)); // 23 + 14000 bytes
        const int reply = 4 + 23 + 14000 + 1;
        qint64 t = 0;
        exchange(meter, t, "R", 0);
        // 520.8 µs a byte on the line.
        const qint64 dumpUs = qint64(reply * 520.83 / dumpSpeed);
        QByteArray line = meter.transmit(t + qint64(dumpUs * 0.98));
        QVERIFY2(line.size() < reply && line.size() > reply * 0.95,
                 qPrintable(QString::number(line.size())));
        QVERIFY(meter.sendingDump());
        line += meter.transmit(t + qint64(dumpUs * 1.02));
        QVERIFY(line.size() >= reply);
        QCOMPARE(int(line[reply - 1]), 0x03);
        QVERIFY(!meter.sendingDump());
        const qint64 after = t + qint64(dumpUs * 1.02) + kSecond;
        meter.transmit(after);
        QVERIFY(qAbs(meter.transmit(after + kSecond).size() - 1920) <= 12);
    }

    // A meter sending a dump takes no request: after the PC cancels a dump,
    // its status requests are lost until the dump is through, not answered
    // after it one by one.
    void requestsDuringADumpAreLost() {
        SimulatedMeter meter;
        QVERIFY(meter.fillDemoData(1, 100, 0));
        qint64 t = 0;
        exchange(meter, t, "R", 0);
        for (int i = 0; i < 20; ++i, t += 20 * kMs)
            meter.receive("A", t);
        QVERIFY(meter.ignoredByteCount() >= 20);
        const QByteArray rest = meter.transmit(t + 2 * kSecond);
        QVERIFY(!rest.contains(statusReply(8192 + 23 + 100 * 14, 0)));
        QVERIFY(meter.violations().isEmpty());
        t += 3 * kSecond;
        QCOMPARE(exchange(meter, t, "A").reply, statusReply(8192 + 23 + 100 * 14, 0));
    }

    void garbageHoldsNoFrameButRepliesStayIntact() {
        SimulatedMeter meter;
        meter.setGarbage(true);
        const QByteArray line = meter.transmit(10 * kSecond);
        QVERIFY(line.size() > 19000);
        QVERIFY(!line.contains('\x02') && !line.contains('\x03'));
        qint64 t = 10 * kSecond;
        QCOMPARE(exchange(meter, t, "A").reply, statusReply(8192, 0));
    }

    void requestSplitByteByByteIsUnderstood() {
        SimulatedMeter meter;
        meter.memory().setSizeCode(2);
        meter.receive("A", 0);
        qint64 t = 0;
        for (char c : bytes({0x55, 0x01, 0x2D, 0x00})) {
            t += 30 * kMs;
            meter.receive(QByteArray(1, c), t);
        }
        QCOMPARE(meter.samplingInterval(), 45);
        meter.receive("A", t + 30 * kMs);
        meter.receive("Y", t + 60 * kMs);
        meter.transmit(t + 80 * kMs);
        meter.receive(bytes({0x00}), t + 90 * kMs);
        QCOMPARE(meter.transmit(t + 200 * kMs), bytes({0x02, 0x02, 0x03}));
    }

    void partialRequestIsDroppedAfter100Ms() {
        SimulatedMeter meter;
        meter.setSamplingInterval(10);
        qint64 t = 0;
        exchange(meter, t, bytes({0x55, 0x01}), 150 * kMs);
        meter.receive(bytes({0x2D, 0x00}), t);
        QCOMPARE(meter.samplingInterval(), 10);
        QCOMPARE(meter.violations().size(), 1);
        QCOMPARE(meter.ignoredByteCount(), 2);
    }

    // The port runs on the clock it is given: here a fake one, so the line's
    // time passes as the test says.
    void portChecksSettingsRefusesWritesWhenClosedAndForgetsDiscardedInput() {
        quadtherm::test::FakeClock clock;
        SimulatedSerialPort port(clock);
        port.setLineSpeed(20);
        QVERIFY(!port.setSettings(QStringLiteral("fast please")));
        QVERIFY(!port.errorString().isEmpty());
        QVERIFY(!port.write("A"));
        QVERIFY(port.open());
        clock.run(50);
        port.discardInput();
        QVERIFY(port.readAll().isEmpty());
        clock.run(20);
        QVERIFY(!port.readAll().isEmpty());
        port.close();
        QVERIFY(!port.write("A"));
        QVERIFY(port.readAll().isEmpty());
    }

    void portAtTheWrongBaudDeliversNoFrameAndNoReply() {
        quadtherm::test::FakeClock clock;
        SimulatedSerialPort port(clock);
        port.setLineSpeed(20);
        QVERIFY(port.setSettings(QStringLiteral("9600,n,8,1")));
        QVERIFY(port.open());
        clock.run(100);
        QVERIFY(port.write("A"));
        clock.run(50);
        const QByteArray line = port.readAll();
        QVERIFY(line.size() > 1000);
        QVERIFY(!line.contains('\x02'));
        QVERIFY(port.meter().requestLog().isEmpty());
    }

    void portDeliversFramesInSmallChunksAtTheLinesPace() {
        quadtherm::test::FakeClock clock;
        SimulatedSerialPort port(clock);
        QVERIFY(port.open());
        QByteArray line;
        qsizetype largest = 0;
        connect(&port, &SimulatedSerialPort::readyRead, this, [&] {
            const QByteArray chunk = port.readAll();
            largest = qMax(largest, chunk.size());
            line += chunk;
        });
        clock.run(300);
        // A few milliseconds of line at a time: 1920 bytes a second.
        QVERIFY2(largest <= 12, qPrintable(QString::number(largest)));
        QVERIFY2(line.size() >= 570 && line.size() <= 580,
                 qPrintable(QString::number(line.size())));
        const qsizetype first = frameStart(line);
        QVERIFY(first >= 0 && first < 12);
        line.clear();
        QVERIFY(port.write("A"));
        clock.run(60);
        QCOMPARE(line.right(7), statusReply(8192, 0));
    }

    void unpluggedPortReportsLossAndStaysShutUntilPluggedIn() {
        quadtherm::test::FakeClock clock;
        SimulatedSerialPort port(clock);
        QVERIFY(port.open());
        QSignalSpy lost(&port, &SimulatedSerialPort::deviceLost);
        port.unplug();
        QCOMPARE(lost.size(), 1);
        QVERIFY(!port.isOpen());
        QVERIFY(!port.open());
        port.plugIn();
        QVERIFY(port.open());
    }
};

QUADTHERM_TEST_SUITE(TestSimulatedMeter, Core)

} // namespace tst_simulated_meter

#include "tst_simulated_meter.moc"
