// The remote keypad "Meter Buttons": every key's frame byte for byte with the
// timers around it, the held time of MAX/MIN and MEM, the keyboard, the
// window's place, and on the simulated meter the effect in the main window.
// The key pictures are checked here as well.

#include "clock_keypad/keypad.h"
#include "clock_keypad/ui/buttons_window.h"
#include "clock_keypad/ui/keypad_key.h"
#include "main_window/ui/panel.h"
#include "main_window/ui/unit_panel.h"
#include "meter_link/meter_keys.h"
#include "shared/clock.h"
#include "sim/simulated_serial_port.h"
#include "support/fake_clock.h"
#include "support/meter_bytes.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_serial_port.h"
#include "support/session_rig.h"
#include "support/test_suite.h"
#include "widgets/keypad_images.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>

Q_DECLARE_METATYPE(quadtherm::widgets::KeyPicture)

namespace tst_keypad {

using namespace quadtherm;
using clock_keypad::Buttons;
using clock_keypad::KeypadKey;
using widgets::KeyPicture;

namespace {

using test::bytes;

QByteArray fourFrames() {
    QByteArray out;
    for (int k = 0; k < 4; ++k)
        out += bytes({0x02, k, 0, 0x08, 0, 72, 5, 0, 0, 0, 0, 0x03});
    return out;
}

QByteArray keyFrame(int b1, int b2, int b3) {
    return bytes({0x57, b1, b2, b3});
}

const QByteArray kStatusReply = bytes({0x02, 0x00, 0x20, 0x00, 0x00, 0xFF, 0x03});

// What the timers were doing when a key frame went out.
struct Seen {
    QByteArray frame;
    bool liveOn = false;
    bool cycleOn = false;
};

struct Rig : test::SessionRig {
    main_window::Panel panel{client, view, dialogs, QStringLiteral("/dev/pts/7")};
    Buttons* window = nullptr;
    QList<Seen> keyFrames;

    Rig() {
        port.open();
        port.pauseStreamOnWrite(100);
        port.answer("A", kStatusReply);
        port.answer("X", bytes({0x02, 26, 3, 4, 9, 5, 7, 0x03}));
        port.stream(fourFrames());
    }
    ~Rig() {
        panel.close();
        session.stop();
    }
    // The main window's load, the link up with both timers on, then
    // "Buttons"; every key frame is watched from then on.
    [[nodiscard]] bool open() {
        panel.Form_Load();
        if (!clock.runUntil([&] { return !state.link.NeedResync; }, 10000))
            return false;
        clock.run(1500);
        if (!session.Timer1.isActive() || !session.Timer2.isActive())
            return false;
        panel.Toolbar1_ButtonClick(QStringLiteral("Buttons"));
        window = panel.findChild<Buttons*>();
        watchEveryKey();
        return window && window->isVisible();
    }
    KeypadKey* key(const QString& name) const { return window->findChild<KeypadKey*>(name); }
    // Every key frame that goes out is noted with the timers as they are then.
    void watch(const QByteArray& frame) {
        port.onWrite(frame, [this, frame] {
            keyFrames << Seen{frame, session.Timer1.isActive(), session.Timer2.isActive()};
        });
    }
    void watchEveryKey() {
        for (const auto& key : meter_link::kMeterKeys) {
            watch(keyFrame(key.press.k1, key.press.k2, key.press.k3));
            if (key.longPress)
                watch(keyFrame(key.longPress->k1, key.longPress->k2, key.longPress->k3));
        }
    }
    QList<QByteArray> framesSent() const {
        QList<QByteArray> out;
        for (const Seen& seen : keyFrames)
            out << seen.frame;
        return out;
    }
    void sendKey(QWidget* target, QEvent::Type type, bool autoRepeat = false) {
        QKeyEvent event(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), autoRepeat);
        QApplication::sendEvent(target, &event);
    }
};

// Ink of the pixels in the `rows` outermost lines on one side of the drawing.
int inkAtEdge(const QImage& image, Qt::Edge edge, int rows) {
    QRect band;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                band |= QRect(x, y, 1, 1);
    if (edge == Qt::TopEdge)
        band.setHeight(rows);
    else if (edge == Qt::BottomEdge)
        band.setTop(band.bottom() - rows + 1);
    else if (edge == Qt::LeftEdge)
        band.setWidth(rows);
    else
        band.setLeft(band.right() - rows + 1);
    int sum = 0;
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x)
            sum += qAlpha(image.pixel(x, y));
    return sum;
}

} // namespace

