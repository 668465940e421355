#include "meter_link/frame_scanner.h"
#include "meter_link/live_reading.h"
#include "shared/reading_text.h"
#include "support/test_suite.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

namespace tst_live_reading {

using namespace quadtherm;
using meter_link::DecodeFrame;
using shared::LiveState;

namespace {

QByteArray frame(quint8 channel, quint8 type, quint8 status, quint8 hi, quint8 lo, quint8 flags,
                 std::array<quint8, 4> offsets = {0, 0, 0, 0}) {
    QByteArray f;
    for (quint8 b : {quint8(0x02), channel, type, status, hi, lo, flags, offsets[0], offsets[1],
                     offsets[2], offsets[3], quint8(0x03)})
        f.append(static_cast<char>(b));
    return f;
}

} // namespace

class TestLiveReading : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readingBytesGiveFahrenheitAndCelsiusTexts_data() {
        QTest::addColumn<int>("hi");
        QTest::addColumn<int>("lo");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("textF");
        QTest::addColumn<double>("valueC");
        QTest::addColumn<QString>("textC");
        QTest::newRow("72.5 F is 22.5 C") << 0x00 << 0x48 << 0x05 << "72.5" << 22.5 << "22.5";
        QTest::newRow("negative two's complement")
            << 0xFF << 0xF4 << 0x83 << "-12.3" << -24.6 << "-24.6";
        QTest::newRow("freezing point has one-character tenths")
            << 0x00 << 0x20 << 0x00 << "32.0" << 0.0 << "0.0";
        QTest::newRow("just above freezing") << 0x00 << 0x20 << 0x09 << "32.9" << 0.5 << "0.5";
        QTest::newRow("just below zero C") << 0x00 << 0x1F << 0x05 << "31.5" << -0.2 << "-.2";
        // Issue #2: 00 00 85 is -0.5 F, not -65536.5 F.
        QTest::newRow("negative zero integer part")
            << 0x00 << 0x00 << 0x85 << "-0.5" << -18.0 << "-18.0";
        QTest::newRow("positive zero integer part")
            << 0x00 << 0x00 << 0x05 << "0.5" << -17.5 << "-17.5";
        QTest::newRow("hot type B") << 0x0C << 0xE4 << 0x07 << "3300.7" << 1815.9 << "1815.9";
    }
    void readingBytesGiveFahrenheitAndCelsiusTexts() {
        QFETCH(int, hi);
        QFETCH(int, lo);
        QFETCH(int, flags);
        QFETCH(QString, textF);
        QFETCH(double, valueC);
        LiveState live;
        DecodeFrame(live, frame(0x02, 0x00, 0x08, quint8(hi), quint8(lo), quint8(flags)));
        QCOMPARE(live.CurrentChannel, 2);
        QCOMPARE(live.LiveTextF[2], textF);
        QCOMPARE(live.LiveValueF[2], textF.toDouble());
        QVERIFY2(qAbs(live.LiveValueC[2] - valueC) < 1e-9,
                 qPrintable(QString::number(live.LiveValueC[2])));
        QTEST(live.LiveTextC[2], "textC");
    }

    void offsetBytesAreSignedTenths_data() {
        QTest::addColumn<int>("byte");
        QTest::addColumn<double>("offset");
        QTest::newRow("0xF6") << 0xF6 << -1.0;
        QTest::newRow("0x7F") << 0x7F << 12.7;
        QTest::newRow("0x80") << 0x80 << -12.8;
        QTest::newRow("0xFF") << 0xFF << -0.1;
    }
    void offsetBytesAreSignedTenths() {
        QFETCH(int, byte);
        QFETCH(double, offset);
        LiveState live;
        DecodeFrame(live, frame(0x00, 0x00, 0x08, 0, 72, 0, {0, 0, 0, quint8(byte)}));
        QCOMPARE(live.LiveOffset[3], offset);
    }

    void channelByteSetsChannelUnitAndMemoryFlags() {
        LiveState live;
        meter_link::DecodeChannelByte(live, 0x47);
        QCOMPARE(live.CurrentChannel, 3);
        QVERIFY(live.MeterFahrenheit);
        QCOMPARE(live.UnitText, QStringLiteral("°F"));
        QVERIFY(live.MeterRecording && !live.MemoryFull);
        meter_link::DecodeChannelByte(live, 0x80);
        QCOMPARE(live.CurrentChannel, 0);
        QCOMPARE(live.UnitText, QStringLiteral("°C"));
        QVERIFY(!live.MeterRecording && live.MemoryFull);
    }

