#include "support/scripted_dialogs.h"
#include "support/test_suite.h"
#include "widgets/theme.h"
#include "widgets/user_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QWidget>
#include <QTest>

namespace tst_user_dialogs {

using quadtherm::test::ScriptedDialogs;
using quadtherm::widgets::UserDialogs;
namespace theme = quadtherm::widgets::theme;

class TestUserDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // #18: a message box on the stack, its parent window deleted while it
    // was open (a window closed during a wait below the box), was freed a
    // second time as the call returned: free(): invalid pointer. Every
    // dialog now outlives nothing it does not own.
    void aDialogWhoseWindowIsDeletedWhileItIsOpenEndsQuietly_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"message", "input", "choice", "open file"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void aDialogWhoseWindowIsDeletedWhileItIsOpenEndsQuietly() {
        QFETCH(QString, kind);
        quadtherm::widgets::QtUserDialogs dialogs;
        auto* window = new QWidget;
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        QPointer<QWidget> watched = window;
        // The window closes itself while the dialog waits for the user.
        QTimer::singleShot(100, window, &QWidget::close);
        if (kind == "message") {
            QCOMPARE(dialogs.message(window, QStringLiteral("text"), {},
                                     UserDialogs::Icon::Exclamation,
                                     QMessageBox::Ok | QMessageBox::Cancel),
                     QMessageBox::NoButton);
        } else if (kind == "input") {
            QCOMPARE(dialogs.input(window, QStringLiteral("prompt"), QStringLiteral("title"),
                                   QStringLiteral("7")),
                     QString());
        } else if (kind == "choice") {
            UserDialogs::Choice choice;
            choice.options = {QStringLiteral("a"), QStringLiteral("b")};
            QCOMPARE(dialogs.choose(window, choice), std::nullopt);
        } else {
            QCOMPARE(dialogs.openFile(window, QStringLiteral("All Files (*.*)|*.*|")), QString());
        }
        QTRY_VERIFY(!watched);
    }

    // Issue 20: a message box, even one without a parent window (the first
    // one comes before the main window), is in the dark theme with the
    // program's flat signs and buttons that carry words only.
    void aMessageBoxWearsTheThemeItsSignAndPlainButtons_data() {
        QTest::addColumn<UserDialogs::Icon>("icon");
        QTest::addColumn<QColor>("sign");
        QTest::newRow("critical") << UserDialogs::Icon::Critical << theme::kRed;
        QTest::newRow("exclamation") << UserDialogs::Icon::Exclamation << theme::kAmber;
        QTest::newRow("information") << UserDialogs::Icon::Information << theme::kCyan;
        QTest::newRow("question") << UserDialogs::Icon::Question << theme::kGreen;
    }
    void aMessageBoxWearsTheThemeItsSignAndPlainButtons() {
        QFETCH(UserDialogs::Icon, icon);
        QFETCH(QColor, sign);
        theme::applyToApplication();
        quadtherm::widgets::QtUserDialogs dialogs;
        QImage picture;
        QStringList buttonsWithPictures;
        QColor face;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            picture = box->iconPixmap().toImage();
            face = box->palette().color(QPalette::Window);
            for (QAbstractButton* button : box->buttons())
                if (!button->icon().isNull())
                    buttonsWithPictures << button->text();
            box->reject();
        });
        dialogs.message(nullptr, QStringLiteral("No device found, try again!"), {}, icon,
                        QMessageBox::Ok | QMessageBox::Cancel);
        QVERIFY(!picture.isNull());
        // The sign's own colour, flat, at the middle of its left half.
        const QColor seen = picture.pixelColor(picture.width() / 4, picture.height() * 2 / 3);
        QCOMPARE(seen.name(), sign.name());
        QVERIFY2(buttonsWithPictures.isEmpty(), qPrintable(buttonsWithPictures.join(',')));
        QVERIFY(face.lightness() < 60);
    }

    void barSeparatedFiltersBecomeQtFilters_data() {
        QTest::addColumn<QString>("bars");
        QTest::addColumn<QString>("qt");
        auto row = [](const char* name, const char* bars, const char* qt) {
            QTest::newRow(name) << QString(bars) << QString(qt);
        };
        row("data and all files", "Data Files (*.4ch)|*.4ch|All Files (*.*)|*.*|",
            "Data Files (*.4ch);;All Files (*.*)");
        row("no closing bar", "Text (*.txt)|*.txt", "Text (*.txt)");
        row("patterns not in the description", "Data Files|*.4ch", "Data Files (*.4ch)");
        row("several patterns", "Text (*.txt;*.csv)|*.txt;*.csv|", "Text (*.txt *.csv)");
        row("empty", "", "");
    }
    void barSeparatedFiltersBecomeQtFilters() {
        QFETCH(QString, bars);
        QTEST(quadtherm::widgets::qtFileFilter(bars), "qt");
    }

    void saveSuffixComesOnlyFromAPlainExtension_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("suffix");
        auto row = [](const char* filter, const char* suffix) {
            QTest::newRow(filter) << QString(filter) << QString(suffix);
        };
        row("Data Files (*.4ch)", "4ch");
        row("Text (*.txt *.csv)", "txt");
        row("All Files (*.*)", "");
        row("Anything (*)", "");
        row("Logs (*.lo?)", "");
    }
    void saveSuffixComesOnlyFromAPlainExtension() {
        QFETCH(QString, filter);
        QTEST(quadtherm::widgets::defaultSuffix(filter), "suffix");
    }

    void promptLineBreaksBecomeNewlines() {
        QCOMPARE(quadtherm::widgets::plainLineBreaks("Interval\r\n(seconds)\rnow\nend"),
                 QStringLiteral("Interval\n(seconds)\nnow\nend"));
    }

    // The other suites rely on this: a dialog nobody scripted never blocks, gets
    // what Escape would give, and is reported.
    void unscriptedDialogsGetTheEscapeAnswerAndAreFlagged() {
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
};

QUADTHERM_TEST_SUITE(TestUserDialogs, Gui)

} // namespace tst_user_dialogs

#include "tst_user_dialogs.moc"
