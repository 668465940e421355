// The logger memory's dumps decoded: record sets, their records and texts,
// manual readings, the memory figures. Every byte image is built here from
// the meter's layouts, not by the simulated meter's encoder.

#include "logger_memory/memory_download.h"
#include "logger_memory/memory_dump.h"
#include "logger_memory/memory_figures.h"
#include "meter_link/live_reading.h"
#include "support/fake_clock.h"
#include "support/meter_bytes.h"
#include "support/scripted_serial_port.h"
#include "support/test_suite.h"

#include <QTest>

namespace tst_memory_decoding {

using namespace quadtherm;
using namespace quadtherm::logger_memory;

namespace {

using test::bytes;

struct SetImage {
    int flags = 0x0F;
    QList<int> types{0, 0, 1, 3};
    QList<int> offsets{0, 0, 0, 0}; // signed bytes
    QList<int> start{9, 1, 14, 8, 5, 0};
    int interval = 10;
    int count = -1; // the records' own number unless set
    QList<QByteArray> records;

    // Marker, flags, types, offsets, start, interval, 24-bit count, records.
    QByteArray bytes() const {
        QByteArray out = test::bytes({0x00, 0x55, 0xAA, 0x00, flags});
        for (int t : types)
            out.append(char(t));
        for (int o : offsets)
            out.append(char(o & 0xFF));
        for (int f : start)
            out.append(char(f));
        out.append(char(interval));
        const int n = count >= 0 ? count : int(records.size());
        out += test::bytes({(n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF});
        for (const QByteArray& r : records)
            out += r;
        return out;
    }
};

// A record: present bits, over (low nibble) and under (high nibble) bits,
// then the readings of the channels in the mask.
QByteArray record(int present, int overUnder, const QList<QByteArray>& readings) {
    QByteArray out = bytes({present, overUnder});
    for (const QByteArray& r : readings)
        out += r;
    return out;
}

// 3-byte readings.
const QByteArray k72_5 = bytes({0x00, 0x48, 0x05});
const QByteArray k100_0 = bytes({0x00, 0x64, 0x00});
const QByteArray kMinus5_3 = bytes({0xFF, 0xFB, 0x83});

RecordSet onlySet(const SetImage& image) {
    const SetWalk walk = walkSets(image.bytes());
    Q_ASSERT(walk.sets.size() == 1);
    return walk.sets.first();
}

QStringList cells(const QByteArray& row) {
    return QString::fromLatin1(row).split(u'\t');
}

// A 29-byte manual record.
QByteArray manualRecord(int unitFlags, int present, int overUnder, QList<int> types = {0, 0, 0, 0},
                        QList<int> offsets = {0, 0, 0, 0}, QList<int> when = {9, 1, 14, 8, 5, 0},
                        const QList<QByteArray>& readings = {k72_5, k72_5, k72_5, k72_5}) {
    QByteArray out = bytes({unitFlags, present, overUnder});
    for (int t : types)
        out.append(char(t));
    for (int o : offsets)
        out.append(char(o & 0xFF));
    for (int f : when)
        out.append(char(f));
    for (const QByteArray& r : readings)
        out += r;
    Q_ASSERT(out.size() == 29);
    return out;
}

QByteArray statusReply(int pointer) {
    return bytes({0x02, pointer >> 16, (pointer >> 8) & 0xFF, pointer & 0xFF, 0, 0xFF, 0x03});
}

// The dump reply: four leading bytes, the data area, one trailing byte.
QByteArray dumpReply(const QByteArray& area) {
    return bytes({0x02, 0, 0, 0}) + area + bytes({0x03});
}

// The protocol over a scripted meter.
struct ScriptedMeter {
    test::FakeClock clock;
    test::ScriptedSerialPort port{clock};
    shared::RunState state;
    meter_link::MeterProtocol protocol{port, clock, state};
    ScriptedMeter() { port.open(); }
};

} // namespace

class TestMemoryDecoding : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void setHeaderFieldsAndListRow() {
        SetImage image;
        image.flags = 0x15;            // °F, T1 and T3
        image.types = {1, 19, 10, 15}; // 19 is code 3 (T)
        image.offsets = {0xF6, 0x7F, 0x80, 0x00};
        image.start = {9, 1, 14, 8, 5, 0};
        image.interval = 10;
        image.count = 360;
        image.records = {QByteArray(360 * 8, '\0')};
        const RecordSet set = onlySet(image);
        QCOMPARE(set.number, 1);
        QCOMPARE(set.header.channelMask, 0x05);
        QVERIFY(set.header.fahrenheit);
        QCOMPARE(set.header.channelCount(), 2);
        QCOMPARE(set.header.recordLength(), 8);
        QCOMPARE(set.header.offsets, (shared::PerChannel<double>{-1.0, 12.7, -12.8, 0.0}));
        QCOMPARE(set.header.setLength(), 23 + 360 * 8);
        QCOMPARE(set.bytes, image.bytes());
        QCOMPARE(setListCells(set), (QStringList{"1", "2009/01/14 08:05:00", "10", "360"}));
        const DecodedSet decoded = decodeSet(set);
        QCOMPARE(decoded.headingC,
                 (recording::SixValues{"°C", "Date Time", "T1 - J", "T2 - T", "T3 - C", "T4 - "}));
        QCOMPARE(decoded.headingF[0], QStringLiteral("°F"));
    }

