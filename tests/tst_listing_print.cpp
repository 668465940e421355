// The printed listing of a saved file: its line layout, and what reaches
// paper, printed to PDF and read back character by character.

#include "recording/listing_text.h"
#include "recording/ui/file_list_window.h"
#include "recording/ui/listing_printer.h"
#include "shared/view_state.h"
#include "support/scripted_dialogs.h"
#include "support/test_suite.h"
#include "widgets/grid.h"

#include <QApplication>
#include <QPrinter>
#include <QProgressDialog>
#include <QTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace tst_listing_print {

using namespace quadtherm;
using Kind = test::ScriptedDialogs::Kind;

namespace {

const recording::SixValues kHeading{"°C", "Date Time", "T1 - K", "T2 - J", "T3 - T", "T4 - E"};
const QString kHeadingLine =
    QStringLiteral("      °C            Date Time  T1 - K  T2 - J  T3 - T  T4 - E");
const QString kRule = QStringLiteral(" ") + QString(62, QLatin1Char('-'));

QString pdftotext(const QStringList& options, const QString& path) {
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), options + QStringList{path, QStringLiteral("-")});
    tool.waitForFinished(30000);
    return QString::fromUtf8(tool.readAllStandardOutput());
}

// The text on its character grid (8 pt DejaVu Sans Mono is 4.8164 pt a
// character), less the blanks and form feeds pdftotext pads lines with.
QStringList pdfLines(const QString& path) {
    QStringList lines = pdftotext({QStringLiteral("-fixed"), QStringLiteral("4.8164")}, path)
                            .split(QLatin1Char('\n'));
    for (QString& line : lines)
        line.remove(QRegularExpression(QStringLiteral("[ \f]+$")));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// How many line heights below the top edge the first text sits.
double linesAboveFirstText(const QString& path) {
    static const QRegularExpression word(
        QStringLiteral(R"re(<word [^>]*yMin="([\d.]+)" [^>]*yMax="([\d.]+)")re"));
    const auto match = word.match(pdftotext({QStringLiteral("-bbox")}, path));
    const double top = match.captured(1).toDouble();
    return match.hasMatch() ? top / (match.captured(2).toDouble() - top) : -1;
}

} // namespace

