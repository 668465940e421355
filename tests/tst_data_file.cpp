// The ".4ch" data file: its lines byte for byte, continuation and dump
// names, and reading a file back the way the file list loads it.

#include "recording/data_file.h"
#include "recording/data_file_writer.h"
#include "support/test_suite.h"
#include "widgets/grid.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tst_data_file {

using namespace quadtherm;

namespace {

using Texts = shared::PerChannel<QString>;

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Everything in a folder, hidden and special files too, by name.
QStringList entriesOf(const QTemporaryDir& dir) {
    return QDir(dir.path())
        .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                   QDir::Name);
}

QByteArray fileWith(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("data.4ch"));
    return writeFile(path, bytes) ? path.toUtf8() : QByteArray();
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
        // Issue 9: a CR alone (old Macintosh files) ends a line too; the
        // whole file used to become the heading.
        QTest::newRow("CR alone") << heading + "\r1\td\t1\t2\t3\t4\t\r2\td\t9\t\r"
                                  << QStringList{"1\td\t1\t2\t3\t4", "2\td\t9\t9\t9\t9"} << -1;
        QTest::newRow("CR, LF and CR LF mixed")
            << heading + "\n1\td\t1\t2\t3\t4\t\r\r\n"
            << QStringList{"1\td\t1\t2\t3\t4"} << 2; // the empty line between CR and CR LF
        // A spreadsheet's decimal commas and quotes load as written.
        QTest::newRow("commas and quotes")
            << heading + "\r\n1\t\"d\"\t23,4\t\"x,y\"\t-0,5\t\"\t\r\n"
            << QStringList{"1\t\"d\"\t23,4\t\"x,y\"\t-0,5\t\""} << -1;
        QTest::newRow("malformed third line keeps the rows before it")
            << heading + "\r\n1\td\t1\t2\t3\t4\t\r\nbroken\r\n3\td\t1\t2\t3\t4\t\r\n"
            << QStringList{"1\td\t1\t2\t3\t4"} << 2;
        QTest::newRow("six TABs without a closing one")
            << heading + "\r\n1\td\t1\t2\t3\t4\t5\r\n1\td\t1\t2\t3\t4\r\n"
            << QStringList{"1\td\t1\t2\t3\t4"} << 2;
        QTest::newRow("heading only") << heading + "\r\n" << QStringList{} << -1;
        // The file is read a megabyte at a time: a CR LF across that border
        // is one line end.
        QByteArray border = heading + "\r\n2\t";
        const QByteArray date((1 << 20) - 1 - border.size() - 9, 'd');
        border += date + "\t1\t2\t3\t4\t\r\n1\td\t1\t2\t3\t4\t\r\n";
        QTest::newRow("CR LF across a block border")
            << border
            << QStringList{"2\t" + QString::fromLatin1(date) + "\t1\t2\t3\t4", "1\td\t1\t2\t3\t4"}
            << -1;
    }
    void fileReadsBackAsWritten() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, rows);
        QFETCH(int, malformedLine);
        QTemporaryDir dir;
        const auto loaded = recording::readDataFile(QString::fromUtf8(fileWith(dir, bytes)));
        QVERIFY(loaded.error.isEmpty());
        QVERIFY(loaded.hasHeading());
        QCOMPARE(loaded.heading()[0], QStringLiteral("°C"));
        QCOMPARE(loaded.heading()[5], QStringLiteral("T4 - T"));
        QStringList read;
        for (qsizetype row = 0; row < loaded.rowCount(); ++row) {
            const recording::SixValues values = loaded.row(row);
            read.append(QStringList(values.begin(), values.end()).join('\t'));
        }
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
        QVERIFY(!empty.hasHeading() && empty.rowCount() == 0 && empty.error.isEmpty());
        QVERIFY(!empty.malformedLine);
        const auto missing = recording::readDataFile(dir.filePath("absent.4ch"));
        QVERIFY(!missing.hasHeading());
        QVERIFY2(missing.error.contains("No such file"), qPrintable(missing.error));
    }

    // Issue 9, found by fuzzing: a line outside the file handed memchr a
    // null pointer, which UBSan stops on.
    void linesOutsideTheFileAreEmpty() {
        const recording::DataFileLines none;
        const recording::DataFileLines one(QByteArray("a\tb\t\r\n"));
        for (const auto* lines : {&none, &one}) {
            QVERIFY(lines->line(-1).isEmpty() && lines->line(lines->count()).isEmpty());
            QCOMPARE(lines->value(lines->count(), 0), QString());
            QCOMPARE(lines->values(-1), recording::SixValues{});
        }
        QCOMPARE(one.value(0, 5), QStringLiteral("b"));
    }

    // Issue 9: a pipe froze the program for good, /dev/zero grew until the
    // memory ran out, and a file of gigabytes took many times its size.
    void whatIsNotARegularFileOrTooLargeIsRefusedUnread_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pipe") << "pipe"
                              << "it is a pipe, not a data file.";
        QTest::newRow("device") << "device"
                                << "it is a device, not a data file.";
        QTest::newRow("folder") << "folder"
                                << "it is a folder, not a data file.";
        QTest::newRow("just above 512 MB")
            << "large"
            << "it holds 513 MB; a data file may hold at most 512 MB.";
    }
    void whatIsNotARegularFileOrTooLargeIsRefusedUnread() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("data.4ch"));
        if (kind == "pipe") {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "device") {
            path = QStringLiteral("/dev/zero");
        } else if (kind == "folder") {
            path = dir.path();
        } else {
            QFile sparse(path); // no disk space taken
            QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize((qint64{512} << 20) + 1));
        }
        recording::DataFileReader reader(path);
        QVERIFY(!reader.isOpen());
        QCOMPARE(reader.refusal(), QStringLiteral("Cannot open \"%1\": %2").arg(path, reason));
        const auto loaded = reader.read();
        QVERIFY(!loaded.hasHeading());
        QCOMPARE(loaded.error, reader.refusal());
    }

    // Issue 9: a recording still being written, or a file cut short, is read
    // as far as it reaches while it is read.
    void fileThatChangesWhileReadIsReadAsFarAsItReaches_data() {
        QTest::addColumn<qint64>("cutTo"); // -1: grows instead
        QTest::newRow("cut inside the second megabyte") << qint64(3 << 19);
        QTest::newRow("cut to nothing") << qint64(0);
        QTest::newRow("grows") << qint64(-1);
    }
    void fileThatChangesWhileReadIsReadAsFarAsItReaches() {
        QFETCH(qint64, cutTo);
        QByteArray bytes =
            recording::dataFileLine(recording::headingCells("°C", Texts{"K", "K", "J", "T"}));
        for (int n = 1; bytes.size() < (3 << 20); ++n)
            bytes += recording::dataFileLine(recording::recordCells(
                n, "2010/11/26 14:05:09", Texts{"23.4", "Over", "- - -", "-5.2"}));
        QTemporaryDir dir;
        const QString path = QString::fromUtf8(fileWith(dir, bytes));
        recording::DataFileReader reader(path);
        int blocks = 0;
        const auto loaded = reader.read([&](qsizetype) {
            if (blocks++ == 0) {
                QFile file(path);
                if (cutTo >= 0)
                    return file.resize(cutTo);
                return file.open(QIODevice::Append) && file.write(bytes.left(1 << 20)) > 0;
            }
            return true;
        });
        QVERIFY(loaded.error.isEmpty() && !loaded.cancelled);
        // Whole lines of what was there to read come back as written; a line
        // cut in two may follow them.
        const qint64 readable = cutTo < 0 ? bytes.size() : std::max<qint64>(cutTo, 1 << 20);
        const qsizetype whole = bytes.left(readable).count('\n');
        QVERIFY2(loaded.lines->count() - whole <= 1, qPrintable(QString::number(whole)));
        QVERIFY(loaded.lines->count() >= whole);
        const QList<QByteArray> written = bytes.split('\n');
        for (qsizetype line = 0; line < whole; ++line)
            QCOMPARE(loaded.lines->line(line), written[line].chopped(1));
        if (cutTo < 0)
            QVERIFY(loaded.lines->count() == whole && !loaded.malformedLine);
    }

    // Found in testing: reading stopped at a line of 500 MB of digits
    // without a TAB, but the file's whole buffer stayed taken while the
    // window was open. What is not kept is given back as the reading ends.
    void aLineThatStopsTheReadingGivesItsMemoryBack_data() {
        QTest::addColumn<QByteArray>("stopper");
        QTest::addColumn<int>("malformedLine");
        QTest::newRow("64 MB of digits, the last line") << QByteArray(64 << 20, '7') << 2;
        QTest::newRow("64 MB of digits, a line after it")
            << QByteArray(64 << 20, '7') + "\r\n2\td\t1\t2\t3\t4\t\r\n"
            << 2;
        QTest::newRow("no stopper") << QByteArray() << -1;
    }
    void aLineThatStopsTheReadingGivesItsMemoryBack() {
        QFETCH(QByteArray, stopper);
        const QByteArray kept =
            recording::dataFileLine(recording::headingCells("°C", Texts{"K", "K", "J", "T"})) +
            "1\td\t1\t2\t3\t4\t\r\n";
        QTemporaryDir dir;
        const auto loaded =
            recording::readDataFile(QString::fromUtf8(fileWith(dir, kept + stopper)));
        QVERIFY(loaded.error.isEmpty());
        QTEST(int(loaded.malformedLine.value_or(-1)), "malformedLine");
        QCOMPARE(loaded.rowCount(), 1);
        QCOMPARE(loaded.row(0)[5], QStringLiteral("4"));
        // The two lines kept and their index, give or take an allocation's rounding.
        QVERIFY2(loaded.lines->memoryBytes() < 4096,
                 qPrintable(QString::number(loaded.lines->memoryBytes())));
    }

    // What a view shows of a line: the same six-value rule, each value cut.
    void valuesCutForAViewFollowTheSixValueRule() {
        const recording::DataFileLines lines(QByteArray("abcdef\tb\t\t123456789\t\r\n"));
        QCOMPARE(lines.cutValues(0, 3),
                 (recording::SixValues{"abc", "b", "", "123", "123", "123"}));
        QCOMPARE(lines.cutValues(0, 0), (recording::SixValues{"", "", "", "", "", ""}));
        QCOMPARE(lines.cutValues(0, 100), lines.values(0));
        QCOMPARE(lines.cutValues(1, 3), recording::SixValues{});
    }

    void writtenFileReadsBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath("dump.4ch");
        recording::DataFileWriter writer;
        QVERIFY(writer.open(path));
        QVERIFY(writer.writeLine(recording::headingCells("°F", Texts{"K", "J", "E", "T"})));
        QVERIFY(writer.writeLine(recording::recordCells(1, "2010/11/26 14:05:09",
                                                        Texts{"1.0", "Over", "- - -", "-.5"})));
        QVERIFY(writer.close());
        const auto loaded = recording::readDataFile(path);
        QCOMPARE(loaded.heading()[0], QStringLiteral("°F"));
        QCOMPARE(loaded.rowCount(), 1);
        QCOMPARE(loaded.row(0),
                 (recording::SixValues{"1", "2010/11/26 14:05:09", "1.0", "Over", "- - -", "-.5"}));
    }

    // The writer refuses what is not a regular file, and a disk that fills up
    // leaves only whole lines, with the system's reason.
    void theWriterRefusesDevicesAndNeverLeavesATornLine() {
        QString error;
        recording::DataFileWriter device;
        QVERIFY(!device.open("/dev/full", &error));
        QCOMPARE(error, QStringLiteral("Cannot write \"/dev/full\": Not a regular file"));

        // Issue 9 and the CLI's download on a full disk: a save that cannot
        // be written whole leaves the file of that name as it was, and no
        // part of the new one.
        QTemporaryDir dir;
        const QString path = dir.filePath("small.4ch");
        QVERIFY(writeFile(path, "old\r\n"));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 100;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        bool ok = true;
        {
            recording::DataFileWriter writer;
            ok = writer.open(path, &error);
            for (int i = 0; ok && i < 10; ++i)
                ok = writer.writeLine({"1", "2010/11/26 14:05:09", "23.4", "Over", "- - -", "-.5"},
                                      &error);
            ok = ok && writer.close(&error);
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!ok);
        QVERIFY2(error.startsWith(QStringLiteral("Cannot write \"%1\": ").arg(path)),
                 qPrintable(error));
        QCOMPARE(readFile(path), QByteArray("old\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"small.4ch"});
    }

    void aSaveReplacesTheFileOnlyWhenWholeAndNeverTheOneBeingRecorded() {
        QTemporaryDir dir;
        const QString path = dir.filePath("run.4ch");
        QString error;
        recording::DataFileWriter recording(recording::DataFileWriter::Sync::EachLine);
        QVERIFY(recording.open(path, &error));
        QVERIFY(recording.writeLine({"1", "a"}));
        // The live list saved over the recording's own file (a symlink to it
        // too) rewrote it under the recorder, which went on writing NULs.
        QVERIFY(QFile::link(path, dir.filePath("link.4ch")));
        for (const QString& name : {path, dir.filePath("link.4ch")}) {
            recording::DataFileWriter save;
            QVERIFY(!save.open(name, &error));
            QCOMPARE(
                error,
                QStringLiteral("Cannot write \"%1\": it is the file being recorded").arg(name));
        }
        QVERIFY(recording.writeLine({"2", "b"}));
        QVERIFY(recording.close());
        QCOMPARE(readFile(path), QByteArray("1\ta\t\r\n2\tb\t\r\n"));

        // Once the recording is closed the file is an ordinary one; a save
        // through the link replaces the file it names and keeps the link.
        recording::DataFileWriter save;
        QVERIFY(save.open(dir.filePath("link.4ch"), &error));
        QVERIFY(save.writeLine({"new"}));
        QCOMPARE(readFile(path), QByteArray("1\ta\t\r\n2\tb\t\r\n")); // not yet in place
        QVERIFY(save.close(&error));
        QCOMPARE(readFile(path), QByteArray("new\t\r\n"));
        QVERIFY(QFileInfo(dir.filePath("link.4ch")).isSymLink());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 2);
    }

    // Found in testing: a save killed between writing NAME.part and its
    // rename left NAME.part for good. The file aside now has no name while
    // it is written, so there is nothing to leave.
    void aSaveShowsNothingButItsFileWhileItWrites() {
        QTemporaryDir dir;
        const int probe =
            ::open(QFile::encodeName(dir.path()).constData(), O_TMPFILE | O_WRONLY, 0600);
        if (probe < 0)
            QSKIP("this file system has no unnamed files (O_TMPFILE)");
        ::close(probe);
        const QString path = dir.filePath("run.4ch");
        QVERIFY(writeFile(path, "old\r\n"));
        {
            recording::DataFileWriter save;
            QVERIFY(save.open(path));
            // Past a block of a megabyte, so that lines reach the file aside.
            for (int n = 1; n <= 30000; ++n)
                QVERIFY(save.writeLine(recording::recordCells(
                    n, "2010/11/26 14:05:09", Texts{"23.4", "Over", "- - -", "-5.2"})));
            QCOMPARE(entriesOf(dir), QStringList{"run.4ch"});
            // Dropped unclosed, as a save that failed half way.
        }
        QCOMPARE(readFile(path), QByteArray("old\r\n"));
        QCOMPARE(entriesOf(dir), QStringList{"run.4ch"});
    }

    // Found in testing: a hundred leftovers of one name made every later
    // save of that name fail. The next save removes those that are regular
    // files, and saves never run out of names.
    void leftoversOfOldSavesGoAndSavesNeverRunOutOfNames() {
        QTemporaryDir dir;
        const QString path = dir.filePath("run.4ch");
        QVERIFY(writeFile(path, "old\r\n"));
        for (int n = 0; n < 100; ++n) {
            const QString leftover = path + ".part" + (n == 0 ? QString() : QString::number(n));
            if (n == 7)
                QVERIFY(QDir().mkdir(leftover));
            else if (n == 8)
                QVERIFY(QFile::link(dir.filePath("other"), leftover));
            else
                QVERIFY(writeFile(leftover, "1\td\t"));
        }
        QVERIFY(writeFile(dir.filePath("other"), "kept"));
        for (int n = 1; n <= 150; ++n) {
            recording::DataFileWriter save;
            QString error;
            QVERIFY2(save.open(path, &error), qPrintable(QString::number(n) + ": " + error));
            QVERIFY(save.writeLine({QString::number(n)}));
            QVERIFY2(save.close(&error), qPrintable(QString::number(n) + ": " + error));
        }
        QCOMPARE(readFile(path), QByteArray("150\t\r\n"));
        // A folder and a link of such a name are no leftovers of a save.
        QCOMPARE(entriesOf(dir),
                 (QStringList{"other", "run.4ch", "run.4ch.part7", "run.4ch.part8"}));
        QCOMPARE(readFile(dir.filePath("other")), QByteArray("kept"));
    }

    void aSavedFileKeepsThePermissionsOfTheFileItReplaces_data() {
        QTest::addColumn<int>("mode"); // -1: no file before
        QTest::addColumn<int>("expected");
        const mode_t mask = ::umask(0);
        ::umask(mask);
        QTest::newRow("owner and group read") << 0640 << 0640;
        QTest::newRow("others read, group not") << 0604 << 0604;
        QTest::newRow("read only") << 0444 << 0444;
        QTest::newRow("executable") << 0750 << 0750;
        QTest::newRow("new file") << -1 << int(0666 & ~mask);
    }
    void aSavedFileKeepsThePermissionsOfTheFileItReplaces() {
        QFETCH(int, mode);
        QTemporaryDir dir;
        const QString path = dir.filePath("run.4ch");
        const QByteArray name = QFile::encodeName(path);
        if (mode >= 0) {
            QVERIFY(writeFile(path, "old\r\n"));
            QCOMPARE(::chmod(name.constData(), mode_t(mode)), 0);
        }
        recording::DataFileWriter save;
        QString error;
        QVERIFY2(save.open(path, &error), qPrintable(error));
        QVERIFY(save.writeLine({"new"}));
        QVERIFY2(save.close(&error), qPrintable(error));
        QCOMPARE(readFile(path), QByteArray("new\t\r\n"));
        struct stat info {};
        QCOMPARE(::stat(name.constData(), &info), 0);
        QTEST(int(info.st_mode & 07777), "expected");
    }

    // A folder that takes no new file (here an immutable one) still lets a
    // save rewrite its file in place, as before saves went aside.
    void aFolderThatTakesNoNewFileStillLetsItsFileBeRewritten() {
        QTemporaryDir dir;
        const QString path = dir.filePath("locked/f.4ch");
        QVERIFY(QDir(dir.path()).mkdir("locked"));
        QVERIFY(writeFile(path, "old\r\n"));
        const QString folder = dir.filePath("locked");
        if (QProcess::execute("chattr", {"+i", folder}) != 0)
            QSKIP("chattr +i is not available here");
        const auto unlock = qScopeGuard([&] { QProcess::execute("chattr", {"-i", folder}); });
        QString error;
        recording::DataFileWriter save;
        QVERIFY2(save.open(path, &error), qPrintable(error));
        QVERIFY(save.writeLine({"new"}));
        QVERIFY2(save.close(&error), qPrintable(error));
        QCOMPARE(readFile(path), QByteArray("new\t\r\n"));
    }
};

QUADTHERM_TEST_SUITE(TestDataFile, Gui)

} // namespace tst_data_file

#include "tst_data_file.moc"