    // The start's own text, then one stamp an interval on for each record;
    // a month or day of 0 reads as 1.
    void recordsAreStampedIntervalsApartAcrossMidnightAndMonthEnds_data() {
        QTest::addColumn<QList<int>>("start");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QStringList>("stamps");
        QTest::newRow("month 0") << QList{9, 0, 14, 8, 5, 0} << 10
                                 << QStringList{"2009/01/14 08:05:00"};
        QTest::newRow("day 0") << QList{26, 12, 0, 23, 59, 59} << 10
                               << QStringList{"2026/12/01 23:59:59"};
        QTest::newRow("never set")
            << QList{0, 0, 0, 0, 0, 0} << 10 << QStringList{"2000/01/01 00:00:00"};
        QTest::newRow("across midnight into a new month")
            << QList{9, 1, 31, 23, 59, 50} << 5
            << QStringList{"2009/01/31 23:59:50", "2009/01/31 23:59:55", "2009/02/01 00:00:00",
                           "2009/02/01 00:00:05"};
        QTest::newRow("into a leap day")
            << QList{24, 2, 28, 23, 59, 0} << 255
            << QStringList{"2024/02/28 23:59:00", "2024/02/29 00:03:15", "2024/02/29 00:07:30",
                           "2024/02/29 00:11:45"};
        QTest::newRow("new year") << QList{25, 12, 31, 23, 59, 59} << 1
                                  << QStringList{"2025/12/31 23:59:59", "2026/01/01 00:00:00",
                                                 "2026/01/01 00:00:01", "2026/01/01 00:00:02"};
    }
    void recordsAreStampedIntervalsApartAcrossMidnightAndMonthEnds() {
        QFETCH(QList<int>, start);
        QFETCH(int, interval);
        QFETCH(QStringList, stamps);
        QByteArray raw;
        for (int f : start)
            raw.append(char(f));
        QCOMPARE(meterDateTimeText(meterDateTimeAt(raw, 0)), stamps[0]);
        SetImage image;
        image.flags = 0x01;
        image.start = start;
        image.interval = interval;
        for (int i = 0; i < stamps.size(); ++i)
            image.records.append(record(1, 0, {k72_5}));
        const DecodedSet decoded = decodeSet(onlySet(image));
        QCOMPARE(decoded.rowsC.size(), stamps.size());
        for (int k = 0; k < stamps.size(); ++k) {
            QCOMPARE(cells(decoded.rowsC[k])[0], QString::number(k + 1));
            QCOMPARE(cells(decoded.rowsC[k])[1], stamps[k]);
            QCOMPARE(cells(decoded.rowsF[k])[1], stamps[k]);
        }
    }

