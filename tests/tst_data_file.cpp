// The ".4ch" data file: its lines byte for byte, continuation and dump
// names, and reading a file back the way the file list loads it.

#include "recording/data_file.h"
#include "widgets/grid.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quadtherm;

namespace {

using Texts = shared::PerChannel<QString>;

QByteArray fileWith(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("data.4ch"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path.toUtf8();
}

} // namespace

class TestDataFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Headings and ordinary records are checked byte for byte in tst_recorder.
    void recordPastASplitKeepsItsNumberUnpaddedAndABareTenth() {
        QCOMPARE(recording::dataFileLine(recording::recordCells(
                     320001, "2010/11/26 14:05:09", Texts{"- - -", "- - -", "Under", "-.5"})),
                 QByteArray("320001\t2010/11/26 14:05:09\t- - -\t- - -\tUnder\t-.5\t\r\n"));
    }

    void timestampAndDumpNameFollowTheClock() {
        const QDateTime when(QDate(2010, 11, 26), QTime(14, 5, 9));
        QCOMPARE(recording::recordTimestamp(when), QStringLiteral("2010/11/26 14:05:09"));
        QCOMPARE(recording::dumpFileName(when), QStringLiteral("1126140509.4ch"));
        const QDateTime early(QDate(2011, 1, 2), QTime(3, 4, 5));
        QCOMPARE(recording::dumpFileName(early), QStringLiteral("0102030405.4ch"));
    }

