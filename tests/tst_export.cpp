// Data files converted for scripts: reading cells into states and numbers,
// record lines into CSV rows and JSON objects, the time offsets of wall-clock
// times around midnight and daylight saving, and a file streamed block by
// block.

#include "recording/data_file_export.h"
#include "recording/reading_json.h"
#include "recording/record_converter.h"
#include "support/test_suite.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace tst_export {

using namespace quadtherm;
using recording::CsvDialect;
using recording::ExportFormat;
using recording::ExportOptions;

namespace {

const QByteArray kHeadingC("\xB0"
                           "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t");
const QByteArray kHeadingF("\xB0"
                           "F\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t");

// The heading and record lines (without line ends) converted, or "refused:"
// and the reason for the first line that is none.
QByteArray convert(const QByteArray& heading, const QList<QByteArray>& lines,
                   ExportOptions options = {}, const QTimeZone& zone = QTimeZone::utc()) {
    QString why;
    const auto read = recording::readHeading(heading, &why);
    if (!read)
        return "refused: " + why.toUtf8();
    recording::RecordConverter converter(*read, options, zone);
    QByteArray out = converter.header();
    for (const QByteArray& line : lines)
        if (!converter.appendRecord(line, out, &why))
            return "refused: " + why.toUtf8();
    return out;
}

QList<QByteArray> csvRows(const QByteArray& csv) {
    QList<QByteArray> rows = csv.split('\n');
    rows.removeLast(); // after the last CR LF
    for (QByteArray& row : rows)
        row.chop(1);
    return rows;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct Streamed {
    recording::DataFileExport::Step end;
    QByteArray out;
    qint64 records = 0;
    QString problem;
};

Streamed stream(const QString& path, ExportOptions options = {}) {
    recording::DataFileExport file(path, options, QTimeZone::utc());
    Streamed streamed{recording::DataFileExport::Step::More, {}, 0, file.error()};
    while (streamed.end == recording::DataFileExport::Step::More)
        streamed.end = file.next(streamed.out);
    streamed.records = file.records();
    streamed.problem = file.problem();
    return streamed;
}

// "n\t2026/12/07 hh:mm:ss\t" and four readings, one a second from 00:00:00.
QByteArray recordLine(int n) {
    const QTime time = QTime(0, 0).addSecs(n);
    return QByteArray::number(n) + "\t2026/12/07 " + time.toString("HH:mm:ss").toLatin1() + "\t2" +
           QByteArray::number(n % 10) + ".5\tOver\t- - -\t-.7\t";
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readingCellsBecomeStatesOrNumbers_data() {
        QTest::addColumn<QByteArray>("cell");
        QTest::addColumn<QString>("state"); // "" when the cell is no reading
        QTest::addColumn<QByteArray>("number");
        QTest::newRow("a reading") << QByteArray("23.4") << "ok" << QByteArray("23.4");
        QTest::newRow("a negative tenth as TenthsText writes it")
            << QByteArray("-.5") << "ok" << QByteArray("-0.5");
        QTest::newRow("a bare tenth") << QByteArray(".5") << "ok" << QByteArray("0.5");
        QTest::newRow("zero") << QByteArray("0.0") << "ok" << QByteArray("0.0");
        QTest::newRow("leading zeros") << QByteArray("007.10") << "ok" << QByteArray("7.10");
        QTest::newRow("a whole number") << QByteArray("-12") << "ok" << QByteArray("-12");
        QTest::newRow("a point at the end") << QByteArray("12.") << "ok" << QByteArray("12");
        QTest::newRow("fifteen digits")
            << QByteArray("000123456789.012345") << "ok" << QByteArray("123456789.012345");
        QTest::newRow("over range") << QByteArray("Over") << "over" << QByteArray();
        QTest::newRow("under range") << QByteArray("Under") << "under" << QByteArray();
        QTest::newRow("no probe") << QByteArray("- - -") << "no_probe" << QByteArray();
        QTest::newRow("not recorded") << QByteArray("") << "empty" << QByteArray();
        for (const char* bad :
             {"abc", "1.2.3", "-", ".", "-.", "+5", " 5", "5 ", "1e5", "1,5", "over", "- -",
              "- - - ", "K: 25.4", "nan", "--5", "1234567890.123456"})
            QTest::newRow(bad) << QByteArray(bad) << "" << QByteArray();
    }
    void readingCellsBecomeStatesOrNumbers() {
        QFETCH(QByteArray, cell);
        QFETCH(QString, state);
        QFETCH(QByteArray, number);
        const auto reading = recording::readCell(cell);
        QCOMPARE(reading.has_value(), !state.isEmpty());
        if (!reading)
            return;
        QCOMPARE(QString::fromLatin1(recording::readingStateName(reading->state)), state);
        QByteArray text;
        if (reading->state == recording::ReadingState::Ok)
            recording::appendNumber(text, *reading);
        QCOMPARE(text, number);
    }

    void recordLinesBecomeCsvRows_data() {
        QTest::addColumn<QByteArray>("heading");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("excelEu");
        QTest::addColumn<QByteArray>("row");
        QTest::newRow("every channel read")
            << kHeadingC << QByteArray("1\t2026/12/07 15:44:22\t22.7\t23.0\t21.8\t27.9\t") << false
            << QByteArray("1,2026-12-07T15:44:22+00:00,0,22.7,ok,23.0,ok,21.8,ok,27.9,ok");
        QTest::newRow("over, under and no probe have no number")
            << kHeadingC << QByteArray("7\t2026/12/07 15:44:22\tOver\tUnder\t- - -\t-.5\t") << false
            << QByteArray("7,2026-12-07T15:44:22+00:00,0,,over,,under,,no_probe,-0.5,ok");
        QTest::newRow("channels a downloaded °F set did not record")
            << kHeadingF << QByteArray("2\t2026/01/14 08:05:01\t74.4\t\t71.6\t\t") << false
            << QByteArray("2,2026-01-14T08:05:01+00:00,0,74.4,ok,,empty,71.6,ok,,empty");
        QTest::newRow("excel-eu: semicolons and decimal commas")
            << kHeadingC << QByteArray("3\t2026/12/07 15:44:22\t-12.3\t1370.0\tOver\t.5\t") << true
            << QByteArray("3;2026-12-07T15:44:22+00:00;0;-12,3;ok;1370,0;ok;;over;0,5;ok");
        QTest::newRow("leading zeros of a record number and a reading")
            << kHeadingC << QByteArray("0012\t2026/12/07 15:44:22\t007\t0.5\t0\t00\t") << false
            << QByteArray("12,2026-12-07T15:44:22+00:00,0,7,ok,0.5,ok,0,ok,0,ok");
        // The reader's rule: a TAB ending the line early repeats the last cell.
        QTest::newRow("a line ending early repeats its last cell as Open shows it")
            << kHeadingC << QByteArray("5\t2026/12/07 15:44:22\t23.4\t") << false
            << QByteArray("5,2026-12-07T15:44:22+00:00,0,23.4,ok,23.4,ok,23.4,ok,23.4,ok");
        QTest::newRow("cells past the sixth are left out")
            << kHeadingC << QByteArray("6\t2026/12/07 15:44:22\t1\t2\t3\t4\tnote\t") << false
            << QByteArray("6,2026-12-07T15:44:22+00:00,0,1,ok,2,ok,3,ok,4,ok");
    }
    void recordLinesBecomeCsvRows() {
        QFETCH(QByteArray, heading);
        QFETCH(QByteArray, line);
        QFETCH(bool, excelEu);
        QFETCH(QByteArray, row);
        const ExportOptions options{ExportFormat::Csv,
                                    excelEu ? CsvDialect::ExcelEu : CsvDialect::Standard};
        const QByteArray csv = convert(heading, {line}, options);
        QVERIFY2(csv.endsWith("\r\n"), csv.constData());
        const QList<QByteArray> rows = csvRows(csv);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1], row);
    }