    void aLongSetCountsItsDaysOn() {
        SetImage image;
        image.flags = 0x00; // no channels: two flag bytes a record
        image.start = {26, 2, 27, 12, 0, 0};
        image.interval = 255;
        for (int i = 0; i < 1000; ++i)
            image.records.append(bytes({0, 0}));
        const DecodedSet decoded = decodeSet(onlySet(image));
        // 999 × 255 s = 2 d 22 h 45 min 45 s after the start.
        QCOMPARE(cells(decoded.rowsC.last())[1], QStringLiteral("2026/03/02 10:45:45"));
        QCOMPARE(cells(decoded.rowsC.last()).mid(2), QStringList(4, QString()));
    }

    // Issue 11: a channel outside the mask is an empty cell, so every row
    // keeps its six cells.
    void onlyTheChannelsInTheMaskFillTheirColumnsInOrder_data() {
        QTest::addColumn<int>("mask");
        QTest::addColumn<QList<QByteArray>>("readings");
        QTest::addColumn<QStringList>("textsF");
        QTest::newRow("T1 and T3: first reading T1, second T3")
            << 0x05 << QList{k72_5, kMinus5_3} << QStringList{"72.5", "", "-5.3", ""};
        QTest::newRow("T2 only") << 0x02 << QList{k100_0} << QStringList{"", "100.0", "", ""};
        QTest::newRow("all four") << 0x0F << QList{k72_5, k100_0, kMinus5_3, k72_5}
                                  << QStringList{"72.5", "100.0", "-5.3", "72.5"};
        QTest::newRow("T2 and T4")
            << 0x0A << QList{kMinus5_3, k100_0} << QStringList{"", "-5.3", "", "100.0"};
    }
    void onlyTheChannelsInTheMaskFillTheirColumnsInOrder() {
        QFETCH(int, mask);
        QFETCH(QList<QByteArray>, readings);
        QFETCH(QStringList, textsF);
        SetImage image;
        image.flags = 0x10 | mask;
        image.records = {record(0x0F, 0, readings), record(0x0F, 0, readings)};
        const RecordSet set = onlySet(image);
        QCOMPARE(set.header.recordLength(), 2 + 3 * int(readings.size()));
        const DecodedSet decoded = decodeSet(set);
        for (const QByteArray& row : decoded.rowsF) {
            QCOMPARE(row.count('\t'), 5);
            QCOMPARE(cells(row).mid(2), textsF);
        }
        for (const QByteArray& row : decoded.rowsC)
            for (int k = 0; k < 4; ++k)
                QCOMPARE(cells(row)[2 + k].isEmpty(), textsF[k].isEmpty());
    }

    void absentWinsOverOverWhichWinsOverUnder_data() {
        QTest::addColumn<int>("present");
        QTest::addColumn<int>("overUnder");
        QTest::addColumn<QString>("shown");
        QTest::newRow("absent, over and under set") << 0x0E << 0x11 << "- - -";
        QTest::newRow("over and under") << 0x0F << 0x11 << "Over";
        QTest::newRow("under") << 0x0F << 0x10 << "Under";
        QTest::newRow("another channel's bits") << 0x0F << 0x22 << "72.5";
    }
    void absentWinsOverOverWhichWinsOverUnder() {
        QFETCH(int, present);
        QFETCH(int, overUnder);
        QFETCH(QString, shown);
        for (bool fahrenheit : {false, true}) {
            SetImage image;
            image.flags = (fahrenheit ? 0x10 : 0) | 0x01;
            image.records = {record(present, overUnder, {k72_5})};
            const DecodedSet decoded = decodeSet(onlySet(image));
            const QString f = cells(decoded.rowsF[0])[2];
            const QString c = cells(decoded.rowsC[0])[2];
            QCOMPARE(f, shown);
            QCOMPARE(c, shown == "72.5" ? QStringLiteral("22.5") : shown);
        }
        QCOMPARE(manualRecordCells(manualRecord(0x00, present, overUnder))[2],
                 QStringLiteral("K: ") + (shown == "72.5" ? QStringLiteral("22.5") : shown));
    }

