// A list of huge cells painted, resized and scrolled on the windows' thread
// for twenty seconds while the meter session records on its own thread:
// every record keeps its second. (A suite of its own: it takes its twenty
// seconds beside the other suites.)

#include "recording/data_file.h"
#include "recording/ui/file_list_window.h"
#include "support/test_suite.h"
#include "support/threaded_program.h"
#include "widgets/grid.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>

namespace tst_session_busy_list {

using namespace quadtherm;
using test::Program;
using test::recordLines;
using test::RecordTimes;
using test::startRecording;

class TestSessionBusyList : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    // #19: with a file of 20 MB cells in the file list, resized and scrolled
    // for 20 seconds, the recording keeps every second.
    void aFileOfHugeCellsInTheListCostsTheRecordingNothing() {
        const QString big = m_dir.filePath(QStringLiteral("cells.4ch"));
        {
            const QByteArray huge(20 << 20, '7');
            QFile file(big);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("\xB0"
                       "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t\r\n");
            for (int line = 0; line < 5; ++line) {
                QList<QByteArray> cells{
                    QByteArray::number(line + 1), "2026/12/06 14:10:19", "23.4", "1", "2", "3"};
                cells[line + 1] = huge;
                file.write(cells.join('\t') + "\t\r\n");
            }
        }
        Program program;
        QVERIFY(program.open());
        QVERIFY(program.comeUp());
        RecordTimes records(program);
        const QString path = m_dir.filePath(QStringLiteral("busy-list.4ch"));
        QVERIFY(startRecording(program, path));
        QTest::qWait(1200);

        // Opened while the recording runs, then resized and scrolled.
        recording::FileListWindow files(program.view.windows, {}, program.dialogs, {});
        files.show();
        recording::DataFileReader reader(big);
        QVERIFY(reader.isOpen());
        files.loadFile(reader, QStringLiteral("cells.4ch"));
        QElapsedTimer busy;
        busy.start();
        for (int step = 0; busy.elapsed() < 20000; ++step) {
            files.resize(400 + (step % 7) * 90, 300 + (step % 5) * 60);
            files.GridN->setTopRow(step % 5 + 1);
            files.GridN->horizontalScrollBar()->setValue(step % 3 * 200);
            files.repaint();
            QTest::qWait(20);
        }
        program.client->stopRecording();
        QVERIFY(QTest::qWaitFor([&] { return !program.client->mirror().recording; }, 5000));

        const auto numbers = records.numbers();
        QVERIFY2(numbers.size() >= 20, qPrintable(QString::number(numbers.size())));
        const QString late = records.lateness(100);
        QVERIFY2(late.isEmpty(), qPrintable(late));
        QCOMPARE(recordLines(path).size(), numbers.size());
    }
};

QUADTHERM_TEST_SUITE(TestSessionBusyList, Gui)

} // namespace tst_session_busy_list

#include "tst_session_busy_list.moc"
