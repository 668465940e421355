#include "sim/simulated_meter.h"
#include "sim/simulated_serial_port.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <bit>
#include <initializer_list>

using quadtherm::sim::ManualReading;
using quadtherm::sim::RecordSet;
using quadtherm::sim::SimulatedMeter;
using quadtherm::sim::SimulatedSerialPort;
using quadtherm::sim::StoredRecord;

namespace {

constexpr qint64 kMs = 1000;
constexpr qint64 kSecond = 1000 * kMs;

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(quint8(v)));
    return out;
}

// A meter whose readings sit still on their base values.
void stopDrift(SimulatedMeter& meter) {
    for (int k = 0; k < 4; ++k)
        meter.channel(k).driftF = 0.0;
}

// The whole-and-tenths value of a frame, as the wire rule gives it (positive values).
double frameValue(const QByteArray& frame) {
    const int whole = quint8(frame[4]) * 256 + quint8(frame[5]);
    return whole + (quint8(frame[6]) & 0x0F) / 10.0;
}

// Where the first of two back-to-back frames starts, or -1.
qsizetype frameStart(const QByteArray& line) {
    for (qsizetype i = 0; i + 24 <= line.size(); ++i) {
        if (line[i] == 0x02 && line[i + 11] == 0x03 && line[i + 12] == 0x02 && line[i + 23] == 0x03)
            return i;
    }
    return -1;
}

// The readings of every T1 frame in a run of frames.
QList<int> t1Tenths(const QByteArray& line) {
    QList<int> out;
    for (qsizetype i = frameStart(line); i >= 0 && i + 12 <= line.size(); i += 12) {
        if (line[i] != 0x02 || line[i + 11] != 0x03)
            break;
        if ((line[i + 1] & 0x03) == 0)
            out.append(qRound(frameValue(line.mid(i, 12)) * 10));
    }
    return out;
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
    void frameCarriesChannelTypeStatusReadingAndOffsets_data();
    void frameCarriesChannelTypeStatusReadingAndOffsets();
    void framesComeRoundRobinFromT1ToT4();
    void lineCarriesOneByteEveryTenBitTimes_data();
    void lineCarriesOneByteEveryTenBitTimes();
    void readingsDriftSlowlyAroundTheirBase();
    void statusReplyFollowsTheFrameInProgressAndEndsTheLine();
    void streamResumesOnlyAfterTheLineWasQuiet();
    void eachRequestGetsItsReply_data();
    void eachRequestGetsItsReply();
    void strictMeterIgnoresARequestWithoutStatusExchange();
    void eraseKeyFramesEmptyTheirMemory_data();
    void eraseKeyFramesEmptyTheirMemory();
    void cfKeyTogglesTheFahrenheitBit();
    void holdKeyFreezesReadingsUntilPressedAgain();
    void unsetClockReportsMonthAndDayZero();
    void clockSetBySAndTRunsOn_data();
    void clockSetBySAndTRunsOn();
    void memoryDumpHoldsTheSetsBehindFourLeadingBytes();
    void demoMemoryDumpIsSetsBackToBack_data();
    void manualDumpHolds29BytesPerReading();
    void silentMeterSendsAndAnswersNothing();
    void garbageHoldsNoFrameButRepliesStayIntact();
    void strayBytesComeBeforeTheNextReplyOnly();
    void truncatedReplyStopsAfterItsBytes();
    void requestSplitByteByByteIsUnderstood();
    void partialRequestIsDroppedAfter100Ms();

    void portOpensOnlyWithParseableSettings();
    void portAtTheWrongBaudDeliversNoFrameAndNoReply();
    void portDeliversFramesInSmallChunks();
    void portRefusesWritesWhenClosedAndForgetsDiscardedInput();
    void unpluggedPortReportsLossAndStaysShutUntilPluggedIn();
};