    void readingTextsFollowTheSetsUnit_data() {
        QTest::addColumn<QByteArray>("reading");
        QTest::addColumn<int>("offsetByte");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<QString>("textF");
        QTest::addColumn<QString>("textC");
        const auto row = [](const char* name, const QByteArray& reading, int offsetByte,
                            bool fahrenheit, const char* textF, const char* textC) {
            QTest::newRow(name) << reading << offsetByte << fahrenheit << QString(textF)
                                << QString(textC);
        };
        // °F sets: the stored text, and °C without the offset.
        row("°F 72.5", k72_5, 0, true, "72.5", "22.5");
        row("°F ignores the offset", k72_5, 0xF6, true, "72.5", "22.5");
        row("°F -5.3", kMinus5_3, 0, true, "-5.3", "-20.7");
        row("°F negative zero", bytes({0x00, 0x00, 0x85}), 0, true, "-0.5", "-18.0");
        // °C sets: °C as live (offset off, converted, back on), °F from that.
        row("°C 72.5", k72_5, 0, false, "72.5", "22.5");
        row("°C offset -1.0", k72_5, 0xF6, false, "71.6", "22.0");
        row("°C offset +1.5", k100_0, 15, false, "101.1", "38.4");
        row("°C just below zero", bytes({0x00, 0x1F, 0x05}), 0, false, "31.6", "-.2");
        row("°C 32.9 is 0.5, not 0.4", bytes({0x00, 0x20, 0x09}), 0, false, "32.9", "0.5");
    }
    void readingTextsFollowTheSetsUnit() {
        QFETCH(QByteArray, reading);
        QFETCH(int, offsetByte);
        QFETCH(bool, fahrenheit);
        QFETCH(QString, textF);
        QFETCH(QString, textC);
        SetImage image;
        image.flags = (fahrenheit ? 0x10 : 0) | 0x04;
        image.offsets = {0, 0, offsetByte, 0};
        image.records = {record(0x04, 0, {reading})};
        const DecodedSet decoded = decodeSet(onlySet(image));
        QCOMPARE(cells(decoded.rowsF[0])[4], textF);
        QCOMPARE(cells(decoded.rowsC[0])[4], textC);
    }

    // A °C set shows a reading as the live display showed it.
    void aCelsiusSetsReadingMatchesTheLiveText_data() {
        QTest::addColumn<int>("tenthsF");
        QTest::addColumn<int>("offsetByte");
        QTest::newRow("room") << 725 << 0;
        QTest::newRow("room with -1.0") << 725 << 0xF6;
        QTest::newRow("hot with +12.7") << 25001 << 0x7F;
        QTest::newRow("cold with -12.8") << -3105 << 0x80;
        QTest::newRow("-0.5 F") << -5 << 3;
        QTest::newRow("32.9 F") << 329 << 0;
        QTest::newRow("33.1 F with 0.3") << 331 << 3;
    }
    void aCelsiusSetsReadingMatchesTheLiveText() {
        QFETCH(int, tenthsF);
        QFETCH(int, offsetByte);
        // The meter's reading bytes: whole degrees in two's complement, the
        // sign in bit 7 of the third byte, the tenths digit below it.
        const int magnitude = std::abs(tenthsF);
        const int whole = tenthsF < 0 ? (0x10000 - magnitude / 10) & 0xFFFF : magnitude / 10;
        const QByteArray reading =
            bytes({whole >> 8, whole & 0xFF, (tenthsF < 0 ? 0x80 : 0) | magnitude % 10});
        shared::LiveState live;
        meter_link::DecodeFrame(
            live, bytes({0x02, 0x01, 0x00, 0x08, quint8(reading[0]), quint8(reading[1]),
                         quint8(reading[2]), 0, offsetByte, 0, 0, 0x03}));
        SetImage image;
        image.flags = 0x02;
        image.offsets = {0, offsetByte, 0, 0};
        image.records = {record(0x02, 0, {reading})};
        QCOMPARE(cells(decodeSet(onlySet(image)).rowsC[0])[3], live.LiveTextC[1]);
    }

