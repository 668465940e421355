#include "support/scripted_dialogs.h"

namespace quadtherm::test {

namespace {

// The button QMessageBox gives Escape: Cancel, else No, else the only one.
QMessageBox::StandardButton escapeButton(QMessageBox::StandardButtons buttons) {
    if (buttons == QMessageBox::NoButton)
        return QMessageBox::Ok;
    for (auto button : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Abort})
        if (buttons.testFlag(button))
            return button;
    const auto value = buttons.toInt();
    const bool onlyOne = (value & (value - 1)) == 0;
    return onlyOne ? QMessageBox::StandardButton(value) : QMessageBox::NoButton;
}

} // namespace

void ScriptedDialogs::answerPrint(bool accept, PrinterSetup setup) {
    m_prints.enqueue({accept, std::move(setup)});
}

QList<ScriptedDialogs::Call> ScriptedDialogs::callsOf(Kind kind) const {
    QList<Call> found;
    for (const Call& call : m_calls)
        if (call.kind == kind)
            found.append(call);
    return found;
}

QList<ScriptedDialogs::Call> ScriptedDialogs::unexpectedCalls() const {
    QList<Call> found;
    for (const Call& call : m_calls)
        if (call.unexpected)
            found.append(call);
    return found;
}

qsizetype ScriptedDialogs::pendingAnswers() const {
    return m_messages.size() + m_inputs.size() + m_opens.size() + m_saves.size() + m_prints.size() +
           m_choices.size();
}

void ScriptedDialogs::clear() {
    m_messages.clear();
    m_inputs.clear();
    m_opens.clear();
    m_saves.clear();
    m_prints.clear();
    m_choices.clear();
    m_calls.clear();
}

QMessageBox::StandardButton ScriptedDialogs::message(QWidget*, const QString& text,
                                                     const QString& title, Icon icon,
                                                     QMessageBox::StandardButtons buttons,
                                                     const QString& details) {
    keepOpen(Kind::Message);
    Call call{Kind::Message, text, title, icon, buttons, {}, {}, details, false};
    QMessageBox::StandardButton pressed = escapeButton(buttons);
    if (m_messages.isEmpty()) {
        call.unexpected = true;
    } else {
        const QMessageBox::StandardButton scripted = m_messages.dequeue();
        // A box shown with no buttons has an OK button.
        const auto offered = buttons == QMessageBox::NoButton ? QMessageBox::Ok : buttons;
        call.unexpected = !offered.testFlag(scripted);
        if (!call.unexpected)
            pressed = scripted;
    }
    m_calls.append(call);
    return pressed;
}

QString ScriptedDialogs::input(QWidget*, const QString& prompt, const QString& title,
                               const QString& defaultAnswer) {
    keepOpen(Kind::Input);
    Call call{Kind::Input,   prompt, title, Icon::None,        {},
              defaultAnswer, {},     {},    m_inputs.isEmpty()};
    m_calls.append(call);
    return call.unexpected ? QString() : m_inputs.dequeue();
}

QString ScriptedDialogs::answerFile(Kind kind, QQueue<QString>& answers, const QString& filter) {
    keepOpen(kind);
    Call call{kind, {}, {}, Icon::None, {}, {}, filter, {}, answers.isEmpty()};
    m_calls.append(call);
    return call.unexpected ? QString() : answers.dequeue();
}

QString ScriptedDialogs::openFile(QWidget*, const QString& filter) {
    return answerFile(Kind::Open, m_opens, filter);
}

QString ScriptedDialogs::saveFile(QWidget*, const QString& filter) {
    return answerFile(Kind::Save, m_saves, filter);
}

bool ScriptedDialogs::print(QWidget*, QPrinter& printer) {
    keepOpen(Kind::Print);
    Call call{Kind::Print, {}, {}, Icon::None, {}, {}, {}, {}, m_prints.isEmpty()};
    m_calls.append(call);
    if (call.unexpected)
        return false;
    const PrintAnswer answer = m_prints.dequeue();
    if (answer.accept && answer.setup)
        answer.setup(printer);
    return answer.accept;
}

std::optional<int> ScriptedDialogs::choose(QWidget*, const Choice& choice) {
    keepOpen(Kind::Choice);
    Call call{Kind::Choice, choice.options.join(u'|'), choice.title, Icon::None, {}, {}, {},
              {},           m_choices.isEmpty()};
    m_calls.append(call);
    return call.unexpected ? std::nullopt : m_choices.dequeue();
}

} // namespace quadtherm::test