void TestSimulatedMeter::frameCarriesChannelTypeStatusReadingAndOffsets_data() {
    QTest::addColumn<double>("baseF");
    QTest::addColumn<int>("offsetT1");
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<int>("flags"); // 1 probe missing, 2 over, 4 under, 8 °F+recording+full
    QTest::addColumn<QByteArray>("frame");
    const QByteArray tail = bytes({0x00, 0xF6, 0x7F, 0x80, 0x03});
    QTest::newRow("72.5") << 72.5 << 0 << 0 << 0
                          << bytes({0x02, 0x00, 0x00, 0x08, 0x00, 0x48, 0x05}) + tail;
    QTest::newRow("-12.3") << -12.3 << 0 << 3 << 0
                           << bytes({0x02, 0x00, 0x03, 0x08, 0xFF, 0xF4, 0x83}) + tail;
    QTest::newRow("-0.5") << -0.5 << 0 << 3 << 0
                          << bytes({0x02, 0x00, 0x03, 0x08, 0x00, 0x00, 0x85}) + tail;
    QTest::newRow("zero") << 0.0 << 0 << 1 << 0
                          << bytes({0x02, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00}) + tail;
    QTest::newRow("type B hot") << 3000.4 << 0 << 9 << 0
                                << bytes({0x02, 0x00, 0x09, 0x08, 0x0B, 0xB8, 0x04}) + tail;
    QTest::newRow("offset added") << 72.5 << -10 << 0 << 0
                                  << bytes({0x02, 0x00, 0x00, 0x08, 0x00, 0x47, 0x05, 0xF6, 0xF6,
                                            0x7F, 0x80, 0x03});
    QTest::newRow("code 11") << 72.5 << 0 << 11 << 0
                             << bytes({0x02, 0x00, 0x0B, 0x08, 0x00, 0x48, 0x05}) + tail;
    QTest::newRow("no probe") << 72.5 << 0 << 0 << 1
                              << bytes({0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}) + tail;
    QTest::newRow("over") << 72.5 << 0 << 0 << 2
                          << bytes({0x02, 0x00, 0x00, 0x28, 0x00, 0x48, 0x05}) + tail;
    QTest::newRow("under") << 72.5 << 0 << 0 << 4
                           << bytes({0x02, 0x00, 0x00, 0x48, 0x00, 0x48, 0x05}) + tail;
    QTest::newRow("F recording full")
        << 72.5 << 0 << 0 << 8 << bytes({0x02, 0xC4, 0x00, 0x08, 0x00, 0x48, 0x05}) + tail;
}

void TestSimulatedMeter::frameCarriesChannelTypeStatusReadingAndOffsets() {
    QFETCH(double, baseF);
    QFETCH(int, offsetT1);
    QFETCH(int, typeCode);
    QFETCH(int, flags);
    QFETCH(QByteArray, frame);
    SimulatedMeter meter;
    stopDrift(meter);
    meter.channel(0) = {typeCode, !(flags & 1), bool(flags & 2), bool(flags & 4), offsetT1,
                        baseF,    0.0};
    meter.channel(1).offsetTenths = -10;
    meter.channel(2).offsetTenths = 127;
    meter.channel(3).offsetTenths = -128;
    meter.setFahrenheit(flags & 8);
    meter.setRecording(flags & 8);
    meter.setMemoryFull(flags & 8);
    QCOMPARE(meter.transmit(7 * kMs).left(12).toHex(' '), frame.toHex(' '));
}

void TestSimulatedMeter::framesComeRoundRobinFromT1ToT4() {
    SimulatedMeter meter;
    const QByteArray line = meter.transmit(100 * kMs);
    QVERIFY(line.size() >= 12 * 12);
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(int(line[12 * i]), 0x02);
        QCOMPARE(quint8(line[12 * i + 1]) & 0x03, i % 4);
        QCOMPARE(int(line[12 * i + 11]), 0x03);
    }
}

