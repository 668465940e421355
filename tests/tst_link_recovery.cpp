// The live link in real time: against the in-process simulated meter, and
// through a pseudo-terminal whose adapter is pulled out and plugged back.

#include "meter_link/live_reading.h"
#include "meter_link/meter_protocol.h"
#include "meter_link/qt_serial_port.h"
#include "shared/clock.h"
#include "sim/simulated_serial_port.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace quadtherm;

namespace {

// One live tick every 50 ms, as the main window polls.
class Poller {
public:
    Poller(meter_link::MeterProtocol& protocol, shared::RunState& state)
        : m_protocol(protocol), m_state(state) {
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    std::function<void(int channel, qint64 ms)> onFrame;

private:
    void tick() {
        if (m_busy)
            return;
        m_busy = true;
        if (m_state.link.NeedResync) {
            m_protocol.ResyncMeter();
        } else if (const auto frame = m_protocol.readReadingFrame()) {
            meter_link::DecodeFrame(m_state.live, *frame);
            if (onFrame)
                onFrame(m_state.live.CurrentChannel, m_clock.elapsed());
        } else if (!m_protocol.stopped()) {
            m_protocol.ResyncMeter();
        }
        m_busy = false;
    }

    meter_link::MeterProtocol& m_protocol;
    shared::RunState& m_state;
    QTimer m_timer;
    QElapsedTimer m_clock{[] {
        QElapsedTimer t;
        t.start();
        return t;
    }()};
    bool m_busy = false;
};

} // namespace

class TestLinkRecovery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void livePollingRefreshesEveryChannelWithinASecond();
    void linkComesBackAfterTheAdapterIsReplugged();
};

void TestLinkRecovery::livePollingRefreshesEveryChannelWithinASecond() {
    sim::SimulatedSerialPort port; // the real line rate
    port.setSettings(QStringLiteral("19200,n,8,1"));
    QVERIFY(port.open());
    shared::SystemClock clock;
    shared::RunState state;
    meter_link::MeterProtocol protocol(port, clock, state);
    protocol.setGiveUpAfter(30000);
    QVERIFY(protocol.ResyncMeter());

    Poller poller(protocol, state);
    // Gaps count from the start of polling to each channel's first refresh,
    // between refreshes, and from its last refresh to the end.
    QElapsedTimer elapsed;
    shared::PerChannel<qint64> last{0, 0, 0, 0};
    qint64 worstGap = 0;
    int frames = 0;
    poller.onFrame = [&](int k, qint64) {
        worstGap = std::max(worstGap, elapsed.elapsed() - last[k]);
        last[k] = elapsed.elapsed();
        ++frames;
    };
    elapsed.start();
    poller.start();
    QTest::qWait(4000);
    poller.stop();
    for (int k = 0; k < 4; ++k)
        worstGap = std::max(worstGap, elapsed.elapsed() - last[k]);
    qInfo("%d frames in 4 s, worst refresh gap of a channel %lld ms", frames, worstGap);
    QVERIFY2(worstGap < 1000, qPrintable(QStringLiteral("worst gap %1 ms").arg(worstGap)));
    QVERIFY2(frames >= 60, qPrintable(QString::number(frames)));
}

void TestLinkRecovery::linkComesBackAfterTheAdapterIsReplugged() {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("meter"));
    QProcess meter;
    meter.start(QStringLiteral(QUADTHERM_SIM_PATH), {"--link", link});
    QVERIFY(meter.waitForStarted(5000) && meter.waitForReadyRead(5000));
    const auto stopMeter = qScopeGuard([&] {
        meter.terminate();
        meter.waitForFinished(3000);
    });

    meter_link::QtSerialPort port(link);
    port.setSettings(QStringLiteral("19200,n,8,1"));
    QVERIFY(port.open());
    shared::SystemClock clock;
    shared::RunState state;
    meter_link::MeterProtocol protocol(port, clock, state);
    int down = 0, up = 0;
    protocol.setHooks({{}, {}, [&](bool isUp) { ++(isUp ? up : down); }, {}, {}});
    protocol.setGiveUpAfter(30000);

    Poller poller(protocol, state);
    int framesAfterReplug = 0;
    bool replugged = false;
    poller.onFrame = [&](int, qint64) {
        if (replugged)
            ++framesAfterReplug;
    };
    poller.start();
    QTRY_COMPARE_WITH_TIMEOUT(up, 1, 10000);

    ::kill(static_cast<pid_t>(meter.processId()), SIGUSR1);
    replugged = true;
    QTRY_COMPARE_WITH_TIMEOUT(down, 2, 10000); // "No COM" while the adapter is out
    QTRY_COMPARE_WITH_TIMEOUT(up, 2, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(framesAfterReplug >= 20, 5000);
    poller.stop();
    QVERIFY(port.isOpen());
}

QTEST_GUILESS_MAIN(TestLinkRecovery)
#include "tst_link_recovery.moc"