    void typeByteUsesItsLowNibbleAndCodesAboveTenChangeNothing() {
        LiveState live;
        DecodeFrame(live, frame(0x01, 0x11, 0x08, 0, 72, 0));
        meter_link::SetRanges(live, 1);
        QCOMPARE(live.TypeCode[1], 1);
        QCOMPARE(live.TypeLetter[1], QStringLiteral("J"));
        DecodeFrame(live, frame(0x01, 0x1B, 0x08, 0, 72, 0));
        meter_link::SetRanges(live, 1);
        QCOMPARE(live.TypeCode[1], 11);
        QCOMPARE(live.TypeLetter[1], QStringLiteral("J"));
        QCOMPARE(live.RangeMaxC[1], 1000);
        QCOMPARE(live.RangeMinF[1], -328);
        QCOMPARE(shared::TypeLetterOf(0x19), QStringLiteral("B"));
        QCOMPARE(shared::TypeLetterOf(15), QString());
    }

    void statusByteSetsProbeOverAndUnder() {
        LiveState live;
        DecodeFrame(live, frame(0x00, 0x00, 0x08 | 0x20, 0, 72, 0));
        QVERIFY(live.ProbePresent[0] && live.OverRange[0] && !live.UnderRange[0]);
        DecodeFrame(live, frame(0x00, 0x00, 0x40 | 0x03, 0, 72, 0));
        QVERIFY(!live.ProbePresent[0] && !live.OverRange[0] && live.UnderRange[0]);
    }

    void offsetIsTakenOffBeforeTheConversionAndAddedBack() {
        LiveState live;
        // 73.5 F with a +1.0 offset: (73.5 - 1 - 32) * 5 / 9 = 22.5, plus 1.0.
        DecodeFrame(live, frame(0x01, 0x00, 0x08, 0, 73, 5, {0, 10, 0, 0}));
        QCOMPARE(live.LiveValueC[1], 23.5);
        QCOMPARE(live.LiveTextC[1], QStringLiteral("23.5"));
    }

    void resyncDecodingKeepsFlagsAndOffsets() {
        LiveState live;
        live.MeterRecording = true;
        live.MemoryFull = true;
        live.OverRange[2] = true;
        live.LiveOffset = {0.5, 0.5, 0.5, 0.5};
        meter_link::DecodeResyncFrame(live,
                                      frame(0x06, 0x03, 0x08 | 0x40, 0, 100, 0, {1, 2, 3, 4}));
        QCOMPARE(live.CurrentChannel, 2);
        QVERIFY(live.MeterFahrenheit);
        QVERIFY(live.MeterRecording && live.MemoryFull && live.OverRange[2] && !live.UnderRange[2]);
        QCOMPARE(live.LiveOffset[2], 0.5);
        QCOMPARE(live.TypeLetter[2], QStringLiteral("T"));
        QCOMPARE(live.RangeMaxC[2], 400); // ranges are set during the re-synchronisation
        QCOMPARE(live.LiveTextF[2], QStringLiteral("100.0"));
    }

    void shownTextPrefersNoProbeThenOverThenUnder() {
        QCOMPARE(shared::shownReadingText(false, true, true, "1.0"), QStringLiteral("- - -"));
        QCOMPARE(shared::shownReadingText(true, true, true, "1.0"), QStringLiteral("Over"));
        QCOMPARE(shared::shownReadingText(true, false, true, "1.0"), QStringLiteral("Under"));
        QCOMPARE(shared::shownReadingText(true, false, false, "1.0"), QStringLiteral("1.0"));
    }

    void alignedFramesSkipAPartialFrameAndFalseMarkers() {
        // A read that starts five bytes into a frame whose reading bytes are 02
        // and 03, followed by two whole frames.
        const QByteArray tricky = frame(0x00, 0x02, 0x03, 0x02, 0x03, 0x02, {0x03, 0x02, 0, 3});
        const QByteArray a = frame(0x01, 0x00, 0x08, 0, 72, 0);
        const QByteArray b = frame(0x02, 0x00, 0x08, 0, 72, 0);
        const QByteArray bytes = tricky.mid(5) + a + b;
        const QList<int> offsets = meter_link::findAlignedFrames(bytes);
        QCOMPARE(offsets, (QList<int>{7, 19}));
        QCOMPARE(meter_link::lastFrameRun(offsets, 2), 7);
        QCOMPARE(meter_link::lastFrameRun(offsets, 3), -1);
        // A lone frame at the very end waits for the next frame's first byte.
        QVERIFY(meter_link::findAlignedFrames(a).isEmpty());
        QCOMPARE(meter_link::findAlignedFrames(a + QByteArray(1, 0x02)), QList<int>{0});
    }

