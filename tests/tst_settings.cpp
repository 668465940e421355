// What the desktop program remembers between runs: the settings file's
// round trip, --reset-settings, and where the user left the windows.

#include "shared/settings.h"
#include "support/test_suite.h"
#include "widgets/window_places.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace tst_settings {

using namespace quadtherm;

class TestSettings : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString file(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

private Q_SLOTS:
    // #20
    void whatIsKeptComesBackInTheNextRun() {
        const QString path = file("round.conf");
        {
            shared::Settings settings(path);
            QCOMPARE(settings.lastPortNumber(), 0); // a first start
            QVERIFY(!settings.alarmSound().enabled);
            QCOMPARE(settings.alarmSound().snoozeSeconds, 300);
            settings.setLastPort(3, QStringLiteral("/dev/ttyUSB0"));
            settings.setLastFolder(QStringLiteral("/home/user/runs"));
            settings.setWindowGeometry(QStringLiteral("Plot"), QByteArray("geometry"));
            settings.setAlarmSound({true, 30, 1.5, 120});
            settings.setChartsShowClockTime(true);
        }
        shared::Settings again(path);
        QCOMPARE(again.lastPortNumber(), 3);
        QCOMPARE(again.lastDevice(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(again.lastFolder(), QStringLiteral("/home/user/runs"));
        QCOMPARE(again.windowGeometry(QStringLiteral("Plot")), QByteArray("geometry"));
        QCOMPARE(again.windowGeometry(QStringLiteral("List")), QByteArray());
        const auto alarm = again.alarmSound();
        QVERIFY(alarm.enabled);
        QCOMPARE(alarm.delaySeconds, 30);
        QCOMPARE(alarm.marginDegrees, 1.5);
        QCOMPARE(alarm.snoozeSeconds, 120);
        QVERIFY(again.chartsShowClockTime());
        again.reset();
        shared::Settings afresh(path);
        QCOMPARE(afresh.lastPortNumber(), 0);
        QVERIFY(!afresh.alarmSound().enabled);
        QVERIFY(afresh.lastFolder().isEmpty());
    }

    void aWindowOpensWhereTheUserLeftItAndOnlyThen() {
        const QString path = file("places.conf");
        shared::Settings settings(path);
        widgets::WindowPlaces places(settings, {QStringLiteral("Plot"), QStringLiteral("List")});
        // Placed by the program and never moved: nothing to remember.
        {
            QWidget list;
            list.setObjectName(QStringLiteral("List"));
            list.setGeometry(40, 60, 300, 200);
            list.show();
            list.hide();
        }
        QVERIFY(settings.windowGeometry(QStringLiteral("List")).isEmpty());
        // Moved and resized by the user: remembered.
        {
            QWidget plot;
            plot.setObjectName(QStringLiteral("Plot"));
            plot.setGeometry(10, 10, 400, 300);
            plot.show();
            plot.setGeometry(200, 150, 520, 380);
            plot.close();
        }
        QVERIFY(!settings.windowGeometry(QStringLiteral("Plot")).isEmpty());
        // The next time, wherever the program puts it, it opens there.
        QWidget plot;
        plot.setObjectName(QStringLiteral("Plot"));
        plot.setGeometry(10, 10, 400, 300);
        plot.show();
        QCOMPARE(plot.geometry(), QRect(200, 150, 520, 380));
    }

    // `quadtherm --reset-settings` forgets what the last run kept.
    void theProgramStartsAfreshWhenAsked() {
        const QString config = m_dir.filePath(QStringLiteral("config"));
        {
            QDir().mkpath(config + QStringLiteral("/QuadTherm"));
            shared::Settings kept(config + QStringLiteral("/QuadTherm/QuadTherm.ini"));
            kept.setLastPort(5, QStringLiteral("/dev/ttyS4"));
        }
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QUADTHERM_APP_PATH),
                      {QStringLiteral("--simulate"), QStringLiteral("--reset-settings")});
        QVERIFY(program.waitForStarted());
        QTest::qWait(1500);
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        shared::Settings afterwards(config + QStringLiteral("/QuadTherm/QuadTherm.ini"));
        QCOMPARE(afterwards.lastPortNumber(), 0);
        QVERIFY(afterwards.lastDevice().isEmpty());
    }
};

QUADTHERM_TEST_SUITE(TestSettings, Gui)

} // namespace tst_settings

#include "tst_settings.moc"