    void setsAreWalkedBackToBack() {
        SetImage a, b, c;
        a.flags = 0x0F;
        a.records = {record(0x0F, 0, {k72_5, k72_5, k72_5, k72_5})};
        b.flags = 0x12;
        b.start = {10, 6, 1, 0, 0, 0};
        b.interval = 2;
        b.records = {record(2, 0, {k100_0}), record(2, 0, {k100_0}), record(2, 0, {k100_0})};
        c.flags = 0x00;
        c.records = {};
        const QByteArray area = a.bytes() + b.bytes() + c.bytes();
        const SetWalk walk = walkSets(area);
        QCOMPARE(walk.damage, SetDamage::None);
        QCOMPARE(walk.sets.size(), 3);
        QCOMPARE(walk.sets[1].bytes, b.bytes());
        QCOMPARE(setListCells(walk.sets[1]), (QStringList{"2", "2010/06/01 00:00:00", "2", "3"}));
        QCOMPARE(walk.sets[2].header.recordCount, 0);
        QVERIFY(decodeSet(walk.sets[2]).rowsC.isEmpty());
        // The dump reply: four leading bytes, the area, one trailing byte.
        const QByteArray reply = bytes({0x02, 0x00, 0x20, 0x31}) + area + bytes({0x03});
        QCOMPARE(dataAreaOf(reply).toByteArray(), area);
        QCOMPARE(dataAreaOf(reply.left(10), false).toByteArray(), reply.mid(4, 6));
        QVERIFY(dataAreaOf(reply.left(5)).isEmpty());
    }

    // Issue 11: more than 255 sets are all kept, numbered on.
    void moreThan255SetsAreAllKept() {
        QByteArray area;
        for (int s = 0; s < 300; ++s) {
            SetImage image;
            image.flags = 0x01;
            image.interval = s % 256;
            image.records = {record(1, 0, {k72_5})};
            area += image.bytes();
        }
        const SetWalk walk = walkSets(area);
        QCOMPARE(walk.damage, SetDamage::None);
        QCOMPARE(walk.sets.size(), 300);
        QCOMPARE(walk.sets[255].number, 256);
        QCOMPARE(walk.sets[299].header.intervalSeconds, 299 % 256);
        QCOMPARE(setListCells(walk.sets[299])[0], QStringLiteral("300"));
    }

