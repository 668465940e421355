// The live page in headless Chromium: after its scripts ran, the DOM shows
// what /api/live said at the same moment, the states and alarms read as
// text, and the page keeps the dark look at phone and desktop widths.

#include "support/meter_sim_process.h"
#include "support/test_suite.h"
#include "support/web_process.h"
#include "support/web_rig.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <map>

namespace tst_http_page {

using namespace quadtherm;
using namespace quadtherm::test;

namespace {

// What the page shows of one channel.
struct Shown {
    QString value, state, unit, text, alarmTag;
};

QString captured(const QString& dom, const QString& pattern) {
    return QRegularExpression(pattern).match(dom).captured(1);
}

Shown shownOf(const QString& dom, const QString& channel) {
    Shown shown;
    shown.value = captured(dom, QStringLiteral("id=\"value-%1\"[^>]*>([^<]*)<").arg(channel));
    shown.state =
        captured(dom, QStringLiteral("id=\"value-%1\" data-state=\"([^\"]*)\"").arg(channel));
    shown.unit = captured(dom, QStringLiteral("id=\"unit-%1\">([^<]*)<").arg(channel));
    shown.text = captured(dom, QStringLiteral("id=\"state-%1\">([^<]*)<").arg(channel));
    shown.alarmTag =
        captured(dom, QStringLiteral("(<span class=\"alarm\" id=\"alarm-%1\"[^>]*>)").arg(channel));
    return shown;
}

// The channels' texts of each /api/live answer, by its time.
// What /api/live answered, by its time stamp: under load two samples a
// second apart can carry the same whole second.
using Seen = std::map<QString, QList<QStringList>>;

void note(Seen& seen, quint16 port) {
    const QJsonObject live = QJsonDocument::fromJson(httpGet(port, "/api/live").body).object();
    QStringList texts;
    for (const auto& channel : live[u"channels"].toArray())
        texts << channel[u"text"].toString();
    if (texts.size() == 4)
        seen[live[u"time"].toString()] << texts;
}

QString screenshotPath(const QString& name) {
    const QString folder = QStringLiteral(QT_TESTCASE_BUILDDIR "/http-screenshots");
    QDir().mkpath(folder);
    return folder + u'/' + name;
}

// Pixels of exactly `color`.
int pixelsOf(const QImage& image, QRgb color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += (image.pixel(x, y) & 0xffffff) == (color & 0xffffff) ? 1 : 0;
    return count;
}

} // namespace

class TestHttpPage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void thePageShowsWhatTheMeterReads_data() {
        QTest::addColumn<QStringList>("simOptions"); // empty: the built-in simulated meter
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("noProbe"); // a channel without a probe, 0 for none
        QTest::newRow("the built-in simulated meter") << QStringList() << "°C" << 0;
        QTest::newRow("°F, T2 without a probe, on a pseudo-terminal")
            << QStringList{"--fahrenheit", "--no-probe", "2"} << "°F" << 2;
    }
    void thePageShowsWhatTheMeterReads() {
        QFETCH(QStringList, simOptions);
        QFETCH(QString, unit);
        QFETCH(int, noProbe);
        std::unique_ptr<MeterSimProcess> sim;
        QStringList args{"--simulate"};
        if (!simOptions.isEmpty()) {
            sim = std::make_unique<MeterSimProcess>(simOptions);
            QVERIFY(!sim->device().isEmpty());
            args = QStringList{"--port", sim->device()};
        }
        ListeningProgram cli(QStringLiteral(QUADTHERM_CLI_PATH),
                             args + QStringList{"watch", "--listen", "0"});
        QVERIFY2(cli.waitUntilServing(), cli.err().constData());
        QVERIFY(cli.waitForReadings());
        // A few seconds of the hour, so that the chart has lines to draw.
        QVERIFY(QTest::qWaitFor(
            [&] { return httpGet(cli.port(), "/api/history").body.count("],[") >= 2; }, 10000));

        Seen seen;
        HeadlessChromium chromium;
        const QString dom =
            QString::fromUtf8(chromium.dumpDom(cli.url(), 4000, [&] { note(seen, cli.port()); }));
        note(seen, cli.port());
        QVERIFY2(dom.contains(QStringLiteral("id=\"value-T1\"")), qPrintable(dom.left(500)));

        // The moment the page shows, and what /api/live said at that moment.
        const QString time = captured(dom, QStringLiteral("<time class=\"clock\" id=\"time\" "
                                                          "datetime=\"([^\"]+)\""));
        QVERIFY2(seen.count(time) == 1,
                 qPrintable(QStringLiteral("%1 not among %2 answers").arg(time).arg(seen.size())));
        // At most a second behind the last answer, and a poll's second more.
        const qint64 behind = QDateTime::fromString(time, Qt::ISODate)
                                  .secsTo(QDateTime::fromString(seen.rbegin()->first, Qt::ISODate));
        QVERIFY2(behind >= 0 && behind <= 2, qPrintable(QString::number(behind)));
        QStringList values;
        for (int k = 0; k < 4; ++k)
            values << shownOf(dom, QStringLiteral("T%1").arg(k + 1)).value;
        QVERIFY2(seen[time].contains(values), qPrintable(values.join(u' ')));
        for (int k = 0; k < 4; ++k) {
            const QString channel = QStringLiteral("T%1").arg(k + 1);
            const Shown shown = shownOf(dom, channel);
            QVERIFY(shown.alarmTag.contains(QStringLiteral("hidden")));
            if (k + 1 == noProbe) {
                QCOMPARE(shown.value, QStringLiteral("- - -"));
                QCOMPARE(shown.state, QStringLiteral("no_probe"));
                QCOMPARE(shown.text, QStringLiteral("No probe"));
                QCOMPARE(shown.unit, QString());
            } else {
                QCOMPARE(shown.state, QStringLiteral("ok"));
                QCOMPARE(shown.unit, unit);
            }
        }
        QCOMPARE(captured(dom, QStringLiteral("id=\"port\"[^>]*>([^<]*)<")),
                 sim ? sim->device() : QStringLiteral("SIM"));
        QCOMPARE(captured(dom, QStringLiteral("id=\"link\"[^>]*>([^<]*)<")),
                 QStringLiteral("Link up"));
        // The chart drew the hour so far, and says so in words.
        QVERIFY2(
            captured(dom, QStringLiteral("<canvas id=\"chart\" role=\"img\" "
                                         "aria-label=\"([^\"]*)\""))
                .startsWith(unit == QStringLiteral("°C")
                                ? QStringLiteral("Chart of the last hour, degrees Celsius")
                                : QStringLiteral("Chart of the last hour, degrees Fahrenheit")),
            qPrintable(dom));
    }

