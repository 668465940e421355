#include "support/scripted_dialogs.h"
#include "widgets/user_dialogs.h"

#include <QPrinter>
#include <QTest>

using quadtherm::test::ScriptedDialogs;
using quadtherm::widgets::UserDialogs;
using Kind = ScriptedDialogs::Kind;

class TestUserDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void barSeparatedFiltersBecomeQtFilters_data();
    void barSeparatedFiltersBecomeQtFilters();
    void saveSuffixComesOnlyFromAPlainExtension_data();
    void saveSuffixComesOnlyFromAPlainExtension();
    void promptLineBreaksBecomeNewlines();
    void scriptedAnswersArriveInOrderAndEveryCallIsRecorded();
    void unscriptedDialogsGetTheEscapeAnswerAndAreFlagged();
};

void TestUserDialogs::barSeparatedFiltersBecomeQtFilters_data() {
    QTest::addColumn<QString>("bars");
    QTest::addColumn<QString>("qt");
    QTest::newRow("data and all files") << "Data Files (*.4ch)|*.4ch|All Files (*.*)|*.*|"
                                        << "Data Files (*.4ch);;All Files (*.*)";
    QTest::newRow("no closing bar") << "Text (*.txt)|*.txt"
                                    << "Text (*.txt)";
    QTest::newRow("patterns not in the description") << "Data Files|*.4ch"
                                                     << "Data Files (*.4ch)";
    QTest::newRow("several patterns") << "Text (*.txt;*.csv)|*.txt;*.csv|"
                                      << "Text (*.txt *.csv)";
    QTest::newRow("empty") << ""
                           << "";
}

void TestUserDialogs::barSeparatedFiltersBecomeQtFilters() {
    QFETCH(QString, bars);
    QFETCH(QString, qt);
    QCOMPARE(quadtherm::widgets::qtFileFilter(bars), qt);
}

void TestUserDialogs::saveSuffixComesOnlyFromAPlainExtension_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("data files") << "Data Files (*.4ch)"
                                << "4ch";
    QTest::newRow("first of several") << "Text (*.txt *.csv)"
                                      << "txt";
    QTest::newRow("all files") << "All Files (*.*)"
                               << "";
    QTest::newRow("bare star") << "Anything (*)"
                               << "";
    QTest::newRow("wildcard extension") << "Logs (*.lo?)"
                                        << "";
}

void TestUserDialogs::saveSuffixComesOnlyFromAPlainExtension() {
    QFETCH(QString, filter);
    QFETCH(QString, suffix);
    QCOMPARE(quadtherm::widgets::defaultSuffix(filter), suffix);
}

void TestUserDialogs::promptLineBreaksBecomeNewlines() {
    QCOMPARE(quadtherm::widgets::plainLineBreaks("Interval\r\n(seconds)\rnow\nend"),
             QStringLiteral("Interval\n(seconds)\nnow\nend"));
}

void TestUserDialogs::scriptedAnswersArriveInOrderAndEveryCallIsRecorded() {
    ScriptedDialogs script;
    script.answerMessage(QMessageBox::No);
    script.answerInput("10");
    script.answerOpen("/data/a.4ch");
    script.answerSave("/data/b.4ch");
    script.answerPrint(true, [](QPrinter& printer) { printer.setCopyCount(3); });
    UserDialogs& dialogs = script;

    const auto yesNo = QMessageBox::Yes | QMessageBox::No;
    QCOMPARE(dialogs.message(nullptr, "Sure?", "Erase", UserDialogs::Icon::Exclamation, yesNo),
             QMessageBox::No);
    QCOMPARE(dialogs.input(nullptr, "Interval", "Set", "5"), QStringLiteral("10"));
    QCOMPARE(dialogs.openFile(nullptr, "Data Files (*.4ch)|*.4ch|"), QStringLiteral("/data/a.4ch"));
    QCOMPARE(dialogs.saveFile(nullptr, "Data Files (*.4ch)|*.4ch|"), QStringLiteral("/data/b.4ch"));
    QPrinter printer;
    QVERIFY(dialogs.print(nullptr, printer));
    QCOMPARE(printer.copyCount(), 3);

    QVERIFY(script.unexpectedCalls().isEmpty());
    QCOMPARE(script.pendingAnswers(), 0);
    QCOMPARE(script.calls().size(), 5);
    const auto message = script.callsOf(Kind::Message).first();
    QCOMPARE(message.text, QStringLiteral("Sure?"));
    QCOMPARE(message.title, QStringLiteral("Erase"));
    QCOMPARE(message.icon, UserDialogs::Icon::Exclamation);
    QCOMPARE(message.buttons, yesNo);
    QCOMPARE(script.callsOf(Kind::Input).first().defaultAnswer, QStringLiteral("5"));
    QCOMPARE(script.callsOf(Kind::Save).first().filter,
             QStringLiteral("Data Files (*.4ch)|*.4ch|"));
}

void TestUserDialogs::unscriptedDialogsGetTheEscapeAnswerAndAreFlagged() {
    ScriptedDialogs script;
    UserDialogs& dialogs = script;
    const auto icon = UserDialogs::Icon::None;
    QCOMPARE(dialogs.message(nullptr, "a", "", icon, QMessageBox::Yes | QMessageBox::No),
             QMessageBox::No);
    QCOMPARE(dialogs.message(nullptr, "b", "", icon, QMessageBox::Ok | QMessageBox::Cancel),
             QMessageBox::Cancel);
    QCOMPARE(dialogs.message(nullptr, "c", "", icon), QMessageBox::Ok);
    // A scripted button the box does not offer is no answer a user could give.
    script.answerMessage(QMessageBox::Retry);
    QCOMPARE(dialogs.message(nullptr, "d", "", icon, QMessageBox::Ok | QMessageBox::Cancel),
             QMessageBox::Cancel);
    QCOMPARE(dialogs.input(nullptr, "e", "", "5"), QString());
    QCOMPARE(dialogs.openFile(nullptr, ""), QString());
    QCOMPARE(dialogs.saveFile(nullptr, ""), QString());
    QPrinter printer;
    QVERIFY(!dialogs.print(nullptr, printer));
    QCOMPARE(script.unexpectedCalls().size(), 8);
}

QTEST_MAIN(TestUserDialogs)
#include "tst_user_dialogs.moc"