    // Issue 11: a dump is untrusted; damage ends the walk, never a read past
    // the buffer, and the sets before it stay.
    void damagedDataKeepsTheSetsBeforeIt_data() {
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<int>("damage");
        SetImage cutShort;
        cutShort.flags = 0x0F;
        cutShort.count = 1000;
        cutShort.records = {record(0x0F, 0, {k72_5, k72_5, k72_5, k72_5})};
        SetImage huge;
        huge.count = 0xFFFFFF;
        QTest::newRow("no marker")
            << bytes({0x00, 0x55, 0xAB, 0x00}) + QByteArray(30, '\0') << int(SetDamage::NoMarker);
        QTest::newRow("three stray bytes") << bytes({0x00, 0x55, 0xAA}) << int(SetDamage::NoMarker);
        QTest::newRow("header cut short") << cutShort.bytes().left(15) << int(SetDamage::CutShort);
        QTest::newRow("records past the end") << cutShort.bytes() << int(SetDamage::CutShort);
        QTest::newRow("count of 16 million") << huge.bytes() << int(SetDamage::CutShort);
    }
    void damagedDataKeepsTheSetsBeforeIt() {
        QFETCH(QByteArray, tail);
        QFETCH(int, damage);
        SetImage good;
        good.flags = 0x01;
        good.records = {record(1, 0, {k72_5})};
        const QByteArray head = good.bytes() + good.bytes();
        // A heap copy of exactly the area, so the sanitizer sees any overread.
        const QByteArray area = head + tail;
        const SetWalk walk = walkSets(QByteArrayView(area));
        QCOMPARE(int(walk.damage), damage);
        QCOMPARE(walk.sets.size(), 2);
        QCOMPARE(walk.damagedAt, head.size());
        QVERIFY(damageText(walk).startsWith(
            QStringLiteral("The memory data is damaged after record set 2")));
        const SetWalk nothing = walkSets(tail);
        QVERIFY(nothing.sets.isEmpty());
        QCOMPARE(nothing.damagedAt, 0);
        QVERIFY(damageText(nothing).contains(QStringLiteral("No record set could be read.")));
        // #18: the progress line says where the listing stopped.
        QCOMPARE(damageFooter(walk, 4 * head.size()),
                 QStringLiteral("Damaged after set 2: stopped at 25.0%"));
        QCOMPARE(damageFooter(nothing, tail.size()),
                 QStringLiteral("Damaged from the start: stopped at 0.0%"));
    }

    void aSetClaimingMoreRecordsThanItHoldsDecodesOnlyWhatItHolds() {
        SetImage image;
        image.flags = 0x01;
        image.count = 5;
        image.records = {record(1, 0, {k72_5}), record(1, 0, {k72_5})};
        RecordSet set;
        set.header = readSetHeader(image.bytes());
        set.bytes = image.bytes();
        QCOMPARE(decodeSet(set).rowsC.size(), 2);
    }

    void manualRecordGivesTheListRow_data() {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QStringList>("row");
        // 77.8 °F is 25.4 °C; 66.2 °F is 19.0 °C.
        QTest::newRow("the °C example")
            << manualRecord(
                   0x00, 0x0D, 0x04, {0, 0, 1, 0}, {0, 0, 0, 0}, {9, 1, 14, 8, 5, 0},
                   {bytes({0, 77, 8}), bytes({0, 0, 0}), bytes({0, 0, 0}), bytes({0, 66, 2})})
            << QStringList{"°C",     "2009/01/14 08:05:00", "K: 25.4", "K: - - -", "J: Over",
                           "K: 19.0"};
        QTest::newRow("°F keeps the stored text")
            << manualRecord(0xFF & 0x10, 0x0F, 0x80, {0, 1, 2, 3}, {0xF6, 0, 0, 0},
                            {26, 0, 0, 23, 59, 58}, {k72_5, kMinus5_3, k100_0, k72_5})
            << QStringList{"°F",      "2026/01/01 23:59:58", "K: 72.5", "J: -5.3", "E: 100.0",
                           "T: Under"};
        // The offset comes off and stays off in a manual reading's °C.
        QTest::newRow("°C with an offset")
            << manualRecord(0xEF, 0x01, 0x00, {11, 0, 0, 0}, {0xF6, 0, 0, 0}, {9, 1, 14, 8, 5, 0},
                            {k72_5, k72_5, k72_5, k72_5})
            << QStringList{"°C",      "2009/01/14 08:05:00", ": 23.0", "K: - - -", "K: - - -",
                           "K: - - -"};
    }
    void manualRecordGivesTheListRow() {
        QFETCH(QByteArray, record);
        QFETCH(QStringList, row);
        QCOMPARE(manualRecordCells(record), row);
        const QByteArray reply = bytes({0x02, 1}) + record + bytes({0x03});
        const ManualReadings readings = decodeManualDump(reply, 1);
        QVERIFY(readings.complete());
        QCOMPARE(readings.rows, QList<QStringList>{row});
    }