    void csvHeaderNamesEachChannelsTypeUnitAndState_data() {
        QTest::addColumn<QByteArray>("heading");
        QTest::addColumn<bool>("excelEu");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("°C") << kHeadingC << false
                            << QByteArray("record,time,elapsed_s,T1 K (°C),T1 state,T2 K (°C),T2 "
                                          "state,T3 J (°C),T3 state,T4 T (°C),T4 state\r\n");
        QTest::newRow("°F, a type without a letter")
            << QByteArray("\xB0"
                          "F\tDate Time\tT1 - B\tT2 - C\tT3 - \tT4 - N\t")
            << false
            << QByteArray("record,time,elapsed_s,T1 B (°F),T1 state,T2 C (°F),T2 state,T3 (°F),"
                          "T3 state,T4 N (°F),T4 state\r\n");
        QTest::newRow("a heading saved again in UTF-8")
            << QByteArray("\xC2\xB0"
                          "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t")
            << false
            << QByteArray("record,time,elapsed_s,T1 K (°C),T1 state,T2 K (°C),T2 state,T3 J (°C),"
                          "T3 state,T4 T (°C),T4 state\r\n");
        QTest::newRow("excel-eu, with a byte order mark for Excel")
            << kHeadingC << true
            << QByteArray("\xEF\xBB\xBFrecord;time;elapsed_s;T1 K (°C);T1 state;T2 K (°C);T2 "
                          "state;T3 J (°C);T3 state;T4 T (°C);T4 state\r\n");
    }
    void csvHeaderNamesEachChannelsTypeUnitAndState() {
        QFETCH(QByteArray, heading);
        QFETCH(bool, excelEu);
        QFETCH(QByteArray, header);
        QCOMPARE(convert(heading, {},
                         {ExportFormat::Csv, excelEu ? CsvDialect::ExcelEu : CsvDialect::Standard}),
                 header);
        QCOMPARE(convert(heading, {}, {ExportFormat::JsonLines}), QByteArray());
    }