class TestKeypad : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachKeyWritesItsFrameWithTheLivePollOff_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("pausesCycle");
        QTest::newRow("READ") << "CmdRead" << keyFrame(0x01, 0x00, 0x00) << false;
        QTest::newRow("ALARM") << "CmdAlarm" << keyFrame(0x02, 0x00, 0x00) << false;
        QTest::newRow("C / F") << "CmdCF" << keyFrame(0x04, 0x00, 0x00) << false;
        QTest::newRow("SET") << "CmdSet" << keyFrame(0x08, 0x00, 0x00) << false;
        QTest::newRow("TIME") << "CmdTime" << keyFrame(0x10, 0x00, 0x00) << false;
        QTest::newRow("TYPE") << "CmdType" << keyFrame(0x80, 0x00, 0x00) << false;
        QTest::newRow("HOLD") << "CmdHold" << keyFrame(0x00, 0x01, 0x00) << false;
        QTest::newRow("up") << "CmdUp" << keyFrame(0x00, 0x02, 0x00) << false;
        QTest::newRow("left") << "CmdLeft" << keyFrame(0x00, 0x04, 0x00) << false;
        QTest::newRow("enter") << "CmdEnter" << keyFrame(0x00, 0x08, 0x00) << false;
        QTest::newRow("right") << "CmdRight" << keyFrame(0x00, 0x10, 0x00) << false;
        QTest::newRow("down") << "CmdDown" << keyFrame(0x00, 0x20, 0x00) << false;
        QTest::newRow("MAX MIN short") << "CmdMaxMin" << keyFrame(0x20, 0x00, 0x00) << false;
        QTest::newRow("MEM short") << "CmdMem" << keyFrame(0x40, 0x00, 0x00) << true;
    }
    void eachKeyWritesItsFrameWithTheLivePollOff() {
        QFETCH(QString, key);
        QFETCH(QByteArray, frame);
        QFETCH(bool, pausesCycle);
        Rig rig;
        QVERIFY(rig.open());
        const qsizetype before = rig.port.writes().size();
        QTest::mouseClick(rig.key(key), Qt::LeftButton);
        rig.clock.run(100);
        QCOMPARE(rig.port.writes().mid(before, 2), (QList<QByteArray>{"A", frame}));
        QCOMPARE(rig.keyFrames.size(), 1);
        QVERIFY(!rig.keyFrames[0].liveOn);
        QCOMPARE(rig.keyFrames[0].cycleOn, !pausesCycle);
        // The poll is back on 0.2 s after the frame, the cycle too.
        QVERIFY(rig.session.Timer1.isActive());
        QVERIFY(rig.session.Timer2.isActive());
    }

    void maxMinAndMemSendTheFrameTheirHeldTimeChooses_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("heldMs");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("pausesCycle");
        QTest::newRow("MAX MIN 2.0 s") << "CmdMaxMin" << 2000 << keyFrame(0x20, 0, 0) << false;
        QTest::newRow("MAX MIN 2.1 s") << "CmdMaxMin" << 2100 << keyFrame(0, 0, 0x04) << false;
        QTest::newRow("MEM 2.0 s") << "CmdMem" << 2000 << keyFrame(0x40, 0, 0) << true;
        QTest::newRow("MEM 2.1 s") << "CmdMem" << 2100 << keyFrame(0, 0x80, 0) << true;
        QTest::newRow("MEM 10 s") << "CmdMem" << 10000 << keyFrame(0, 0x80, 0) << true;
    }
    void maxMinAndMemSendTheFrameTheirHeldTimeChooses() {
        QFETCH(QString, key);
        QFETCH(int, heldMs);
        QFETCH(QByteArray, frame);
        QFETCH(bool, pausesCycle);
        Rig rig;
        QVERIFY(rig.open());
        QTest::mousePress(rig.key(key), Qt::LeftButton);
        rig.clock.run(heldMs); // the live poll and the cycle go on meanwhile
        QVERIFY(rig.keyFrames.isEmpty());
        QTest::mouseRelease(rig.key(key), Qt::LeftButton);
        rig.clock.run(100);
        QCOMPARE(rig.framesSent(), QList<QByteArray>{frame});
        QCOMPARE(rig.keyFrames[0].cycleOn, !pausesCycle);
        QVERIFY(rig.session.Timer2.isActive());
    }

    // #18: the keys acted on the press and release signals, which a press
    // dragged off the key and back gives twice: two frames, two readings
    // stored by MEM. A key acts on a click, pressed and released on it.
    void aKeyActsOnlyOnAPressAndReleaseOnIt_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("back");
        QTest::addColumn<QByteArray>("frame");
        for (const auto& [key, frame] : {std::pair{"CmdMem", keyFrame(0x40, 0, 0)},
                                         std::pair{"CmdMaxMin", keyFrame(0x20, 0, 0)},
                                         std::pair{"CmdHold", keyFrame(0, 0x01, 0)}}) {
            QTest::addRow("%s off and back", key) << QString(key) << true << frame;
            QTest::addRow("%s off", key) << QString(key) << false << frame;
        }
    }
    void aKeyActsOnlyOnAPressAndReleaseOnIt() {
        QFETCH(QString, key);
        QFETCH(bool, back);
        QFETCH(QByteArray, frame);
        Rig rig;
        QVERIFY(rig.open());
        KeypadKey* button = rig.key(key);
        const QPoint on = button->rect().center();
        const QPoint off = on + QPoint(button->width() * 2, 0);
        QTest::mousePress(button, Qt::LeftButton, {}, on);
        rig.clock.run(300);
        QTest::mouseMove(button, off);
        rig.clock.run(300);
        QVERIFY(rig.keyFrames.isEmpty()); // nothing goes out as it leaves
        if (back) {
            QTest::mouseMove(button, on);
            rig.clock.run(300);
        }
        QTest::mouseRelease(button, Qt::LeftButton, {}, back ? on : off);
        rig.clock.run(300);
        QCOMPARE(rig.framesSent(), back ? QList<QByteArray>{frame} : QList<QByteArray>{});
    }

    // #18: keys clicked while the link showed "No COM" were sent after the
    // reconnect and flipped the meter's unit 25 s later. While the link is
    // down the keys are grey and say why; a click is refused at once and
    // never sent.
    void keysWhileTheLinkIsDownAreRefusedAndNeverSentLater() {
        Rig rig;
        QVERIFY(rig.open());
        rig.port.stream({}); // the meter is switched off
        // Five seconds on, the link is being rebuilt: a click on a key.
        bool clicked = false;
        rig.clock.at(rig.clock.elapsedMs() + 5000, [&] {
            clicked = true;
            rig.settle();
            QCOMPARE(rig.panel.LblCOM->text(), QStringLiteral("No COM"));
            QVERIFY(!rig.window->CmdCF->isEnabled());
            QVERIFY(rig.window->LblBusy->isVisible());
            QVERIFY(rig.window->LblBusy->text().startsWith(QStringLiteral("No COM")));
            rig.window->keypad().click(*meter_link::findMeterKey("CF"));
            rig.settle();
            QCOMPARE(rig.panel.findChild<QLabel*>(QStringLiteral("LblNote"))->text(),
                     QStringLiteral("CF not sent: the link to the meter is down (No COM)."));
            rig.port.stream(fourFrames()); // and back on
        });
        // The keys are live again, and nothing was sent meanwhile.
        QVERIFY(
            rig.clock.runUntil([&] { return clicked && rig.window->CmdCF->isEnabled(); }, 30000));
        rig.clock.run(3000);
        QVERIFY(rig.keyFrames.isEmpty());
        QVERIFY(!rig.window->LblBusy->isVisible());
    }

    void aPressIsTimedFromTheLastPressOfEitherKey() {
        Rig rig;
        QVERIFY(rig.open());
        auto& keypad = rig.window->keypad();
        const auto& maxMin = *meter_link::findMeterKey("MAXMIN");
        const auto& mem = *meter_link::findMeterKey("MEM");
        keypad.press(); // MEM down
        rig.clock.run(2500);
        keypad.press(); // MAX/MIN down
        rig.clock.run(1000);
        keypad.release(maxMin); // 1.0 s, then its exchange takes 0.2 s
        rig.clock.run(500);
        // 1.7 s since MAX/MIN went down, 4.2 s since MEM did.
        keypad.release(mem);
        rig.clock.run(100);
        QCOMPARE(rig.framesSent(), (QList<QByteArray>{keyFrame(0x20, 0, 0), keyFrame(0x40, 0, 0)}));
    }

    void aReleaseWithNoPressBeforeItCountsAsLong() {
        Rig rig;
        QVERIFY(rig.open());
        rig.window->keypad().release(*meter_link::findMeterKey("MAXMIN"));
        rig.clock.run(100);
        QCOMPARE(rig.framesSent(), QList<QByteArray>{keyFrame(0, 0, 0x04)});
    }

    // Timed by its real length: seconds since midnight would go negative and
    // call it short.
    void aLongPressAcrossMidnightStaysLong() {
        Rig rig;
        QVERIFY(rig.open());
        // No live tick: a status exchange in the last 20 ms of the day ends
        // its waits at once, and the fake clock would not move on.
        rig.session.Timer1.stop();
        rig.session.Timer2.stop();
        rig.clock.setNow(QDateTime(QDate(2026, 3, 4), QTime(23, 59, 59)));
        QTest::mousePress(rig.window->CmdMem, Qt::LeftButton);
        rig.clock.run(2500);
        QTest::mouseRelease(rig.window->CmdMem, Qt::LeftButton);
        rig.clock.run(100);
        QCOMPARE(rig.framesSent(), QList<QByteArray>{keyFrame(0, 0x80, 0)});
    }

    void tabReachesEveryKeyAndSpacePressesIt() {
        Rig rig;
        QVERIFY(rig.open());
        QVERIFY(QTest::qWaitForWindowActive(rig.window));
        // The window opens with no key taken: Space presses nothing yet.
        QCOMPARE(QApplication::focusWidget(), rig.window);
        QTest::keyClick(rig.window, Qt::Key_Space);
        QVERIFY(rig.keyFrames.isEmpty());
        QStringList reached;
        for (int i = 0; i < 14; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused);
            reached << focused->objectName();
            QTest::keyClick(focused, Qt::Key_Space);
            rig.clock.run(100);
        }
        QCOMPARE(reached, (QStringList{"CmdHold", "CmdMaxMin", "CmdCF", "CmdType", "CmdSet",
                                       "CmdAlarm", "CmdTime", "CmdUp", "CmdLeft", "CmdEnter",
                                       "CmdRight", "CmdDown", "CmdMem", "CmdRead"}));
        QCOMPARE(
            rig.framesSent(),
            (QList<QByteArray>{keyFrame(0, 0x01, 0), keyFrame(0x20, 0, 0), keyFrame(0x04, 0, 0),
                               keyFrame(0x80, 0, 0), keyFrame(0x08, 0, 0), keyFrame(0x02, 0, 0),
                               keyFrame(0x10, 0, 0), keyFrame(0, 0x02, 0), keyFrame(0, 0x04, 0),
                               keyFrame(0, 0x08, 0), keyFrame(0, 0x10, 0), keyFrame(0, 0x20, 0),
                               keyFrame(0x40, 0, 0), keyFrame(0x01, 0, 0)}));
    }

    // The keyboard repeats a held key: one press, one frame when it comes up.
    void holdingSpaceOnMemSendsItsLongPress() {
        Rig rig;
        QVERIFY(rig.open());
        KeypadKey* mem = rig.window->CmdMem;
        rig.sendKey(mem, QEvent::KeyPress);
        for (int i = 0; i < 21; ++i) {
            rig.clock.run(100);
            rig.sendKey(mem, QEvent::KeyRelease, true);
            rig.sendKey(mem, QEvent::KeyPress, true);
        }
        QVERIFY(rig.keyFrames.isEmpty());
        rig.sendKey(mem, QEvent::KeyRelease);
        rig.clock.run(100);
        QCOMPARE(rig.framesSent(), QList<QByteArray>{keyFrame(0, 0x80, 0)});
    }

    // Found by use: where the window system sends a held key's repeats as
    // plain releases and presses, each repeat counted as a press of its own:
    // a held MEM stored a reading at every repeat, for seconds after release.
    void unmarkedRepeatsOfAHeldSpaceStillMakeOnePress() {
        Rig rig;
        QVERIFY(rig.open());
        for (KeypadKey* key : {rig.window->CmdMem, rig.window->CmdHold}) {
            rig.sendKey(key, QEvent::KeyPress);
            rig.clock.run(500);
            for (int i = 0; i < 50; ++i) { // two seconds of repeats
                rig.clock.run(40);
                rig.sendKey(key, QEvent::KeyRelease);
                rig.sendKey(key, QEvent::KeyPress);
            }
            rig.sendKey(key, QEvent::KeyRelease);
            rig.clock.run(500);
        }
        // A tap after them is one short press.
        rig.sendKey(rig.window->CmdMem, QEvent::KeyPress);
        rig.sendKey(rig.window->CmdMem, QEvent::KeyRelease);
        rig.clock.run(500);
        QCOMPARE(rig.framesSent(), (QList<QByteArray>{keyFrame(0, 0x80, 0), keyFrame(0, 0x01, 0),
                                                      keyFrame(0x40, 0, 0)}));
    }

    void theKeypadOpensCentredUnderTheMainWindowAndOnlyOnce() {
        Rig rig;
        QVERIFY(rig.open());
        Buttons& w = *rig.window;
        w.close();
        rig.panel.move(120, 40);
        rig.panel.Toolbar1_ButtonClick(QStringLiteral("Buttons"));
        QVERIFY(w.isVisible());
        QCOMPARE(w.windowTitle(), QStringLiteral("Meter Buttons"));
        QCOMPARE(w.windowModality(), Qt::NonModal);
        const QRect main = rig.panel.frameGeometry();
        QCOMPARE(w.pos(), QPoint(main.left() + (main.width() - w.frameGeometry().width()) / 2,
                                 main.top() + main.height()));
        QCOMPARE(w.CmdMaxMin->text(), QStringLiteral("  MAX    MIN"));
        QCOMPARE(w.CmdCF->text(), QStringLiteral("C / F"));
        QCOMPARE(w.findChildren<KeypadKey*>().size(), 14);

        // Moved away, then "Buttons" again: the same window, left where it is.
        w.move(10, 10);
        rig.panel.Toolbar1_ButtonClick(QStringLiteral("Buttons"));
        QCOMPARE(rig.panel.findChildren<Buttons*>().size(), 1);
        QVERIFY(w.isVisible());
        QCOMPARE(w.pos(), QPoint(10, 10));
    }

    void eachKeyPictureIsSharpAtAnySizeAndPointsItsWay_data() {
        QTest::addColumn<KeyPicture>("picture");
        QTest::addColumn<Qt::Edge>("tip");
        QTest::addColumn<Qt::Edge>("base");
        QTest::newRow("up") << KeyPicture::Up << Qt::TopEdge << Qt::BottomEdge;
        QTest::newRow("down") << KeyPicture::Down << Qt::BottomEdge << Qt::TopEdge;
        QTest::newRow("left") << KeyPicture::Left << Qt::LeftEdge << Qt::RightEdge;
        QTest::newRow("right") << KeyPicture::Right << Qt::RightEdge << Qt::LeftEdge;
        // The return symbol's head points left, its stem rises on the right.
        QTest::newRow("enter") << KeyPicture::Enter << Qt::LeftEdge << Qt::RightEdge;
    }
    void eachKeyPictureIsSharpAtAnySizeAndPointsItsWay() {
        QFETCH(KeyPicture, picture);
        QFETCH(Qt::Edge, tip);
        QFETCH(Qt::Edge, base);
        const QIcon icon = widgets::keypadImage(picture);
        QVERIFY(!icon.isNull());
        const QPixmap sharp = icon.pixmap(QSize(24, 24), 2.0);
        QCOMPARE(sharp.devicePixelRatio(), 2.0);
        QImage pixels = sharp.toImage();
        pixels.setDevicePixelRatio(1.0);
        const QImage image = icon.pixmap(QSize(48, 48)).toImage();
        QCOMPARE(pixels, image);
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        QVERIFY(inkAtEdge(argb, tip, 6) * 2 < inkAtEdge(argb, base, 6));
    }

    // On the simulated meter at the real line rate: the main window shows what
    // the keys did.
    void cfAndHoldActOnTheMeterAndTheMainWindowShowsIt() {
        test::SimSessionRig rig;
        QVERIFY(rig.port.open());
        auto& t1 = rig.port.meter().channel(0);
        t1.driftF = 0;
        t1.baseF = 50;
        main_window::Panel panel(rig.client, rig.view, rig.dialogs, QStringLiteral("SIM"));
        panel.Form_Load();
        QVERIFY(rig.clock.runUntil(
            [&] { return panel.displaySetUps() > 0 && rig.session.Timer2.isActive(); }, 15000));
        panel.Toolbar1_ButtonClick(QStringLiteral("Buttons"));
        auto* keypad = panel.findChild<Buttons*>();
        QVERIFY(keypad);

        QVERIFY(panel.PicF->isHidden());
        QTest::mouseClick(keypad->CmdCF, Qt::LeftButton);
        QVERIFY(rig.clock.runUntil(
            [&] { return panel.PicC->isHidden() && !panel.PicF->isHidden(); }, 5000));
        QVERIFY(rig.port.meter().fahrenheit());
        QVERIFY(rig.clock.runUntil(
            [&] { return panel.PicF->LblValue[0]->text() == QStringLiteral("50.0"); }, 5000));

        QTest::mouseClick(keypad->CmdHold, Qt::LeftButton);
        QVERIFY(rig.clock.runUntil([&] { return rig.port.meter().holding(); }, 2000));
        t1.baseF = 60;
        rig.clock.run(2500);
        QCOMPARE(panel.PicF->LblValue[0]->text(), QStringLiteral("50.0"));
        QTest::mouseClick(keypad->CmdHold, Qt::LeftButton);
        QVERIFY(rig.clock.runUntil(
            [&] { return panel.PicF->LblValue[0]->text() == QStringLiteral("60.0"); }, 5000));
        panel.close();
    }
};

QUADTHERM_TEST_SUITE(TestKeypad, Gui)

} // namespace tst_keypad

#include "tst_keypad.moc"