    // Issue 11: a manual dump shorter than count × 29 + 3 bytes gives the
    // readings that are whole, and says it is not complete.
    void aShortManualDumpGivesOnlyItsWholeReadings_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("whole");
        QTest::newRow("complete") << 3 * 29 + 3 << 3;
        QTest::newRow("no trailing byte") << 3 * 29 + 2 << 3;
        QTest::newRow("a byte short of the third") << 3 * 29 + 1 << 2;
        QTest::newRow("leading bytes only") << 2 << 0;
        QTest::newRow("nothing") << 0 << 0;
    }
    void aShortManualDumpGivesOnlyItsWholeReadings() {
        QFETCH(int, length);
        QFETCH(int, whole);
        const QByteArray one = manualRecord(0, 0x0F, 0);
        const QByteArray full = bytes({0x02, 3}) + one + one + one + bytes({0x03});
        const QByteArray reply = full.left(length);
        const ManualReadings readings = decodeManualDump(reply, 3);
        QCOMPARE(readings.rows.size(), whole);
        QCOMPARE(readings.complete(), whole == 3);
        QCOMPARE(readings.expected, 3);
    }

    void memoryFigures_data() {
        QTest::addColumn<double>("pointer");
        QTest::addColumn<int>("sizeCode");
        QTest::addColumn<bool>("full");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("free");
        const auto row = [](const char* name, double pointer, int sizeCode, bool full,
                            const char* size, const char* free) {
            QTest::newRow(name) << pointer << sizeCode << full << QString(size) << QString(free);
        };
        row("512 K at 60000", 60000, 8, false, "512 K", "453.4 K");
        row("512 K at 9000", 9000, 8, false, "512 K", "503.2 K");
        row("at the limit", 520185, 8, false, "512 K", "0.0 K");
        row("just below it", 520184, 8, false, "512 K", "4.0 K");
        row("memory-full bit", 9000, 8, true, "512 K", "0.0 K");
        row("64 K empty", 8192, 1, false, "64 K", "56.0 K");
    }
    void memoryFigures() {
        QFETCH(double, pointer);
        QFETCH(int, sizeCode);
        QFETCH(bool, full);
        QFETCH(QString, size);
        QFETCH(QString, free);
        QCOMPARE(memorySizeText(sizeCode), size);
        QCOMPARE(freeMemoryText(pointer, sizeCode, full), free);
    }

    void progressTextsHaveOneDecimal_data() {
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("text");
        QTest::newRow("example") << qint64(3) << qint64(8) << "37.5";
        QTest::newRow("start") << qint64(0) << qint64(516101) << "0.0";
        QTest::newRow("a half rounds up") << qint64(1) << qint64(400) << "0.3";
        QTest::newRow("end") << qint64(516101) << qint64(516101) << "100.0";
        QTest::newRow("just short of it") << qint64(516100) << qint64(516101) << "100.0";
    }
    void progressTextsHaveOneDecimal() {
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QFETCH(QString, text);
        QCOMPARE(percentText(done, total), text);
        QCOMPARE(progressText(done, total), text + QStringLiteral("% Completed"));
    }

