#pragma once

#include "widgets/user_dialogs.h"

#include <QList>
#include <QQueue>

#include <functional>

namespace quadtherm::test {

// Dialogs answered from a script. Each kind of dialog has its own queue of
// answers; a dialog that finds its queue empty is recorded as unexpected and
// gets what pressing Escape would give, so a test never blocks on one.
class ScriptedDialogs final : public widgets::UserDialogs {
public:
    enum class Kind { Message, Input, Open, Save, Print, Choice };
    // Whatever the program passed, for the test to check.
    struct Call {
        Kind kind = Kind::Message;
        QString text; // the message or the prompt
        QString title;
        Icon icon = Icon::None;
        QMessageBox::StandardButtons buttons;
        QString defaultAnswer;
        QString filter;
        QString details; // a message's details
        // No scripted answer was waiting, or it named a button not offered.
        bool unexpected = false;
    };
    // Sets up the printer as a user would in the dialog: a PDF file, copies.
    using PrinterSetup = std::function<void(QPrinter&)>;

    void answerMessage(QMessageBox::StandardButton button) { m_messages.enqueue(button); }
    void answerInput(const QString& text) { m_inputs.enqueue(text); }
    void answerOpen(const QString& path) { m_opens.enqueue(path); }
    void answerSave(const QString& path) { m_saves.enqueue(path); }
    void answerPrint(bool accept, PrinterSetup setup = {});
    // The option chosen with OK, or nothing for a dialog closed without it.
    void answerChoice(std::optional<int> option) { m_choices.enqueue(option); }

    // Runs while each dialog is open, before it is answered: the time a user
    // spends looking at it (a nested event loop, ticks of a timer ...).
    std::function<void(Kind kind)> whileOpen;

    QList<Call> callsOf(Kind kind) const;
    QList<Call> unexpectedCalls() const;
    // Scripted answers no dialog has taken yet.
    qsizetype pendingAnswers() const;
    void clear();

    QMessageBox::StandardButton message(QWidget* parent, const QString& text, const QString& title,
                                        Icon icon,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        const QString& details = {}) override;
    QString input(QWidget* parent, const QString& prompt, const QString& title,
                  const QString& defaultAnswer) override;
    QString openFile(QWidget* parent, const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& filter) override;
    bool print(QWidget* parent, QPrinter& printer) override;
    std::optional<int> choose(QWidget* parent, const Choice& choice) override;

private:
    struct PrintAnswer {
        bool accept = false;
        PrinterSetup setup;
    };

    QString answerFile(Kind kind, QQueue<QString>& answers, const QString& filter);
    void keepOpen(Kind kind) const {
        if (whileOpen)
            whileOpen(kind);
    }

    QQueue<QMessageBox::StandardButton> m_messages;
    QQueue<QString> m_inputs;
    QQueue<QString> m_opens;
    QQueue<QString> m_saves;
    QQueue<PrintAnswer> m_prints;
    QQueue<std::optional<int>> m_choices;
    QList<Call> m_calls;
};

} // namespace quadtherm::test