void TestSimulatedMeter::lineCarriesOneByteEveryTenBitTimes_data() {
    QTest::addColumn<double>("speed");
    QTest::addColumn<qint64>("untilUs");
    QTest::addColumn<int>("expected");
    QTest::newRow("first byte not yet done") << 1.0 << qint64(520) << 0;
    QTest::newRow("first byte done") << 1.0 << qint64(521) << 1;
    QTest::newRow("one frame") << 1.0 << qint64(6250) << 12;
    QTest::newRow("one second") << 1.0 << kSecond << 1920;
    QTest::newRow("one second fifty times faster") << 50.0 << kSecond << 96000;
}

void TestSimulatedMeter::lineCarriesOneByteEveryTenBitTimes() {
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

void TestSimulatedMeter::readingsDriftSlowlyAroundTheirBase() {
    SimulatedMeter meter(7);
    meter.channel(0).baseF = 100.0;
    meter.channel(0).driftF = 3.0;
    const QList<int> values = t1Tenths(meter.transmit(300 * kSecond));
    QVERIFY(values.size() > 11000);
    for (qsizetype i = 0; i < values.size(); ++i) {
        QVERIFY2(values[i] >= 969 && values[i] <= 1031, qPrintable(QString::number(values[i])));
        // Frames of one channel are 25 ms apart: a real probe cannot jump.
        QVERIFY(i == 0 || qAbs(values[i] - values[i - 1]) <= 2);
    }
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    QVERIFY2(*high - *low > 20, "the reading should move like a real temperature");
}

void TestSimulatedMeter::statusReplyFollowsTheFrameInProgressAndEndsTheLine() {
    SimulatedMeter meter;
    QCOMPARE(meter.transmit(3 * kMs).size(), 5); // the first frame is under way
    meter.receive("A", 3 * kMs);
    const QByteArray line = meter.transmit(23 * kMs);
    QCOMPARE(line.size(), 7 + 7);
    QCOMPARE(int(line[6]), 0x03);
    QCOMPARE(line.right(7).toHex(' '), statusReply(8192, 0).toHex(' '));
    QVERIFY(meter.transmit(500 * kMs).isEmpty());
    const QByteArray resumed = meter.transmit(510 * kMs);
    QVERIFY(!resumed.isEmpty());
    QCOMPARE(int(resumed[0]), 0x02);
    QCOMPARE(int(resumed[1]) & 0x03, 1); // T2 follows the T1 frame that was finished
}

void TestSimulatedMeter::streamResumesOnlyAfterTheLineWasQuiet() {
    SimulatedMeter meter;
    meter.setResumeAfterQuietMs(100);
    meter.transmit(10 * kMs);
    for (qint64 t = 10 * kMs; t <= 300 * kMs; t += 90 * kMs) {
        meter.receive(bytes({0x00}), t); // not a request, but the line is not quiet
        const QByteArray line = meter.transmit(t + 89 * kMs);
        QVERIFY2(line.size() <= 12, "only the frame in progress may be finished");
    }
    QVERIFY(meter.transmit(379 * kMs).isEmpty());
    QVERIFY(!meter.transmit(400 * kMs).isEmpty());
}

void TestSimulatedMeter::eachRequestGetsItsReply_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("status") << QByteArray("A") << statusReply(8192, 0);
    QTest::newRow("power-off read") << bytes({0x56, 0, 0, 0}) << bytes({0x02, 0x02, 0x03});
    QTest::newRow("interval read") << bytes({0x55, 0, 0, 0}) << bytes({0x02, 0x0A, 0x03});
    QTest::newRow("size read") << bytes({0x59, 0}) << bytes({0x02, 0x04, 0x03});
    QTest::newRow("clock read") << QByteArray("X")
                                << bytes({0x02, 0x1A, 0x03, 0x04, 0x09, 0x05, 0x07, 0x03});
    QTest::newRow("manual dump, none") << QByteArray("Q") << bytes({0x02, 0x00, 0x03});
    QTest::newRow("power-off set") << bytes({0x56, 1, 0, 0}) << QByteArray();
    QTest::newRow("interval set") << bytes({0x55, 1, 60, 0}) << QByteArray();
    QTest::newRow("size set") << bytes({0x59, 1, 2}) << QByteArray();
    QTest::newRow("key") << bytes({0x57, 0x01, 0, 0}) << QByteArray();
    QTest::newRow("date set") << bytes({0x53, 26, 3, 4}) << QByteArray();
}

