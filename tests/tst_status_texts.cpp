// The bottom bar's own texts: the intervals in use, a recording's length,
// what to check when no meter answers, and why a port did not open.

#include "main_window/status_texts.h"
#include "support/test_suite.h"

#include <QTest>

namespace tst_status_texts {

using namespace quadtherm;

class TestStatusTexts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // #20
    void intervalsReadInTheirOwnUnit_data() {
        QTest::addColumn<int>("pc");
        QTest::addColumn<int>("meter");
        QTest::addColumn<QString>("text");
        QTest::newRow("1 s, meter not read") << 1 << 0 << "PC 1 s";
        QTest::newRow("1 s, meter 2 s") << 1 << 2 << "PC 1 s · meter 2 s";
        QTest::newRow("90 s") << 90 << 0 << "PC 90 s";
        QTest::newRow("a minute, meter 255 s") << 60 << 255 << "PC 1 min · meter 255 s";
        QTest::newRow("an hour") << 3600 << 0 << "PC 1 h";
        QTest::newRow("a day") << 86400 << 0 << "PC 24 h";
        QTest::newRow("90 min") << 5400 << 0 << "PC 90 min";
    }
    void intervalsReadInTheirOwnUnit() {
        QFETCH(int, pc);
        QFETCH(int, meter);
        QTEST(main_window::intervalText(pc, meter > 0 ? std::optional<int>(meter) : std::nullopt),
              "text");
    }

    void aRecordingsLengthReadsLikeAStopwatch_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing yet") << qint64(0) << "0:00:00";
        QTest::newRow("a fraction rounds down") << qint64(7999) << "0:00:07";
        QTest::newRow("hours") << qint64((12 * 3600 + 34 * 60 + 56) * 1000LL) << "12:34:56";
        QTest::newRow("past a day")
            << qint64((3 * 86400 + 3600 + 2 * 60 + 3) * 1000LL) << "3 d 01:02:03";
        QTest::newRow("a clock set back") << qint64(-5000) << "0:00:00";
    }
    void aRecordingsLengthReadsLikeAStopwatch() {
        QFETCH(qint64, ms);
        QTEST(main_window::elapsedText(ms), "text");
    }

    void noAnswerNamesWhatWasTriedAndWhatToCheck() {
        QCOMPARE(main_window::noAnswerText(QStringLiteral("COM1"), QStringLiteral("/dev/ttyS0")),
                 QStringLiteral("No answer on COM1 (/dev/ttyS0): check the cable and that the "
                                "meter is switched on"));
        // A device without a number is named once.
        QCOMPARE(
            main_window::noAnswerText(QStringLiteral("/dev/pts/3"), QStringLiteral("/dev/pts/3")),
            QStringLiteral("No answer on /dev/pts/3: check the cable and that the meter is "
                           "switched on"));
    }

    void aPortThatDidNotOpenSaysWhyAndHowToGetIn() {
        const QString denied = main_window::portOpenDetails(QStringLiteral("/dev/ttyUSB0"),
                                                            QStringLiteral("Permission denied"),
                                                            QStringLiteral("uucp"));
        QVERIFY(denied.startsWith(QStringLiteral("/dev/ttyUSB0: Permission denied")));
        QVERIFY2(denied.contains(QStringLiteral("sudo usermod -aG uucp $USER")),
                 qPrintable(denied));
        QVERIFY(denied.contains(QStringLiteral("log in again")));
        // The usual group when the owner cannot be told.
        QVERIFY(main_window::portOpenDetails(QStringLiteral("/dev/ttyUSB0"),
                                             QStringLiteral("Permission denied"), {})
                    .contains(QStringLiteral("dialout")));
        // Any other reason goes as it is.
        QCOMPARE(main_window::portOpenDetails(QStringLiteral("/dev/ttyUSB7"),
                                              QStringLiteral("No such file or directory"), {}),
                 QStringLiteral("/dev/ttyUSB7: No such file or directory"));
        QCOMPARE(main_window::ownerGroupOf(QStringLiteral("/no/such/device")), QString());
    }
};

QUADTHERM_TEST_SUITE(TestStatusTexts, Core)

} // namespace tst_status_texts

#include "tst_status_texts.moc"
