#include "meter_link/port_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

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
    void choiceListHoldsSixteenPortsInOrder();
    void dialogStartsSmallWithItsTextsAndTheHintHidden();
    void okStoresTheNumberOnlyForAnExactName_data();
    void okStoresTheNumberOnlyForAnExactName();
    void typedNameIsNotCompletedToAnItem_data();
    void typedNameIsNotCompletedToAnItem();
    void deviceManagerThenGoRestoresSizeAndKeepsTheText();
    void goStartsDevBatOnlyWhenItIsInTheWorkingFolder_data();
    void goStartsDevBatOnlyWhenItIsInTheWorkingFolder();
    void hintListsTheDetectedPortsWithTheirNumbers();
    void nothingIsClippedInEitherState();
};

void TestPortDialog::choiceListHoldsSixteenPortsInOrder() {
    Harness h;
    QStringList items;
    for (int i = 0; i < h.txtCOM()->count(); ++i)
        items.append(h.txtCOM()->itemText(i));
    QCOMPARE(items,
             QStringList({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                          "COM10", "COM11", "COM12", "COM13", "COM14", "COM15", "COM16"}));
}

void TestPortDialog::dialogStartsSmallWithItsTextsAndTheHintHidden() {
    Harness h;
    QCOMPARE(h.dialog.objectName(), QStringLiteral("Port"));
    QCOMPARE(h.dialog.windowTitle(), QStringLiteral("COM Port"));
    QVERIFY(h.txtCOM()->isEditable());
    QCOMPARE(h.txtCOM()->currentText(), QStringLiteral("COM1"));
    QCOMPARE(h.button("CmdOK")->text(), QStringLiteral("OK"));
    QCOMPARE(h.button("CmdDevice")->text(), QStringLiteral("Device Manager"));
    QCOMPARE(h.button("CmdGo")->text(), QStringLiteral("OK"));
    QVERIFY(h.picdevice()->isAncestorOf(h.button("CmdGo")));
    QVERIFY(h.picdevice()->isHidden());
    // 2100 x 1530 twips at 3700, 2700, 15 twips to a pixel.
    QCOMPARE(h.dialog.size(), QSize(140, 102));
    QCOMPARE(h.dialog.pos(), QPoint(247, 180));
    h.dialog.show();
    QCOMPARE(h.dialog.size(), QSize(140, 102));
}

void TestPortDialog::okStoresTheNumberOnlyForAnExactName_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");

    QTest::newRow("COM16") << "COM16" << 0 << 16;
    QTest::newRow("COM1") << "COM1" << 0 << 1;
    QTest::newRow("lower case") << "com3" << 0 << 0;
    QTest::newRow("space before the number") << "COM 16" << 0 << 0;
    QTest::newRow("above sixteen") << "COM17" << 0 << 0;
    QTest::newRow("empty") << "" << 0 << 0;
    QTest::newRow("match replaces an earlier choice") << "COM3" << 5 << 3;
    QTest::newRow("no match keeps an earlier choice") << "com3" << 5 << 5;
}

void TestPortDialog::okStoresTheNumberOnlyForAnExactName() {
    QFETCH(QString, text);
    QFETCH(int, before);
    QFETCH(int, after);

    Harness h;
    h.link.PortNumber = qint16(before);
    h.txtCOM()->setEditText(text);
    h.button("CmdOK")->click();
    QCOMPARE(int(h.link.PortNumber), after);
    QCOMPARE(h.dialog.result(), int(QDialog::Accepted));
}

void TestPortDialog::typedNameIsNotCompletedToAnItem_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("after");
    QTest::newRow("exact name") << "COM16" << 16;
    QTest::newRow("lower case") << "com3" << 0;
    QTest::newRow("prefix of an item") << "COM" << 0;
}

void TestPortDialog::typedNameIsNotCompletedToAnItem() {
    QFETCH(QString, typed);
    QFETCH(int, after);

    Harness h;
    h.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.dialog));
    QLineEdit* edit = h.txtCOM()->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    // Return finishes the edit and presses the default button, OK.
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(h.dialog.result(), int(QDialog::Accepted));
    QCOMPARE(int(h.link.PortNumber), after);
    QCOMPARE(h.txtCOM()->currentText(), typed);
    QCOMPARE(h.txtCOM()->count(), 16);
}

void TestPortDialog::deviceManagerThenGoRestoresSizeAndKeepsTheText() {
    Harness h;
    h.dialog.show();
    h.txtCOM()->setEditText(QStringLiteral("COM7"));

    h.button("CmdDevice")->click();
    QVERIFY(h.picdevice()->isVisible());
    // 4424 x 3140 twips.
    QCOMPARE(h.dialog.size(), QSize(295, 209));

    h.button("CmdGo")->click();
    QVERIFY(h.picdevice()->isHidden());
    QCOMPARE(h.dialog.size(), QSize(140, 102));
    QCOMPARE(h.txtCOM()->currentText(), QStringLiteral("COM7"));
    QCOMPARE(h.txtCOM()->count(), 16);
    QCOMPARE(h.txtCOM()->itemText(15), QStringLiteral("COM16"));
    QVERIFY(h.dialog.isVisible());
    QCOMPARE(int(h.link.PortNumber), 0);
}

void TestPortDialog::goStartsDevBatOnlyWhenItIsInTheWorkingFolder_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("started");
    QTest::newRow("dev.bat present") << "dev.bat" << true;
    QTest::newRow("no dev.bat") << "" << false;
    QTest::newRow("other name only") << "devices.bat" << false;
}

void TestPortDialog::goStartsDevBatOnlyWhenItIsInTheWorkingFolder() {
    QFETCH(QString, fileName);
    QFETCH(bool, started);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    if (!fileName.isEmpty()) {
        QFile file(folder.filePath(fileName));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));

    Harness h;
    h.button("CmdDevice")->click();
    h.button("CmdGo")->click();
    QDir::setCurrent(previous);

    QCOMPARE(h.launches.size(), started ? 1 : 0);
    if (started) {
        QCOMPARE(QFileInfo(h.launches[0].file).canonicalFilePath(),
                 QFileInfo(folder.filePath("dev.bat")).canonicalFilePath());
        QCOMPARE(QFileInfo(h.launches[0].folder).canonicalFilePath(),
                 QFileInfo(folder.path()).canonicalFilePath());
    }
    QVERIFY(h.picdevice()->isHidden());
}

void TestPortDialog::hintListsTheDetectedPortsWithTheirNumbers() {
    Harness h;
    h.button("CmdDevice")->click();
    auto* list = h.control<QTreeWidget>("PortList");
    QVERIFY(list);
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("COM1"));
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("ttyUSB0"));
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("USB serial adapter (Example Works)"));
    QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("COM2"));
    QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("ttyS0"));
}

void TestPortDialog::nothingIsClippedInEitherState() {
    Harness h;
    h.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.dialog));
    checkNothingClipped(&h.dialog);
    h.button("CmdDevice")->click();
    checkNothingClipped(&h.dialog);
}

QTEST_MAIN(TestPortDialog)
#include "tst_port_dialog.moc"