void TestSimulatedMeter::eachRequestGetsItsReply() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    SimulatedMeter meter;
    meter.setPowerOffIndex(2);
    meter.setSamplingInterval(10);
    meter.memory().setSizeCode(4);
    qint64 t = 50 * kMs;
    meter.setClock(QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)), t);
    const Exchange ex = exchange(meter, t, request);
    QCOMPARE(ex.status.right(7).toHex(' '), statusReply(8192, 0).toHex(' '));
    QCOMPARE(ex.reply.toHex(' '), reply.toHex(' '));
    QVERIFY(meter.violations().isEmpty());
}

void TestSimulatedMeter::strictMeterIgnoresARequestWithoutStatusExchange() {
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

void TestSimulatedMeter::eraseKeyFramesEmptyTheirMemory_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("automatic data") << 0x02 << statusReply(8192, 3);
    QTest::newRow("manual readings") << 0x01 << statusReply(8192 + 23 + 5 * 14, 0);
}

void TestSimulatedMeter::eraseKeyFramesEmptyTheirMemory() {
    QFETCH(int, which);
    QFETCH(QByteArray, status);
    SimulatedMeter meter;
    QVERIFY(meter.fillDemoData(1, 5, 3));
    qint64 t = 0;
    exchange(meter, t, bytes({0x57, 0x00, 0x00, which}));
    QCOMPARE(exchange(meter, t, "A").reply.toHex(' '), status.toHex(' '));
}