    void alarmsAndReadingsOutOfRangeReadAsText() {
        WebRig rig;
        QVERIFY(rig.listening);
        rig.publish(QDateTime::currentDateTime(), [](int k, session::OutReading& reading) {
            if (k == 0)
                reading.alarm = true;
            if (k == 2) {
                reading.state = session::ReadingState::Over;
                reading.value.reset();
                reading.text = QStringLiteral("Over");
            }
            if (k == 3) {
                reading.state = session::ReadingState::Under;
                reading.value.reset();
                reading.text = QStringLiteral("Under");
            }
        });
        QVERIFY(QTest::qWaitFor(
            [&] { return httpGet(rig.port(), "/api/live").body.contains("Under"); }, 5000));
        HeadlessChromium chromium;
        const QString dom = QString::fromUtf8(chromium.dumpDom(rig.url(), 2500));

        const Shown t1 = shownOf(dom, QStringLiteral("T1"));
        QCOMPARE(t1.value, QStringLiteral("20.5"));
        QVERIFY2(!t1.alarmTag.contains(QStringLiteral("hidden")), qPrintable(t1.alarmTag));
        QVERIFY(dom.contains(QStringLiteral("<article class=\"tile c1 alarmed\"")));
        QVERIFY(dom.contains(QStringLiteral("aria-label=\"T1, type K: 20.5 degrees Celsius, "
                                            "alarm\"")));
        QCOMPARE(captured(dom, QStringLiteral("id=\"alarms\"[^>]*>([^<]*)<")),
                 QStringLiteral("Alarm on T1"));
        QVERIFY(shownOf(dom, QStringLiteral("T2")).alarmTag.contains(QStringLiteral("hidden")));
        const Shown t3 = shownOf(dom, QStringLiteral("T3"));
        QCOMPARE(t3.value, QStringLiteral("Over"));
        QCOMPARE(t3.text, QStringLiteral("Over range"));
        QCOMPARE(t3.unit, QString());
        const Shown t4 = shownOf(dom, QStringLiteral("T4"));
        QCOMPARE(t4.value, QStringLiteral("Under"));
        QCOMPARE(t4.text, QStringLiteral("Under range"));
    }

    // An hour of readings, T3 in alarm: the pictures land in the build tree
    // (build/tests/http-screenshots/) to be looked at.
    void thePageKeepsTheDarkLookAtPhoneAndDesktopWidths_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("phone") << 390 << 844;
        QTest::newRow("desktop") << 1280 << 800;
    }
    void thePageKeepsTheDarkLookAtPhoneAndDesktopWidths() {
        QFETCH(int, width);
        QFETCH(int, height);
        WebRig rig;
        QVERIFY(rig.listening);
        const QDateTime now = QDateTime::currentDateTime();
        for (int s = 3600; s >= 0; --s)
            rig.publish(now.addSecs(-s), [s](int k, session::OutReading& reading) {
                const double value =
                    std::round((22.0 + 3.0 * k + 2.5 * std::sin(s / (400.0 + 130.0 * k) + k)) *
                               10.0) /
                    10.0;
                reading.value = value;
                reading.text = QString::number(value, 'f', 1);
                reading.type = QStringLiteral("KKJT").mid(k, 1);
                reading.alarm = k == 2;
            });
        QVERIFY(QTest::qWaitFor(
            [&] { return httpGet(rig.port(), "/api/history").body.count("],[") == 3600; }, 10000));
        HeadlessChromium chromium;
        const QString path =
            screenshotPath(QStringLiteral("page-%1x%2.png").arg(width).arg(height));
        QVERIFY(chromium.screenshot(rig.url(), width, height, path));
        const QImage shot(path);
        QCOMPARE(shot.size(), QSize(width, height));
        // The panel's face around everything; T1's cyan and the alarm's red on it.
        QCOMPARE(shot.pixel(1, height - 2) & 0xffffff, QRgb(0x1a1e23));
        QVERIFY(pixelsOf(shot, 0x38bdf8) > 300);
        QVERIFY(pixelsOf(shot, 0xc084fc) > 300);
        QVERIFY(pixelsOf(shot, 0xdc2626) > 100);
    }
};

QUADTHERM_TEST_SUITE(TestHttpPage, Gui)

} // namespace tst_http_page

#include "tst_http_page.moc"