    void csvFieldsAreQuotedOnlyWhenNeeded_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<char>("separator");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("plain") << QByteArray("T1 K (°C)") << ',' << QByteArray("T1 K (°C)");
        QTest::newRow("a comma") << QByteArray("a,b") << ',' << QByteArray("\"a,b\"");
        QTest::newRow("a comma under semicolons") << QByteArray("1,5") << ';' << QByteArray("1,5");
        QTest::newRow("a semicolon") << QByteArray("a;b") << ';' << QByteArray("\"a;b\"");
        QTest::newRow("quotes doubled")
            << QByteArray("say \"hi\"") << ',' << QByteArray("\"say \"\"hi\"\"\"");
        QTest::newRow("a line end") << QByteArray("a\r\nb") << ',' << QByteArray("\"a\r\nb\"");
        QTest::newRow("empty") << QByteArray() << ',' << QByteArray();
    }
    void csvFieldsAreQuotedOnlyWhenNeeded() {
        QFETCH(QByteArray, text);
        QFETCH(char, separator);
        QFETCH(QByteArray, field);
        QByteArray out("x");
        recording::appendCsvField(out, text, separator);
        QCOMPARE(out, "x" + field);
    }

    void headingsAreReadOrRefusedWithTheReason_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("reason"); // "" when the heading is read
        QTest::newRow("°C") << kHeadingC << "";
        QTest::newRow("°F") << kHeadingF << "";
        QTest::newRow("manual readings")
            << QByteArray("\t    Date Time\tT1\tT2\tT3\tT4\t") << "manual readings";
        QTest::newRow("a unit of no meter") << QByteArray("\xB0"
                                                          "K\tDate Time\tT1 - K\tT2 - K\tT3 - J\t"
                                                          "T4 - T\t")
                                            << "not the heading";
        QTest::newRow("a type of no thermocouple") << QByteArray("\xB0"
                                                                 "C\tDate Time\tT1 - X\tT2 - K\tT3 "
                                                                 "- J\tT4 - T\t")
                                                   << "not the heading";
        QTest::newRow("channels out of order") << QByteArray("\xB0"
                                                             "C\tDate Time\tT2 - K\tT1 - K\tT3 - "
                                                             "J\tT4 - T\t")
                                               << "not the heading";
        QTest::newRow("a record line") << recordLine(1) << "not the heading";
        QTest::newRow("too few cells") << QByteArray("\xB0"
                                                     "C\tDate Time")
                                       << "not the heading";
    }
    void headingsAreReadOrRefusedWithTheReason() {
        QFETCH(QByteArray, line);
        QFETCH(QString, reason);
        QString why;
        const auto heading = recording::readHeading(line, &why);
        QCOMPARE(heading.has_value(), reason.isEmpty());
        QVERIFY2(why.contains(reason), qPrintable(why));
        if (heading) {
            QCOMPARE(heading->fahrenheit, line.startsWith("\xB0"
                                                          "F"));
            QCOMPARE(heading->types, (shared::PerChannel<QString>{"K", "K", "J", "T"}));
        }
    }

    // Each after a good line of the same minute, so that the minute kept
    // from it cannot let a bad second through.
    void linesThatAreNoRecordsAreRefusedWithTheReason_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const QByteArray& line, const char* reason) {
            QTest::newRow(name) << line << QString::fromUtf8(reason);
        };
        row("five cells", "2\t2026/12/07 15:44:23\t1\t2\t3\t4", "six cells");
        row("a record number with a letter", "x2\t2026/12/07 15:44:23\t1\t2\t3\t4\t",
            "record number 'x2'");
        row("no record number", "\t2026/12/07 15:44:23\t1\t2\t3\t4\t", "record number ''");
        row("a negative record number", "-2\t2026/12/07 15:44:23\t1\t2\t3\t4\t",
            "record number '-2'");
        row("an ISO date", "2\t2026-12-07 15:44:23\t1\t2\t3\t4\t", "time '2026-12-07 15:44:23'");
        row("the 30th of February", "2\t2026/02/30 10:00:00\t1\t2\t3\t4\t", "yyyy/mm/dd");
        row("hour 24", "2\t2026/12/07 24:00:00\t1\t2\t3\t4\t", "yyyy/mm/dd");
        row("minute 60", "2\t2026/12/07 15:60:00\t1\t2\t3\t4\t", "yyyy/mm/dd");
        row("second 60 in the same minute", "2\t2026/12/07 15:44:60\t1\t2\t3\t4\t",
            "'2026/12/07 15:44:60'");
        row("a letter for a second", "2\t2026/12/07 15:44:2x\t1\t2\t3\t4\t", "yyyy/mm/dd");
        row("a time cut short", "2\t2026/12/07 15:44:2\t1\t2\t3\t4\t", "yyyy/mm/dd");
        row("a word for a reading", "2\t2026/12/07 15:44:23\t1\tabc\t3\t4\t",
            "T2 holds 'abc', which is no reading");
        row("a decimal comma", "2\t2026/12/07 15:44:23\t1\t2\t3,5\t4\t", "T3 holds '3,5'");
        row("a manual reading's cell", "2\t2026/12/07 15:44:23\t1\t2\t3\tK: 25.4\t",
            "T4 holds 'K: 25.4'");
        row("a cell of a megabyte",
            "2\t2026/12/07 15:44:23\t" + QByteArray(1 << 20, 'x') + "\t\t\t\t",
            "'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…'");
    }
    void linesThatAreNoRecordsAreRefusedWithTheReason() {
        QFETCH(QByteArray, line);
        QFETCH(QString, reason);
        QString why;
        recording::RecordConverter converter(*recording::readHeading(kHeadingC), {},
                                             QTimeZone::utc());
        QByteArray out;
        QVERIFY(converter.appendRecord("1\t2026/12/07 15:44:22\t1\t2\t3\t4\t", out, &why));
        const QByteArray before = out;
        QVERIFY(!converter.appendRecord(line, out, &why));
        QVERIFY2(why.contains(reason), qPrintable(why));
        QCOMPARE(out, before);
    }

    void timesCarryTheOffsetTheirZoneHadThen_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QStringList>("stamps");
        QTest::addColumn<QStringList>("times");
        QTest::addColumn<QStringList>("elapsed");
        QTest::newRow("UTC over midnight")
            << QByteArray("UTC") << QStringList{"2026/12/07 23:59:59", "2026/12/08 00:00:00"}
            << QStringList{"2026-12-07T23:59:59+00:00", "2026-12-08T00:00:00+00:00"}
            << QStringList{"0", "1"};
        QTest::newRow("over a new year")
            << QByteArray("Europe/Berlin")
            << QStringList{"2026/12/31 23:59:58", "2027/01/01 00:00:01"}
            << QStringList{"2026-12-31T23:59:58+01:00", "2027-01-01T00:00:01+01:00"}
            << QStringList{"0", "3"};
        QTest::newRow("winter and summer")
            << QByteArray("Europe/Berlin")
            << QStringList{"2026/01/15 12:00:00", "2026/07/15 12:00:00"}
            << QStringList{"2026-01-15T12:00:00+01:00", "2026-07-15T12:00:00+02:00"}
            << QStringList{"0", "15634800"}; // 181 days less the hour put forward
        QTest::newRow("a day either side of the clocks going forward")
            << QByteArray("Europe/Berlin")
            << QStringList{"2026/03/28 12:00:00", "2026/03/29 01:00:00", "2026/03/29 04:00:00",
                           "2026/03/30 12:00:00"}
            << QStringList{"2026-03-28T12:00:00+01:00", "2026-03-29T01:00:00+01:00",
                           "2026-03-29T04:00:00+02:00", "2026-03-30T12:00:00+02:00"}
            << QStringList{"0", "46800", "54000", "169200"};
        QTest::newRow("a recording as the clocks go forward")
            << QByteArray("Europe/Berlin")
            << QStringList{"2026/03/29 01:59:59", "2026/03/29 03:00:00"}
            << QStringList{"2026-03-29T01:59:59+01:00", "2026-03-29T03:00:00+02:00"}
            << QStringList{"0", "1"};
        // A meter's clock is not put forward: its times in the skipped hour
        // keep their digits and the offset before the change.
        QTest::newRow("a meter's times in the skipped hour")
            << QByteArray("Europe/Berlin")
            << QStringList{"2026/03/29 01:59:59", "2026/03/29 02:00:00", "2026/03/29 02:30:00"}
            << QStringList{"2026-03-29T01:59:59+01:00", "2026-03-29T02:00:00+01:00",
                           "2026-03-29T02:30:00+01:00"}
            << QStringList{"0", "1", "1801"};
        QTest::newRow("the repeated hour the first time")
            << QByteArray("Europe/Berlin")
            << QStringList{"2026/10/25 01:59:59", "2026/10/25 02:00:00", "2026/10/25 02:59:59"}
            << QStringList{"2026-10-25T01:59:59+02:00", "2026-10-25T02:00:00+02:00",
                           "2026-10-25T02:59:59+02:00"}
            << QStringList{"0", "1", "3600"};
        QTest::newRow("a recording through the repeated hour stays in order")
            << QByteArray("Europe/Berlin")
            << QStringList{"2026/10/25 02:59:59", "2026/10/25 02:00:00", "2026/10/25 02:30:00",
                           "2026/10/25 03:00:00"}
            << QStringList{"2026-10-25T02:59:59+02:00", "2026-10-25T02:00:00+01:00",
                           "2026-10-25T02:30:00+01:00", "2026-10-25T03:00:00+01:00"}
            << QStringList{"0", "1", "1801", "3601"};
        QTest::newRow("a recording from before the repeated hour")
            << QByteArray("Europe/Berlin")
            << QStringList{"2026/10/25 01:30:00", "2026/10/25 02:59:59", "2026/10/25 02:00:00"}
            << QStringList{"2026-10-25T01:30:00+02:00", "2026-10-25T02:59:59+02:00",
                           "2026-10-25T02:00:00+01:00"}
            << QStringList{"0", "5399", "5400"};
        QTest::newRow("times going back a change")
            << QByteArray("Europe/Berlin")
            << QStringList{"2026/03/30 12:00:00", "2026/03/28 12:00:00"}
            << QStringList{"2026-03-30T12:00:00+02:00", "2026-03-28T12:00:00+01:00"}
            << QStringList{"0", "-169200"};
        QTest::newRow("the clocks skip midnight")
            << QByteArray("America/Santiago")
            << QStringList{"2026/09/05 23:59:59", "2026/09/06 00:00:00", "2026/09/06 01:00:00"}
            << QStringList{"2026-09-05T23:59:59-04:00", "2026-09-06T00:00:00-04:00",
                           "2026-09-06T01:00:00-03:00"}
            << QStringList{"0", "1", "1"};
        QTest::newRow("half an hour east")
            << QByteArray("Asia/Kolkata") << QStringList{"2026/06/01 00:00:00"}
            << QStringList{"2026-06-01T00:00:00+05:30"} << QStringList{"0"};
        QTest::newRow("half an hour west")
            << QByteArray("America/St_Johns") << QStringList{"2026/01/01 00:00:00"}
            << QStringList{"2026-01-01T00:00:00-03:30"} << QStringList{"0"};
    }
    void timesCarryTheOffsetTheirZoneHadThen() {
        QFETCH(QByteArray, zone);
        QFETCH(QStringList, stamps);
        QFETCH(QStringList, times);
        QFETCH(QStringList, elapsed);
        const QTimeZone timeZone(zone);
        QVERIFY2(timeZone.isValid(), "the tzdata package is missing");
        QList<QByteArray> lines;
        for (qsizetype i = 0; i < stamps.size(); ++i)
            lines.append(QByteArray::number(i + 1) + '\t' + stamps[i].toLatin1() +
                         "\t1\t2\t3\t4\t");
        const QList<QByteArray> rows = csvRows(convert(kHeadingC, lines, {}, timeZone));
        QCOMPARE(rows.size(), stamps.size() + 1);
        for (qsizetype i = 0; i < stamps.size(); ++i) {
            const QList<QByteArray> fields = rows[i + 1].split(',');
            QCOMPARE(QString::fromLatin1(fields[1]), times[i]);
            QCOMPARE(QString::fromLatin1(fields[2]), elapsed[i]);
        }
    }

    void offsetsAreWrittenToTheMinuteOrSecond_data() {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("UTC") << 0 << QByteArray("+00:00");
        QTest::newRow("east") << 3600 << QByteArray("+01:00");
        QTest::newRow("west, half an hour") << -12600 << QByteArray("-03:30");
        QTest::newRow("local mean time") << 3208 << QByteArray("+00:53:28");
        QTest::newRow("the farthest east") << 50400 << QByteArray("+14:00");
    }
    void offsetsAreWrittenToTheMinuteOrSecond() {
        QFETCH(int, seconds);
        QFETCH(QByteArray, text);
        QCOMPARE(recording::offsetText(seconds), text);
    }

    void jsonLinesHoldTheRecordWithStatesAndNulls_data() {
        QTest::addColumn<QByteArray>("heading");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QStringList>("types"); // "" for null
        QTest::newRow("°C") << kHeadingC << "°C" << QStringList{"K", "K", "J", "T"};
        QTest::newRow("°F, a type without a letter")
            << QByteArray("\xB0"
                          "F\tDate Time\tT1 - K\tT2 - \tT3 - J\tT4 - T\t")
            << "°F" << QStringList{"K", "", "J", "T"};
    }
    void jsonLinesHoldTheRecordWithStatesAndNulls() {
        QFETCH(QByteArray, heading);
        QFETCH(QString, unit);
        QFETCH(QStringList, types);
        const QByteArray jsonl = convert(heading,
                                         {"41\t2026/12/07 15:44:22\t-.5\tOver\t- - -\t\t",
                                          "42\t2026/12/07 15:44:24\t1370.0\tUnder\t0.0\t12\t"},
                                         {ExportFormat::JsonLines});
        QVERIFY2(jsonl.endsWith('\n') && !jsonl.endsWith("\r\n"), jsonl.constData());
        const QList<QByteArray> lines = jsonl.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        const QStringList states[2] = {{"ok", "over", "no_probe", "empty"},
                                       {"ok", "under", "ok", "ok"}};
        const QList<QJsonValue> values[2] = {
            {-0.5, QJsonValue::Null, QJsonValue::Null, QJsonValue::Null},
            {1370.0, QJsonValue::Null, 0.0, 12.0}};
        for (int i = 0; i < 2; ++i) {
            QJsonParseError error;
            const QJsonObject record = QJsonDocument::fromJson(lines[i], &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, lines[i].constData());
            QCOMPARE(record.size(), 5);
            QCOMPARE(record["record"].toInteger(), 41 + i);
            QCOMPARE(record["time"].toString(), i == 0
                                                    ? QStringLiteral("2026-12-07T15:44:22+00:00")
                                                    : QStringLiteral("2026-12-07T15:44:24+00:00"));
            QCOMPARE(record["elapsed_s"].toInteger(), 2 * i);
            QCOMPARE(record["unit"].toString(), unit);
            const QJsonArray channels = record["channels"].toArray();
            QCOMPARE(channels.size(), 4);
            for (int k = 0; k < 4; ++k) {
                const QJsonObject channel = channels[k].toObject();
                QCOMPARE(channel.size(), 4);
                QCOMPARE(channel["channel"].toString(), QStringLiteral("T%1").arg(k + 1));
                QCOMPARE(channel["type"].isNull(), types[k].isEmpty());
                QCOMPARE(channel["type"].toString(), types[k]);
                QCOMPARE(channel["state"].toString(), states[i][k]);
                QCOMPARE(channel["value"], values[i][k]);
            }
        }
    }

    void liveChannelsBecomeWatchObjects_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("over");
        QTest::addColumn<bool>("under");
        QTest::addColumn<QString>("letter");
        QTest::addColumn<QString>("state");
        QTest::newRow("a reading") << true << false << false << "K"
                                   << "ok";
        QTest::newRow("no probe wins over over-range") << false << true << false << "J"
                                                       << "no_probe";
        QTest::newRow("over-range wins over under-range") << true << true << true << "K"
                                                          << "over";
        QTest::newRow("under-range") << true << false << true << "T"
                                     << "under";
        QTest::newRow("a type without a letter") << true << false << false << ""
                                                 << "ok";
    }
    void liveChannelsBecomeWatchObjects() {
        QFETCH(bool, present);
        QFETCH(bool, over);
        QFETCH(bool, under);
        QFETCH(QString, letter);
        QFETCH(QString, state);
        shared::LiveState live;
        live.ProbePresent[2] = present;
        live.OverRange[2] = over;
        live.UnderRange[2] = under;
        live.TypeLetter[2] = letter;
        live.LiveTextC[2] = QStringLiteral("-.5");
        live.LiveTextF[2] = QStringLiteral("31.1");
        const QDateTime when(QDate(2026, 7, 1), QTime(9, 30, 5), QTimeZone(7200));
        const QJsonObject json = recording::liveReadingJson(shared::liveChannel(live, 2), when);
        QCOMPARE(json.size(), 6);
        QCOMPARE(json["time"].toString(), QStringLiteral("2026-07-01T09:30:05+02:00"));
        QCOMPARE(json["channel"].toString(), QStringLiteral("T3"));
        QCOMPARE(json["type"].isNull(), letter.isEmpty());
        QCOMPARE(json["type"].toString(), letter);
        QCOMPARE(json["state"].toString(), state);
        const bool ok = state == "ok";
        QCOMPARE(json["value_c"], ok ? QJsonValue(-0.5) : QJsonValue(QJsonValue::Null));
        QCOMPARE(json["value_f"], ok ? QJsonValue(31.1) : QJsonValue(QJsonValue::Null));
    }

    void everyLineEndIsReadAsTheFileReaderReadsIt_data() {
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::addColumn<bool>("lastEnded");
        QTest::newRow("CR LF") << QByteArray("\r\n") << true;
        QTest::newRow("LF") << QByteArray("\n") << true;
        QTest::newRow("CR alone") << QByteArray("\r") << true;
        QTest::newRow("the last line without an end") << QByteArray("\r\n") << false;
        QTest::newRow("a CR alone last") << QByteArray("\r") << false;
    }
    void everyLineEndIsReadAsTheFileReaderReadsIt() {
        QFETCH(QByteArray, lineEnd);
        QFETCH(bool, lastEnded);
        QTemporaryDir dir;
        const QString path = dir.filePath("run.4ch");
        QByteArray file = kHeadingC;
        QList<QByteArray> lines;
        for (int n = 1; n <= 3; ++n) {
            lines.append(recordLine(n));
            file += lineEnd + lines.last();
        }
        if (lastEnded)
            file += lineEnd;
        QVERIFY(writeFile(path, file));
        const Streamed streamed = stream(path);
        QCOMPARE(streamed.end, recording::DataFileExport::Step::Done);
        QCOMPARE(streamed.records, 3);
        QCOMPARE(streamed.out, convert(kHeadingC, lines));
    }

    // A file of several blocks with a line end, or a whole line, on each
    // side of a block's edge.
    void linesAcrossBlocksConvertWhole_data() {
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::addColumn<int>("shift"); // where the line end's first byte lies from the edge
        QTest::newRow("CR LF split by the edge") << QByteArray("\r\n") << -1;
        QTest::newRow("CR LF before the edge") << QByteArray("\r\n") << -2;
        QTest::newRow("CR alone at the edge") << QByteArray("\r") << -1;
        QTest::newRow("LF at the edge") << QByteArray("\n") << 0;
        QTest::newRow("a line starting at the edge") << QByteArray("\n") << -1;
    }
    void linesAcrossBlocksConvertWhole() {
        QFETCH(QByteArray, lineEnd);
        QFETCH(int, shift);
        constexpr qsizetype kEdge = qsizetype{1} << 20;
        // Records of one length (numbers padded with zeros), and a first
        // record whose reading is padded so that a line end meets the edge.
        const auto line = [](int n, int padding) {
            return QByteArray::number(n).rightJustified(7, '0') + "\t2026/12/07 10:00:00\t" +
                   QByteArray(padding, '0') + "1.5\tOver\t- - -\t\t";
        };
        const qsizetype size = line(2, 0).size() + lineEnd.size();
        const qsizetype firstStart = kHeadingC.size() + lineEnd.size();
        int padding = 0;
        while ((kEdge + shift - (firstStart + line(1, padding).size())) % size != 0)
            ++padding;
        QByteArray file = kHeadingC + lineEnd;
        QList<QByteArray> lines;
        for (int n = 1; file.size() < 3 * kEdge; ++n) {
            lines.append(line(n, n == 1 ? padding : 0));
            file += lines.last() + lineEnd;
        }
        QCOMPARE(file.mid(kEdge + shift, lineEnd.size()), lineEnd);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("run.4ch"), file));
        const Streamed streamed = stream(dir.filePath("run.4ch"));
        QCOMPARE(streamed.end, recording::DataFileExport::Step::Done);
        QCOMPARE(streamed.records, lines.size());
        QVERIFY(streamed.out == convert(kHeadingC, lines));
    }

    void aBadLineStopsTheFileAfterTheRecordsBeforeIt_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("records");
        QTest::addColumn<QString>("problem");
        QTest::newRow("a line of text") << kHeadingC + "\r\n" + recordLine(1) + "\r\n" +
                                               recordLine(2) + "\r\nnotes\r\n" + recordLine(3)
                                        << qint64(2) << "line 4 cannot be converted";
        QTest::newRow("an empty line") << kHeadingC + "\r\n" + recordLine(1) + "\r\n\r\n"
                                       << qint64(1) << "line 3 cannot be converted";
        QTest::newRow("no heading")
            << recordLine(1) + "\r\n"
            << qint64(0) << "line 1 cannot be converted: it is not the heading";
        QTest::newRow("an empty file")
            << QByteArray() << qint64(0) << "line 1 cannot be converted: the file is empty";
        QTest::newRow("a line of 200 KiB not held on to")
            << kHeadingC + "\n" + recordLine(1) + "\n" + QByteArray(200 << 10, '7') << qint64(1)
            << "line 3 cannot be converted: it runs past 64 KiB";
    }
    void aBadLineStopsTheFileAfterTheRecordsBeforeIt() {
        QFETCH(QByteArray, file);
        QFETCH(qint64, records);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("run.4ch"), file));
        const Streamed streamed = stream(dir.filePath("run.4ch"));
        QCOMPARE(streamed.end, recording::DataFileExport::Step::BadLine);
        QCOMPARE(streamed.records, records);
        QVERIFY2(streamed.problem.contains(problem), qPrintable(streamed.problem));
        // The header once the heading was read, and a row for each record.
        const qint64 rows = problem.contains("line 1 ") ? 0 : records + 1;
        QCOMPARE(qint64(csvRows(streamed.out).size()), rows);
    }

    void onlyARegularFileIsRead_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing") << "missing.4ch"
                                 << "No such file or directory";
        QTest::newRow("a folder") << "folder"
                                  << "it is a folder, not a data file";
        QTest::newRow("a pipe") << "pipe"
                                << "it is a pipe, not a data file";
    }
    void onlyARegularFileIsRead() {
        QFETCH(QString, name);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600) == 0);
        recording::DataFileExport file(dir.filePath(name), {});
        QVERIFY(!file.isOpen());
        QCOMPARE(file.error(),
                 QStringLiteral("Cannot read \"%1\": %2").arg(dir.filePath(name), error));
    }
};

QUADTHERM_TEST_SUITE(TestExport, Core)

} // namespace tst_export

#include "tst_export.moc"
