// The toolkit's own file dialog left open for thirty seconds on the windows'
// thread while the meter session records on its own: every record keeps its
// second and follows the meter. (A suite of its own: it takes its thirty
// seconds beside the other suites.)

#include "support/test_suite.h"
#include "support/threaded_program.h"
#include "widgets/user_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace tst_session_modal_dialog {

using namespace quadtherm;
using test::Program;
using test::recordLines;
using test::RecordTimes;
using test::startRecording;

class TestSessionModalDialog : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    // #19: a modal dialog's own event loop held the recording cycle up and
    // records repeated what the meter said before it opened.
    void aFileDialogOpenForHalfAMinuteCostsTheRecordingNothing() {
        // A meter whose readings move by degrees a second, so that a record
        // that repeats the one before can only be a stale one.
        Program program([](sim::SimulatedMeter& meter) {
            for (int k = 0; k < 4; ++k)
                meter.channel(k).driftF = 300.0;
        });
        QVERIFY(program.open());
        QVERIFY(program.comeUp());
        RecordTimes records(program);
        const QString path = m_dir.filePath(QStringLiteral("modal.4ch"));
        QVERIFY(startRecording(program, path));
        QTest::qWait(1200);

        // The user leaves the open dialog up for thirty seconds, then
        // cancels it. The dialog runs its own modal loop here.
        QElapsedTimer open;
        bool sawDialog = false;
        QTimer::singleShot(30000, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                sawDialog = true;
                dialog->reject();
            }
        });
        widgets::QtUserDialogs dialogs;
        open.start();
        const qint64 openedAt = program.clock.elapsedMs();
        const QString chosen =
            dialogs.openFile(nullptr, QStringLiteral("Data Files (*.4ch)|*.4ch|"));
        const qint64 openMs = open.elapsed();
        QVERIFY(sawDialog);
        QVERIFY(chosen.isEmpty());
        QVERIFY2(openMs >= 29500, qPrintable(QString::number(openMs)));

        program.client->stopRecording();
        QVERIFY(QTest::qWaitFor([&] { return !program.client->mirror().recording; }, 5000));

        // A record for each second the dialog was up.
        const auto numbers = records.numbers();
        const auto at = records.atMs();
        const auto whileOpen = std::count_if(at.begin(), at.end(), [&](qint64 t) {
            return t > openedAt && t < openedAt + openMs;
        });
        QVERIFY2(whileOpen >= 29, qPrintable(QString::number(whileOpen)));
        for (qsizetype i = 0; i < numbers.size(); ++i)
            QCOMPARE(numbers[i], qint64(i + 1));
        const QString late = records.lateness(100);
        QVERIFY2(late.isEmpty(), qPrintable(late));

        // Every record is in the file, and each one's readings differ from
        // the one before.
        const QList<QByteArray> lines = recordLines(path);
        QCOMPARE(lines.size(), numbers.size());
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray readings = lines[i].split('\t').mid(2).join('\t');
            const QByteArray before = lines[i - 1].split('\t').mid(2).join('\t');
            QVERIFY2(readings != before, lines[i].constData());
        }
    }
};

QUADTHERM_TEST_SUITE(TestSessionModalDialog, Gui)

} // namespace tst_session_modal_dialog

#include "tst_session_modal_dialog.moc"