class TestListingPrint : public QObject {
    Q_OBJECT
private:
    shared::WindowState m_windows;
    test::ScriptedDialogs m_dialogs;
    QTemporaryDir m_dir;
    int m_stops = 0;
    int m_starts = 0;
    // A saved-file window holding `rows`, printed to "listing.pdf" in `copies`.
    void print(const QList<QByteArray>& rows, int copies, bool accept = true,
               QStringList* captions = nullptr) {
        recording::FileListWindow files(m_windows, {}, m_dialogs,
                                        {[this] { ++m_stops; }, [this] { ++m_starts; }});
        if (captions)
            connect(&files, &QWidget::windowTitleChanged,
                    [captions](const QString& title) { captions->append(title); });
        files.setHeading(kHeading);
        files.appendRows(rows);
        const QString pdf = m_dir.filePath(QStringLiteral("listing.pdf"));
        m_dialogs.answerPrint(accept, [pdf, copies](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setCopyCount(copies);
            // No margins: the text grid starts at the page's edge.
            printer.setPageMargins(QMarginsF());
        });
        if (accept)
            m_dialogs.answerMessage(QMessageBox::Ok);
        files.Toolbar1_ButtonClick(QStringLiteral("Print"));
        QCOMPARE(files.windowTitle(), QStringLiteral("Saved File"));
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
                 "pdftotext (poppler-utils) is needed to read the printed PDF back");
        QVERIFY(m_dir.isValid());
    }

    void init() {
        m_dialogs.clear();
        m_stops = m_starts = 0;
        for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files))
            QFile::remove(m_dir.filePath(name));
    }

    void listingLineRightAlignsEachCellInItsField_data() {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QString>("line");
        QTest::newRow("a cell too long for its field is printed whole")
            << QStringList{"123456789", "", "", "", "", "x"}
            << QStringLiteral("123456789") + QString(52, QLatin1Char(' ')) + QLatin1Char('x');
        QTest::newRow("missing cells print as blanks")
            << QStringList{"1"} << QStringLiteral("       1") + QString(53, QLatin1Char(' '));
    }
    void listingLineRightAlignsEachCellInItsField() {
        QFETCH(QStringList, cells);
        QTEST(recording::listingLine(cells), "line");
    }

    void printedListingHasTheHeadingRuleAndRecordsAfterTheNote() {
        print({"1\t2026/12/06 14:10:19\t23.4\tOver\t- - -\t-12.5",
               "2\t2026/12/06 14:10:20\t1370.0\tUnder\t0.0\t-200.0"},
              1);
        const QStringList lines = pdfLines(m_dir.filePath(QStringLiteral("listing.pdf")));
        const qsizetype heading = lines.indexOf(kHeadingLine);
        QVERIFY2(heading >= 0, qPrintable(lines.join('\n')));
        QCOMPARE(
            lines.mid(heading + 1),
            QStringList({kRule, "       1  2026/12/06 14:10:19    23.4    Over   - - -   -12.5",
                         "       2  2026/12/06 14:10:20  1370.0   Under     0.0  -200.0"}));
        const auto messages = m_dialogs.callsOf(Kind::Message);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].title, QString());
        QCOMPARE(messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        // Every line of the note, as the user reads it (issue 8: only the
        // first two were checked).
        QCOMPARE(messages[0].text.split('\r'),
                 QStringList({"Note", "The effect of the properties of the Printer settings",
                              "depends on the driver supplied by the printer manufacturer.",
                              "Some property settings may have no effect, or several different "
                              "property settings",
                              "may all have the same effect. Settings outside the accepted "
                              "range may or may not produce an error.",
                              "For more information, see the manufacturer's documentation for "
                              "the specific driver."}));
        QCOMPARE(m_stops, 1);
        QCOMPARE(m_starts, 1);
    }

    void headingOnlyFilePrintsFourBlankLinesHeadingAndRule() {
        print({}, 1);
        const QStringList lines = pdfLines(m_dir.filePath(QStringLiteral("listing.pdf")));
        QCOMPARE(lines, QStringList({kHeadingLine, kRule}));
        // The blank lines above it print nothing pdftotext could show.
        const double blankLines =
            linesAboveFirstText(m_dir.filePath(QStringLiteral("listing.pdf")));
        QVERIFY2(qAbs(blankLines - 4) < 0.2, qPrintable(QString::number(blankLines)));
    }

    void eachCopyIsADocumentOfItsOwn() {
        print({"1\t2026/12/06 14:10:19\t23.4\tOver\t- - -\t-12.5"}, 2);
        const QStringList first = pdfLines(m_dir.filePath(QStringLiteral("listing.pdf")));
        QVERIFY(first.contains(kHeadingLine));
        QCOMPARE(pdfLines(m_dir.filePath(QStringLiteral("listing-2.pdf"))), first);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), 2);
        QCOMPARE(m_stops, 2);
        QCOMPARE(m_starts, 1);
    }

    // Issue 8: the progress caption, with its leading space, was never checked.
    void theCaptionCountsTheRowsPrintedThenComesBack() {
        QList<QByteArray> rows;
        for (int i = 1; i <= 2500; ++i)
            rows << QByteArray::number(i) + "\t2026/12/06 14:10:19\t23.4\tOver\t- - -\t-12.5";
        QStringList captions;
        print(rows, 1, true, &captions);
        QVERIFY2(captions.contains(QStringLiteral("1000 Completed")),
                 qPrintable(captions.join('|')));
        QCOMPARE(captions.last(), QStringLiteral("Saved File"));
    }

    // Issue 20: a 320,000-line file is about 3,600 pages; the user can stop it.
    void aLongPrintCanBeCancelledAndLeavesNoHalfFile() {
        QList<QByteArray> rows;
        for (int i = 1; i <= 30000; ++i)
            rows << QByteArray::number(i) + "\t2026/12/06 14:10:19\t23.4\tOver\t- - -\t-12.5";
        int maximum = 0;
        QTimer canceller;
        connect(&canceller, &QTimer::timeout, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                for (auto* stopper : top->findChildren<QProgressDialog*>(
                         QStringLiteral("PrintProgress"))) {
                    maximum = stopper->maximum();
                    QCOMPARE(stopper->windowModality(), Qt::ApplicationModal);
                    stopper->cancel();
                    canceller.stop();
                }
        });
        canceller.start(0);
        QStringList captions;
        print(rows, 2, true, &captions);
        QCOMPARE(maximum, 2 * (1 + 30000)); // the heading is a row of the grid too
        QVERIFY(!canceller.isActive());
        // Stopped within the first copy, well before its end; nothing half
        // printed is left, and nothing is said about it.
        QVERIFY(!captions.contains(QStringLiteral("29000 Completed")));
        QVERIFY(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());
        QCOMPARE(m_dialogs.callsOf(Kind::Message).size(), 1); // the printer note only
        QCOMPARE(m_starts, 1);
    }

    void cancelledPrintPrintsNothingAndShowsNoNote() {
        print({"1\t2026/12/06 14:10:19\t23.4\tOver\t- - -\t-12.5"}, 1, false);
        QVERIFY(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());
        QVERIFY(m_dialogs.callsOf(Kind::Message).isEmpty());
        QCOMPARE(m_stops, 0);
        QCOMPARE(m_starts, 1);
    }
};

QUADTHERM_TEST_SUITE(TestListingPrint, Gui)

} // namespace tst_listing_print

#include "tst_listing_print.moc"