void TestSimulatedMeter::cfKeyTogglesTheFahrenheitBit() {
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

void TestSimulatedMeter::holdKeyFreezesReadingsUntilPressedAgain() {
    SimulatedMeter meter;
    meter.channel(0).driftF = 50.0;
    qint64 t = 0;
    exchange(meter, t, bytes({0x57, 0x00, 0x01, 0x00}));
    QVERIFY(meter.holding());
    meter.transmit(t + kSecond);
    const QList<int> held = t1Tenths(meter.transmit(t + 20 * kSecond));
    QVERIFY(held.size() > 500);
    QCOMPARE(held.count(held.first()), held.size());
    t += 20 * kSecond;
    exchange(meter, t, bytes({0x57, 0x00, 0x01, 0x00}));
    QVERIFY(!meter.holding());
    meter.transmit(t + kSecond);
    const QList<int> moving = t1Tenths(meter.transmit(t + 20 * kSecond));
    QVERIFY(moving.count(held.first()) < moving.size());
}

void TestSimulatedMeter::unsetClockReportsMonthAndDayZero() {
    SimulatedMeter meter;
    qint64 t = 0;
    meter.unsetClock(t);
    const QByteArray reply = exchange(meter, t, "X").reply;
    QCOMPARE(reply.size(), 8);
    QCOMPARE(int(reply[2]), 0);
    QCOMPARE(int(reply[3]), 0);
}

void TestSimulatedMeter::clockSetBySAndTRunsOn_data() {
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

void TestSimulatedMeter::clockSetBySAndTRunsOn() {
    QFETCH(QByteArray, date);
    QFETCH(QByteArray, time);
    QFETCH(QByteArray, reading);
    SimulatedMeter meter;
    qint64 t = 0;
    meter.unsetClock(t);
    exchange(meter, t, date, 20 * kMs);
    const qint64 timeSetAt = t + 20 * kMs;
    exchange(meter, t, time, 20 * kMs);
    t = timeSetAt + 2 * kSecond + 100 * kMs - 20 * kMs;
    QCOMPARE(exchange(meter, t, "X").reply.toHex(' '), reading.toHex(' '));
}

void TestSimulatedMeter::memoryDumpHoldsTheSetsBehindFourLeadingBytes() {
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
    set.records.append(StoredRecord{{{true, true, false, 254}, {}, {false, false, true, 0}, {}}});
    QVERIFY(meter.memory().addRecordSet(set));
    qint64 t = 0;
    const Exchange ex = exchange(meter, t, "R");
    QCOMPARE(ex.status.right(7).toHex(' '), statusReply(8192 + 39, 0).toHex(' '));
    QCOMPARE(ex.reply.size(), 39 + 5);
    const QByteArray expected =
        bytes({0x00, 0x55, 0xAA, 0x00, 0x15, 0,    1,    2,    3, 0xF6, 0, 5,
               0,    9,    1,    14,   8,    5,    0,    10,   0, 0,    2, // header
               0x05, 0x00, 0x00, 0x19, 0x04, 0xFF, 0xFB, 0x83,             // record 1
               0x01, 0x41, 0x00, 0x19, 0x04, 0x00, 0x00, 0x00});           // 2
    QCOMPARE(ex.reply.mid(4, 39).toHex(' '), expected.toHex(' '));
}

void TestSimulatedMeter::demoMemoryDumpIsSetsBackToBack_data() {
    QTest::addColumn<int>("sets");
    QTest::addColumn<int>("records");
    QTest::newRow("one set") << 1 << 10;
    QTest::newRow("every mask") << 7 << 33;
    QTest::newRow("empty sets") << 3 << 0;
}

void TestSimulatedMeter::manualDumpHolds29BytesPerReading() {
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
    QCOMPARE(ex.status.right(7).toHex(' '), statusReply(8192, 5).toHex(' '));
    QCOMPARE(ex.reply.size(), 5 * 29 + 3);
    const QByteArray expected =
        bytes({0x00, 0x0D, 0x84, 0,    0,    1,    0,    0,    0,    0,    0,    9,    1,    14,  8,
               5,    0,    0x00, 0x19, 0x04, 0x00, 0x00, 0x00, 0x03, 0xE7, 0x09, 0x00, 0x13, 0x00});
    QCOMPARE(ex.reply.mid(2, 29).toHex(' '), expected.toHex(' '));
}

void TestSimulatedMeter::silentMeterSendsAndAnswersNothing() {
    SimulatedMeter meter;
    meter.transmit(kSecond);
    meter.setSilent(true);
    qint64 t = kSecond;
    const Exchange ex = exchange(meter, t, "X");
    QVERIFY(ex.status.isEmpty());
    QVERIFY(ex.reply.isEmpty());
    QVERIFY(meter.transmit(t + 5 * kSecond).isEmpty());
    meter.setSilent(false);
    QVERIFY(!meter.transmit(t + 6 * kSecond).isEmpty());
}

void TestSimulatedMeter::garbageHoldsNoFrameButRepliesStayIntact() {
    SimulatedMeter meter;
    meter.setGarbage(true);
    const QByteArray line = meter.transmit(10 * kSecond);
    QVERIFY(line.size() > 19000);
    QVERIFY(!line.contains('\x02'));
    QVERIFY(!line.contains('\x03'));
    qint64 t = 10 * kSecond;
    QCOMPARE(exchange(meter, t, "A").reply.toHex(' '), statusReply(8192, 0).toHex(' '));
}

void TestSimulatedMeter::strayBytesComeBeforeTheNextReplyOnly() {
    SimulatedMeter meter;
    meter.injectStrayBytes(bytes({0x12, 0x34}));
    qint64 t = 0;
    const Exchange ex = exchange(meter, t, "A");
    QVERIFY(ex.status.endsWith(bytes({0x12, 0x34}) + statusReply(8192, 0)));
    QCOMPARE(ex.reply.toHex(' '), statusReply(8192, 0).toHex(' '));
}

void TestSimulatedMeter::truncatedReplyStopsAfterItsBytes() {
    SimulatedMeter meter;
    QVERIFY(meter.fillDemoData(2, 50, 0));
    meter.receive("A", 0);
    QCOMPARE(meter.transmit(20 * kMs).right(7).size(), 7);
    meter.truncateNextReply(100);
    meter.receive("R", 20 * kMs);
    QCOMPARE(meter.transmit(420 * kMs).size(), 100);
    QVERIFY(meter.transmit(kSecond).startsWith('\x02'));
}

void TestSimulatedMeter::requestSplitByteByByteIsUnderstood() {
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
    QCOMPARE(meter.transmit(t + 200 * kMs).toHex(' '), bytes({0x02, 0x02, 0x03}).toHex(' '));
}

void TestSimulatedMeter::partialRequestIsDroppedAfter100Ms() {
    SimulatedMeter meter;
    meter.setSamplingInterval(10);
    qint64 t = 0;
    exchange(meter, t, bytes({0x55, 0x01}), 150 * kMs);
    meter.receive(bytes({0x2D, 0x00}), t);
    QCOMPARE(meter.samplingInterval(), 10);
    QCOMPARE(meter.violations().size(), 1);
    QCOMPARE(meter.ignoredByteCount(), 2);
}

void TestSimulatedMeter::portOpensOnlyWithParseableSettings() {
    SimulatedSerialPort port;
    QVERIFY(!port.setSettings(QStringLiteral("fast please")));
    QVERIFY(!port.errorString().isEmpty());
    QVERIFY(port.setSettings(QStringLiteral("9600,n,8,1")));
    QVERIFY(port.open());
    QVERIFY(port.isOpen());
}

void TestSimulatedMeter::portAtTheWrongBaudDeliversNoFrameAndNoReply() {
    SimulatedSerialPort port;
    port.setLineSpeed(20);
    QVERIFY(port.setSettings(QStringLiteral("9600,n,8,1")));
    QVERIFY(port.open());
    QTest::qWait(100);
    QVERIFY(port.write("A"));
    QTest::qWait(50);
    const QByteArray line = port.readAll();
    QVERIFY(line.size() > 1000);
    QVERIFY(!line.contains('\x02'));
    QVERIFY(port.meter().requestLog().isEmpty());
}

void TestSimulatedMeter::portDeliversFramesInSmallChunks() {
    SimulatedSerialPort port;
    QVERIFY(port.open());
    QByteArray line;
    qsizetype largest = 0;
    connect(&port, &SimulatedSerialPort::readyRead, this, [&] {
        const QByteArray chunk = port.readAll();
        largest = qMax(largest, chunk.size());
        line += chunk;
    });
    QTest::qWait(300);
    // A few milliseconds of line at a time, with room for a slow machine.
    QVERIFY2(largest <= 200, qPrintable(QString::number(largest)));
    QVERIFY2(line.size() > 300 && line.size() < 700, qPrintable(QString::number(line.size())));
    const qsizetype first = frameStart(line);
    QVERIFY(first >= 0 && first < 12);
    line.clear();
    QVERIFY(port.write("A"));
    QTest::qWait(60);
    QCOMPARE(line.right(7).toHex(' '), statusReply(8192, 0).toHex(' '));
}

void TestSimulatedMeter::portRefusesWritesWhenClosedAndForgetsDiscardedInput() {
    SimulatedSerialPort port;
    port.setLineSpeed(20);
    QVERIFY(!port.write("A"));
    QVERIFY(port.open());
    QTest::qWait(50);
    port.discardInput();
    QVERIFY(port.readAll().isEmpty());
    QTest::qWait(20);
    QVERIFY(!port.readAll().isEmpty());
    port.close();
    QVERIFY(!port.write("A"));
    QVERIFY(port.readAll().isEmpty());
}

void TestSimulatedMeter::unpluggedPortReportsLossAndStaysShutUntilPluggedIn() {
    SimulatedSerialPort port;
    QVERIFY(port.open());
    QSignalSpy lost(&port, &SimulatedSerialPort::deviceLost);
    port.unplug();
    QCOMPARE(lost.size(), 1);
    QVERIFY(!port.isOpen());
    QVERIFY(!port.open());
    port.plugIn();
    QVERIFY(port.open());
}

QTEST_GUILESS_MAIN(TestSimulatedMeter)
#include "tst_simulated_meter.moc"