    // The steps over a scripted meter: a pointer above 16 bits announces a
    // reply longer than 64 K, and any size reply but 02 N 03 means 512 K.
    void downloadReadsAPointerAbove16BitsAndTheMemorySize_data() {
        QTest::addColumn<QByteArray>("sizeReply");
        QTest::addColumn<int>("sizeCode");
        QTest::newRow("framed") << bytes({0x02, 0x04, 0x03}) << 4;
        QTest::newRow("short") << bytes({0x02, 0x04}) << 8;
        QTest::newRow("long") << bytes({0x02, 0x04, 0x03, 0x00}) << 8;
        QTest::newRow("bad marker") << bytes({0x02, 0x04, 0x04}) << 8;
        QTest::newRow("none") << QByteArray() << 8;
    }
    void downloadReadsAPointerAbove16BitsAndTheMemorySize() {
        QFETCH(QByteArray, sizeReply);
        QFETCH(int, sizeCode);
        ScriptedMeter meter;
        auto& port = meter.port;
        // 4500 records of T1..T4 (14 bytes) and one of T2: 63000 + 23 + 28 bytes.
        SetImage big;
        big.flags = 0x0F;
        big.records = QList<QByteArray>(4500, record(0x0F, 0, {k72_5, k72_5, k72_5, k72_5}));
        SetImage small;
        small.flags = 0x12;
        small.records = {record(2, 0, {k100_0})};
        const QByteArray area = big.bytes() + small.bytes();
        const int pointer = 8192 + int(area.size());
        QVERIFY(pointer > 0xFFFF);
        port.answer("A", statusReply(pointer));
        if (!sizeReply.isEmpty())
            port.answer(QByteArray("Y\0", 2), sizeReply);
        const QByteArray reply = dumpReply(area);
        port.onWrite("R", [&] {
            for (qsizetype at = 0; at < reply.size(); at += 1920)
                port.arrive(reply.mid(at, 1920), 10 + at / 1920 * 1000);
        });
        QVERIFY(readMemoryStatus(meter.protocol, meter.state));
        QCOMPARE(meter.state.recording.MemorySizeCode, sizeCode);
        QCOMPARE(meter.state.link.MemoryPointer, double(pointer));
        QVERIFY(holdsRecordSets(meter.state.link));
        QString last;
        const SetsDownload download = downloadRecordSets(
            meter.protocol, [&](qint64 got, qint64 total) { last = progressText(got, total); });
        QVERIFY(download.complete());
        QVERIFY(!download.damaged());
        QCOMPARE(download.expected, pointer - 8192 + 5);
        QCOMPARE(last, QStringLiteral("100.0% Completed"));
        QCOMPARE(download.walk.sets.size(), 2);
        QCOMPARE(download.walk.sets[0].header.recordCount, 4500);
        QCOMPARE(decodeSet(download.walk.sets[1]).rowsF[0],
                 QByteArray("1\t2009/01/14 08:05:00\t\t100.0\t\t"));
        QCOMPARE(port.writes().mid(0, 2), (QList<QByteArray>{"A", QByteArray("Y\0", 2)}));
        QCOMPARE(port.writes().mid(port.writes().size() - 2), (QList<QByteArray>{"A", "R"}));
    }

    // A pointer at the data area's start, or below it, means no record set.
    void anEmptyMemoryHoldsNoRecordSets() {
        for (double pointer : {8192.0, 100.0}) {
            shared::LinkState link;
            link.MemoryPointer = pointer;
            QVERIFY2(!holdsRecordSets(link), qPrintable(QString::number(pointer)));
        }
    }

    // Issue 11: a dump cut short keeps the sets that arrived whole and
    // reports no damage for the one it stopped in.
    void aStalledDumpKeepsTheWholeSetsAndReportsNoDamage() {
        ScriptedMeter meter;
        SetImage one;
        one.flags = 0x01;
        one.records = {record(1, 0, {k72_5}), record(1, 0, {k72_5})};
        const QByteArray area = one.bytes() + one.bytes() + one.bytes();
        const int pointer = 8192 + int(area.size());
        meter.port.answer("A", statusReply(pointer));
        meter.port.answer("R", dumpReply(area).left(4 + 2 * int(one.bytes().size()) + 7));
        const SetsDownload download = downloadRecordSets(meter.protocol, {});
        QCOMPARE(download.end, DumpEnd::Stalled);
        QCOMPARE(download.walk.sets.size(), 2);
        QCOMPARE(download.walk.damage, SetDamage::None);
        QCOMPARE(download.received, 4 + 2 * one.bytes().size() + 7);
        QVERIFY(unfinishedText(download.end, download.received, download.expected)
                    .startsWith(
                        QStringLiteral("The meter stopped sending after 77 of 104 bytes (74.0%)")));
    }
};

QUADTHERM_TEST_SUITE(TestMemoryDecoding, Core)

} // namespace tst_memory_decoding

#include "tst_memory_decoding.moc"
