#include "meter_link/ui/port_dialog.h"
#include "support/test_suite.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace tst_port_dialog {

using quadtherm::meter_link::DetectedPort;
using quadtherm::meter_link::PortDialog;
using quadtherm::shared::LinkState;

namespace {

struct Launch {
    QString file;
    QString folder;
};

// A dialog whose launcher only records what it was asked to start.
struct Harness {
    LinkState link;
    QList<Launch> launches;
    PortDialog dialog{link};

    Harness() {
        dialog.setLauncher([this](const QString& file, const QString& folder) {
            launches.append({file, folder});
        });
        dialog.setPortLister([] {
            return QList<DetectedPort>{
                {1, "ttyUSB0", "/dev/ttyUSB0", "USB serial adapter", "Example Works"},
                {2, "ttyS0", "/dev/ttyS0", "", ""}};
        });
    }
    template <typename T> T* control(const char* name) {
        return dialog.findChild<T*>(QString::fromLatin1(name));
    }
    QComboBox* txtCOM() { return control<QComboBox>("TxtCOM"); }
    QPushButton* button(const char* name) { return control<QPushButton>(name); }
    QWidget* picdevice() { return control<QWidget>("Picdevice"); }
};

// Every control a user sees lies inside `page` with the room it asks for.
void checkNothingClipped(QWidget* page) {
    const QList<QWidget*> widgets = page->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (!w->isVisible() || !(qobject_cast<QPushButton*>(w) || qobject_cast<QComboBox*>(w) ||
                                 qobject_cast<QLabel*>(w) || qobject_cast<QTreeWidget*>(w)))
            continue;
        const QRect inPage(w->mapTo(page, QPoint(0, 0)), w->size());
        QVERIFY2(page->rect().contains(inPage), qPrintable(w->objectName() + " leaves its page"));
        const QSize wanted = w->minimumSizeHint();
        QVERIFY2(w->width() >= wanted.width() && w->height() >= wanted.height(),
                 qPrintable(w->objectName() + " is squeezed"));
    }
}

} // namespace

class TestPortDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // #20: the port opened last time is offered first; a number out of the
    // list's range (none remembered) offers COM1 as before.
    void theLastPortIsOfferedFirst_data() {
        QTest::addColumn<int>("remembered");
        QTest::addColumn<QString>("offered");
        QTest::newRow("none") << 0 << "COM1";
        QTest::newRow("COM5") << 5 << "COM5";
        QTest::newRow("COM16") << 16 << "COM16";
        QTest::newRow("out of range") << 40 << "COM1";
    }
    void theLastPortIsOfferedFirst() {
        QFETCH(int, remembered);
        LinkState link;
        link.PortNumber = static_cast<qint16>(remembered);
        PortDialog dialog(link);
        QTEST(dialog.findChild<QComboBox*>(QStringLiteral("TxtCOM"))->currentText(), "offered");
    }

    void deviceManagerShowsTheNumberedPortsAndGoRestoresTheDialog() {
        Harness h;
        QCOMPARE(h.dialog.windowTitle(), QStringLiteral("COM Port"));
        QVERIFY(h.txtCOM()->isEditable());
        QCOMPARE(h.txtCOM()->count(), 16);
        QCOMPARE(h.txtCOM()->itemText(0), QStringLiteral("COM1"));
        QCOMPARE(h.txtCOM()->itemText(15), QStringLiteral("COM16"));
        QCOMPARE(h.txtCOM()->currentText(), QStringLiteral("COM1"));
        QVERIFY(h.picdevice()->isAncestorOf(h.button("CmdGo")));
        QVERIFY(h.picdevice()->isHidden());
        h.dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.dialog));
        // 2100 x 1530 twips, 15 twips to a pixel.
        QCOMPARE(h.dialog.size(), QSize(140, 102));
        checkNothingClipped(&h.dialog);
        h.txtCOM()->setEditText(QStringLiteral("COM7"));
        h.button("CmdDevice")->click();
        QVERIFY(h.picdevice()->isVisible());
        QCOMPARE(h.dialog.size(), QSize(295, 209)); // 4424 x 3140 twips
        checkNothingClipped(&h.dialog);
        auto* list = h.control<QTreeWidget>("PortList");
        QVERIFY(list && list->topLevelItemCount() == 2);
        auto row = [&](int i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            return QStringList{item->text(0), item->text(1), item->text(2)};
        };
        QCOMPARE(row(0), QStringList({"COM1", "ttyUSB0", "USB serial adapter (Example Works)"}));
        QCOMPARE(row(1), QStringList({"COM2", "ttyS0", ""}));
        h.button("CmdGo")->click();
        QVERIFY(h.picdevice()->isHidden());
        QCOMPARE(h.dialog.size(), QSize(140, 102));
        QCOMPARE(h.txtCOM()->currentText(), QStringLiteral("COM7"));
        QCOMPARE(h.txtCOM()->count(), 16);
        QVERIFY(h.dialog.isVisible());
        QCOMPARE(int(h.link.PortNumber), 0);
    }

    // Which texts name a port is checked in tst_port_numbering.
    void okStoresTheTypedNumberOnlyForAnExactNameWithoutCompleting_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("exact name") << "COM16" << 0 << 16;
        QTest::newRow("match replaces an earlier choice") << "COM3" << 5 << 3;
        QTest::newRow("lower case keeps an earlier choice") << "com3" << 5 << 5;
        QTest::newRow("prefix of an item") << "COM" << 0 << 0;
    }
    void okStoresTheTypedNumberOnlyForAnExactNameWithoutCompleting() {
        QFETCH(QString, typed);
        QFETCH(int, before);
        Harness h;
        h.link.PortNumber = qint16(before);
        h.dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.dialog));
        QLineEdit* edit = h.txtCOM()->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        // Return finishes the edit and presses the default button, OK.
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(h.dialog.result(), int(QDialog::Accepted));
        QTEST(int(h.link.PortNumber), "after");
        QCOMPARE(h.txtCOM()->currentText(), typed);
        QCOMPARE(h.txtCOM()->count(), 16);
    }

    void goStartsDevBatOnlyWhenItIsInTheWorkingFolder_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("started");
        QTest::newRow("dev.bat present") << "dev.bat" << true;
        QTest::newRow("other name only") << "devices.bat" << false;
    }
    void goStartsDevBatOnlyWhenItIsInTheWorkingFolder() {
        QFETCH(QString, fileName);
        QFETCH(bool, started);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QFile file(folder.filePath(fileName));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        Harness h;
        h.button("CmdDevice")->click();
        h.button("CmdGo")->click();
        QDir::setCurrent(previous);
        QCOMPARE(h.launches.size(), started ? 1 : 0);
        if (started) {
            QCOMPARE(QFileInfo(h.launches[0].file).canonicalFilePath(),
                     QFileInfo(file).canonicalFilePath());
            QCOMPARE(QFileInfo(h.launches[0].folder).canonicalFilePath(),
                     QFileInfo(folder.path()).canonicalFilePath());
        }
        QVERIFY(h.picdevice()->isHidden());
    }
};

QUADTHERM_TEST_SUITE(TestPortDialog, Gui)

} // namespace tst_port_dialog

#include "tst_port_dialog.moc"