    void continuationNameIgnoresDotsInFolders_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("sequence");
        QTest::addColumn<QString>("expected");
        QTest::newRow("extension") << R"(C:\data\run.4ch)" << 1 << R"(C:\data\run-1.4ch)";
        QTest::newRow("no extension") << R"(C:\data\run)" << 1 << R"(C:\data\run-1)";
        QTest::newRow("two dots") << "run.v2.4ch" << 12 << "run-12.v2.4ch";
        // The first dot of the whole path named a folder that does not exist,
        // and every record after the 320000th was lost.
        QTest::newRow("dotted Windows folder")
            << R"(D:\my.data\run.4ch)" << 2 << R"(D:\my.data\run-2.4ch)";
        QTest::newRow("dotted Unix folder")
            << "/home/u/my.data/run" << 1 << "/home/u/my.data/run-1";
    }
    void continuationNameIgnoresDotsInFolders() {
        QFETCH(QString, path);
        QFETCH(int, sequence);
        QTEST(recording::continuationPath(path, sequence), "expected");
    }

    void lineSplitsIntoSixValues_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("values"); // empty: cannot be split
        QTest::newRow("record") << "7\tt\t1.0\t2.0\t3.0\t4.0\t"
                                << QStringList{"7", "t", "1.0", "2.0", "3.0", "4.0"};
        QTest::newRow("last value repeats")
            << "7\t2010/11/26 14:05:09\t23.4\t"
            << QStringList{"7", "2010/11/26 14:05:09", "23.4", "23.4", "23.4", "23.4"};
        QTest::newRow("seventh cell dropped")
            << "a\tb\tc\td\te\tf\tg\t" << QStringList{"a", "b", "c", "d", "e", "f"};
        QTest::newRow("empty cells") << "\t\t\t\t\t\t" << QStringList{"", "", "", "", "", ""};
        QTest::newRow("no closing TAB") << "a\tb\tc\td\te\tf" << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
    }
    void lineSplitsIntoSixValues() {
        QFETCH(QString, line);
        QFETCH(QStringList, values);
        const auto split = recording::splitSixValues(line);
        QCOMPARE(split.has_value(), !values.isEmpty());
        if (split)
            QCOMPARE(QStringList(split->begin(), split->end()), values);
    }

    void fileReadsBackAsWritten_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("malformedLine"); // -1: none
        const QByteArray heading("\xB0"
                                 "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t");
        QTest::newRow("CR LF") << heading + "\r\n1\td\t1\t2\t3\t4\t\r\n2\td\t5\t6\t7\t8\t\r\n"
                               << QStringList{"1\td\t1\t2\t3\t4", "2\td\t5\t6\t7\t8"} << -1;
        QTest::newRow("LF, last line unended")
            << heading + "\n1\td\t1\t2\t3\t4\t\n2\td\t9\t"
            << QStringList{"1\td\t1\t2\t3\t4", "2\td\t9\t9\t9\t9"} << -1;
        // A spreadsheet's decimal commas and quotes load as written.
        QTest::newRow("commas and quotes")
            << heading + "\r\n1\t\"d\"\t23,4\t\"x,y\"\t-0,5\t\"\t\r\n"
            << QStringList{"1\t\"d\"\t23,4\t\"x,y\"\t-0,5\t\""} << -1;
        QTest::newRow("malformed third line keeps the rows before it")
            << heading + "\r\n1\td\t1\t2\t3\t4\t\r\nbroken\r\n3\td\t1\t2\t3\t4\t\r\n"
            << QStringList{"1\td\t1\t2\t3\t4"} << 2;
        QTest::newRow("heading only") << heading + "\r\n" << QStringList{} << -1;
    }
    void fileReadsBackAsWritten() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, rows);
        QFETCH(int, malformedLine);
        QTemporaryDir dir;
        const auto loaded = recording::readDataFile(QString::fromUtf8(fileWith(dir, bytes)));
        QVERIFY(loaded.error.isEmpty());
        QVERIFY(loaded.hasHeading);
        QCOMPARE(loaded.heading[0], QStringLiteral("°C"));
        QCOMPARE(loaded.heading[5], QStringLiteral("T4 - T"));
        QStringList read;
        for (const QByteArray& row : loaded.rows)
            read.append(QString::fromLatin1(row));
        QCOMPARE(read, rows);
        QCOMPARE(loaded.malformedLine.value_or(-1), malformedLine);
    }

    void latin1RowsOpenIntoAGridAsTheyAre() {
        widgets::Grid grid(6);
        grid.appendLatin1Rows({"1\td\t23,4\t\"x\"\t\xB0\t", "a\tb\tc\td\te\tf\tg"});
        QCOMPARE(grid.Rows(), 3);
        QCOMPARE(grid.textAt(1, 2), QStringLiteral("23,4"));
        QCOMPARE(grid.textAt(1, 4), QStringLiteral("°"));
        QCOMPARE(grid.rowText(2), QStringLiteral("a\tb\tc\td\te\tf"));
    }

    void emptyOrMissingFileHasNoHeading() {
        QTemporaryDir dir;
        const auto empty = recording::readDataFile(QString::fromUtf8(fileWith(dir, "")));
        QVERIFY(!empty.hasHeading && empty.rows.isEmpty() && empty.error.isEmpty());
        QVERIFY(!empty.malformedLine);
        const auto missing = recording::readDataFile(dir.filePath("absent.4ch"));
        QVERIFY(!missing.hasHeading);
        QVERIFY2(missing.error.contains("No such file"), qPrintable(missing.error));
    }

    void writtenFileReadsBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath("dump.4ch");
        const QList<QStringList> lines{
            recording::headingCells("°F", Texts{"K", "J", "E", "T"}),
            recording::recordCells(1, "2010/11/26 14:05:09", Texts{"1.0", "Over", "- - -", "-.5"})};
        QVERIFY(
            recording::writeDataFile(path, lines.size(), [&](qsizetype r) { return lines[r]; }));
        const auto loaded = recording::readDataFile(path);
        QCOMPARE(loaded.heading[0], QStringLiteral("°F"));
        QCOMPARE(loaded.rows, QList<QByteArray>{"1\t2010/11/26 14:05:09\t1.0\tOver\t- - -\t-.5"});
        QString error;
        QVERIFY(!recording::writeDataFile(
            "/dev/full", 1, [&](qsizetype r) { return lines[r]; }, &error));
        QCOMPARE(error, QStringLiteral("Cannot write \"/dev/full\": No space left on device"));
    }
};

QTEST_MAIN(TestDataFile)
#include "tst_data_file.moc"
