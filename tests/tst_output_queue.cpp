// The output queue: lines go out whole and in order, and a reader that stops
// reading never holds up whoever pushes (issue 9).

#include "shared/output_queue.h"
#include "support/test_suite.h"

#include <QTest>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace tst_output_queue {

using quadtherm::shared::OutputQueue;

namespace {

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() {
        if (::pipe2(fds, O_CLOEXEC) == 0)
            ::fcntl(fds[1], F_SETPIPE_SZ, 4096);
    }
    ~Pipe() {
        closeReadEnd();
        ::close(fds[1]);
    }
    void closeReadEnd() {
        if (fds[0] >= 0)
            ::close(fds[0]);
        fds[0] = -1;
    }
    QByteArray read(qsizetype bytes) const {
        QByteArray got;
        char buffer[4096];
        while (got.size() < bytes) {
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }
};

QByteArray line(int n) {
    return QByteArray::number(n).rightJustified(99, '.') + '\n';
}

} // namespace

class TestOutputQueue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); }

    void linesGoOutWholeAndInOrder() {
        Pipe pipe;
        OutputQueue queue(pipe.fds[1], 1 << 20);
        QByteArray expected;
        for (int n = 0; n < 1000; ++n) { // 100 KB through a 4 KB pipe
            QVERIFY(queue.push(line(n)));
            expected += line(n);
        }
        QCOMPARE(pipe.read(expected.size()), expected);
        QVERIFY(QTest::qWaitFor([&] { return queue.drained(); }));
    }

    void aReaderThatStopsCostsLinesNotTime() {
        Pipe pipe;
        auto queue = std::make_unique<OutputQueue>(pipe.fds[1], 1000);
        // The pipe takes 4096 bytes, the queue 1000 more; then pushes are
        // refused, whole, without waiting.
        int taken = 0;
        while (taken < 100 && queue->push(line(taken))) {
            ++taken;
            [[maybe_unused]] const bool out = QTest::qWaitFor([&] { return queue->drained(); }, 50);
        }
        QVERIFY2(taken > 40 && taken < 100, qPrintable(QString::number(taken)));
        QVERIFY(!queue->hasRoom(100) && !queue->drained());
        QVERIFY(!queue->push(line(0)));
        // Reading on, the reader gets whole lines in order, the refused ones missing.
        QTest::qWait(100);
        QByteArray expected;
        for (int n = 0; n < taken; ++n)
            expected += line(n);
        QCOMPARE(pipe.read(expected.size()), expected);
        QVERIFY(QTest::qWaitFor([&] { return queue->drained(); }));
        // Going away while the writer is blocked does not wait for it.
        while (queue->push(line(1)) && !queue->drained()) {
        }
        for (int n = 0; n < 100; ++n)
            queue->push(line(n));
        queue.reset();
    }

    void aReaderThatLeavesBreaksTheQueue() {
        Pipe pipe;
        OutputQueue queue(pipe.fds[1], 1000);
        pipe.closeReadEnd();
        QVERIFY(queue.push(line(1)));
        QVERIFY(QTest::qWaitFor([&] { return queue.broken(); }));
        // Taken and discarded: nothing waits for a reader that is gone.
        QVERIFY(queue.push(line(2)) && queue.drained());
    }
};

QUADTHERM_TEST_SUITE(TestOutputQueue, Core)

} // namespace tst_output_queue

#include "tst_output_queue.moc"
