// The live link in real time: against the in-process simulated meter, and
// through a pseudo-terminal whose adapter is pulled out and plugged back.

#include "meter_link/meter_protocol.h"
#include "meter_link/qt_serial_port.h"
#include "session/live_tick.h"
#include "shared/clock.h"
#include "sim/simulated_serial_port.h"
#include "support/meter_sim_process.h"
#include "support/test_suite.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <utility>

namespace tst_link_recovery {

using namespace quadtherm;

namespace {

// The main window's live poll: one LiveTick every 50 ms.
class Poller {
public:
    Poller(meter_link::MeterProtocol& protocol, shared::RunState& state) {
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this, &protocol, &state] {
            if (std::exchange(m_busy, true))
                return; // a tick still waiting for the meter
            const auto outcome = session::LiveTick(protocol, state);
            if (outcome == session::TickOutcome::Changed)
                session::AcceptConfiguration(state);
            if (onFrame && (outcome == session::TickOutcome::Changed ||
                            outcome == session::TickOutcome::Stable))
                onFrame(state.live.CurrentChannel);
            m_busy = false;
        });
    }
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    std::function<void(int channel)> onFrame;

private:
    QTimer m_timer;
    bool m_busy = false;
};

} // namespace

class TestLinkRecovery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void livePollingRefreshesEveryChannelWithinASecond() {
        shared::SystemClock clock;
        sim::SimulatedSerialPort port(clock); // the real line rate
        port.setSettings(QStringLiteral("19200,n,8,1"));
        QVERIFY(port.open());
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
        poller.onFrame = [&](int k) {
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

    void linkComesBackAfterTheAdapterIsReplugged() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("meter"));
        test::MeterSimProcess meter({"--link", link});
        QVERIFY(!meter.device().isEmpty());
        meter_link::QtSerialPort port(link);
        port.setSettings(QStringLiteral("19200,n,8,1"));
        QVERIFY(port.open());
        shared::SystemClock clock;
        shared::RunState state;
        meter_link::MeterProtocol protocol(port, clock, state);
        int down = 0, up = 0;
        QObject::connect(&protocol, &meter_link::MeterProtocol::resyncStarted, [&] { ++down; });
        QObject::connect(&protocol, &meter_link::MeterProtocol::resyncFinished, [&] { ++up; });
        protocol.setGiveUpAfter(30000);
        Poller poller(protocol, state);
        int framesAfterReplug = 0;
        bool replugged = false;
        poller.onFrame = [&](int) { framesAfterReplug += replugged ? 1 : 0; };
        poller.start();
        QTRY_COMPARE_WITH_TIMEOUT(up, 1, 10000);
        meter.unplug();
        replugged = true;
        QTRY_COMPARE_WITH_TIMEOUT(down, 2, 10000); // "No COM" while the adapter is out
        QTRY_COMPARE_WITH_TIMEOUT(up, 2, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(framesAfterReplug >= 20, 5000);
        poller.stop();
        QVERIFY(port.isOpen());
    }
};

QUADTHERM_TEST_SUITE(TestLinkRecovery, Core)

} // namespace tst_link_recovery

#include "tst_link_recovery.moc"