    // Random frames built from the frame layout decode to what they encode.
    void everyWellFormedFrameDecodesToWhatItEncodes() {
        QRandomGenerator rng(2026);
        for (int round = 0; round < 20000; ++round) {
            const int channel = rng.bounded(4);
            const bool fahrenheit = rng.bounded(2) == 1;
            const int type = rng.bounded(16);
            const int status = rng.bounded(256);
            // The sign bit has no integer part to go with below 1 °F.
            const int whole = rng.bounded(2) ? rng.bounded(0, 65536) : -rng.bounded(1, 65536);
            const int digit = rng.bounded(10);
            std::array<quint8, 4> offsets{};
            for (auto& o : offsets)
                o = quint8(rng.bounded(256));
            const int raw = whole < 0 ? whole + 65536 : whole;
            const QByteArray bytes =
                frame(quint8(channel | (fahrenheit ? 0x04 : 0) | (rng.bounded(2) ? 0xC0 : 0)),
                      quint8(type | 0x30), quint8(status), quint8(raw >> 8), quint8(raw & 0xFF),
                      quint8((whole < 0 ? 0x80 : 0) | digit), offsets);
            LiveState live;
            DecodeFrame(live, bytes);
            const QString where = QString::fromLatin1(bytes.toHex(' '));
            QCOMPARE(live.CurrentChannel, channel);
            QCOMPARE(live.MeterFahrenheit, fahrenheit);
            QCOMPARE(live.UnitText, fahrenheit ? QStringLiteral("°F") : QStringLiteral("°C"));
            QCOMPARE(live.TypeCode[channel], type);
            QCOMPARE(live.ProbePresent[channel], (status & 0x08) != 0);
            QCOMPARE(live.OverRange[channel], (status & 0x20) != 0);
            QCOMPARE(live.UnderRange[channel], (status & 0x40) != 0);
            for (int k = 0; k < 4; ++k)
                QCOMPARE(live.LiveOffset[k] * 10, double(qint8(offsets[k])));
            const QString textF = QStringLiteral("%1.%2").arg(whole).arg(digit);
            QVERIFY2(live.LiveTextF[channel] == textF, qPrintable(where));
            const double valueF = whole < 0 ? whole - digit / 10.0 : whole + digit / 10.0;
            QVERIFY2(qAbs(live.LiveValueF[channel] - valueF) < 1e-9, qPrintable(where));
            // °C: the offset taken off, converted, cut to tenths, put back.
            const double o = qint8(offsets[channel]) / 10.0;
            const double exactC = (valueF - o - 32) * 5 / 9 + o;
            QVERIFY2(qAbs(live.LiveValueC[channel] - exactC) < 0.1 + 1e-9, qPrintable(where));
            QVERIFY2(qAbs(live.LiveTextC[channel].toDouble() - live.LiveValueC[channel]) < 1e-6,
                     qPrintable(where + QLatin1Char(' ') + live.LiveTextC[channel]));
        }
    }

    // Whatever arrives, what is found and decoded stays inside what the frame
    // layout can express.
    void garbageNeverDecodesOutsideWhatAFrameCanSay() {
        QRandomGenerator rng(2027);
        const QRegularExpression readingText(QStringLiteral("^-?\\d+\\.\\d{1,2}$"));
        for (int round = 0; round < 20000; ++round) {
            QByteArray bytes(static_cast<qsizetype>(rng.bounded(0, 80)), Qt::Uninitialized);
            for (auto& c : bytes)
                c = static_cast<char>(rng.bounded(0, 256));
            if (round % 3 == 0 && bytes.size() >= 12) {
                bytes[0] = 0x02;
                bytes[11] = 0x03;
            }
            const QList<int> offsets = meter_link::findAlignedFrames(bytes);
            for (int off : offsets) {
                QVERIFY(off >= 0 && off + 12 <= bytes.size());
                QCOMPARE(bytes[off], char(0x02));
                QCOMPARE(bytes[off + 11], char(0x03));
                LiveState live;
                DecodeFrame(live, bytes.mid(off, 12));
                const int k = live.CurrentChannel;
                QVERIFY(k >= 0 && k < 4);
                QVERIFY(live.TypeCode[k] >= 0 && live.TypeCode[k] < 16);
                QVERIFY2(readingText.match(live.LiveTextF[k]).hasMatch(),
                         qPrintable(live.LiveTextF[k]));
                QVERIFY(qAbs(live.LiveValueF[k]) < 65536 + 1.6);
                QVERIFY(qAbs(live.LiveValueC[k]) < 65536);
            }
            const int run = meter_link::lastFrameRun(offsets, 4);
            QVERIFY(run == -1 || offsets.contains(run));
        }
    }

    void leadingNumberReadsTheNumberATextStartsWith_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("negative decimal") << "-12.5" << -12.5;
        QTest::newRow("leading blanks") << "  300" << 300.0;
        QTest::newRow("trailing text") << "8 units" << 8.0;
        QTest::newRow("bare point") << ".5" << 0.5;
        QTest::newRow("second point ends it") << "1.2.3" << 1.2;
        QTest::newRow("sign without digits") << "-" << 0.0;
        QTest::newRow("double sign") << "--1" << 0.0;
        QTest::newRow("minus inside") << "1-2" << 1.0;
    }
    void leadingNumberReadsTheNumberATextStartsWith() {
        QFETCH(QString, text);
        QTEST(shared::leadingNumber(text), "value");
    }
};

QUADTHERM_TEST_SUITE(TestLiveReading, Core)

} // namespace tst_live_reading

#include "tst_live_reading.moc"
