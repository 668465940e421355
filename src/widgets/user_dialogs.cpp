#include "widgets/user_dialogs.h"

#include "shared/settings.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quadtherm::widgets {

namespace {

QString windowTitle(const QString& title) {
    return title.isEmpty() ? QGuiApplication::applicationDisplayName() : title;
}

QMessageBox::Icon qtIcon(UserDialogs::Icon icon) {
    switch (icon) {
    case UserDialogs::Icon::Information:
        return QMessageBox::Information;
    case UserDialogs::Icon::Exclamation:
        return QMessageBox::Warning;
    case UserDialogs::Icon::Critical:
        return QMessageBox::Critical;
    case UserDialogs::Icon::Question:
        return QMessageBox::Question;
    case UserDialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Windows lists several patterns as "*.txt;*.csv", Qt as "*.txt *.csv".
QString qtPatterns(const QString& patterns) {
    QStringList list = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : list)
        pattern = pattern.trimmed();
    list.removeAll(QString());
    return list.join(QLatin1Char(' '));
}

void setNameFilters(QFileDialog& dialog, const QString& barSeparated) {
    const QStringList filters = qtFileFilter(barSeparated).split(QStringLiteral(";;"));
    if (filters.first().isEmpty())
        return;
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.first());
}

} // namespace

QString qtFileFilter(const QString& barSeparated) {
    const QStringList parts = barSeparated.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        const QString patterns = parts.value(i + 1).trimmed();
        const QString qt = qtPatterns(patterns);
        if (qt.isEmpty()) {
            if (!description.isEmpty())
                filters.append(description);
            continue;
        }
        // Qt reads the patterns from the description's closing parentheses,
        // so they must be there, and only once.
        for (const QString& shown : {patterns, qt}) {
            const QString tail = QLatin1Char('(') + shown + QLatin1Char(')');
            if (description.endsWith(tail))
                description = description.chopped(tail.size()).trimmed();
        }
        filters.append(description.isEmpty() ? qt : QStringLiteral("%1 (%2)").arg(description, qt));
    }
    return filters.join(QStringLiteral(";;"));
}

QString defaultSuffix(const QString& qtNameFilter) {
    QString patterns = qtNameFilter.trimmed();
    const qsizetype open = patterns.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && patterns.endsWith(QLatin1Char(')')))
        patterns = patterns.sliced(open + 1).chopped(1);
    const QString first = patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
    if (!first.startsWith(QStringLiteral("*.")))
        return {};
    const QString suffix = first.sliced(2);
    const bool wild = suffix.isEmpty() || suffix.contains(QLatin1Char('*')) ||
                      suffix.contains(QLatin1Char('?')) || suffix.contains(QLatin1Char('['));
    return wild ? QString() : suffix;
}

QString plainLineBreaks(const QString& text) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return plain;
}

namespace {

// A dialog made on the heap, not on the stack: when its parent window is
// closed and deleted while the dialog runs (the parent deletes its
// children), exec() returns and the dialog is simply gone, instead of being
// freed a second time at the end of the caller's scope.
template <typename T> class Held {
public:
    explicit Held(T* dialog) : m_dialog(dialog) {}
    ~Held() { delete m_dialog.data(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T* operator->() const { return m_dialog.data(); }
    T& operator*() const { return *m_dialog; }
    // Ran to its end and still there to be read.
    bool accepted() { return m_dialog && m_dialog->exec() == QDialog::Accepted && m_dialog; }
    bool gone() const { return m_dialog.isNull(); }

private:
    QPointer<T> m_dialog;
};

} // namespace

QMessageBox::StandardButton QtUserDialogs::message(QWidget* parent, const QString& text,
                                                   const QString& title, Icon icon,
                                                   QMessageBox::StandardButtons buttons,
                                                   const QString& details) {
    Held box(new QMessageBox(parent));
    box->setWindowTitle(windowTitle(title));
    box->setTextFormat(Qt::PlainText);
    box->setText(plainLineBreaks(text));
    box->setIcon(qtIcon(icon));
    box->setStandardButtons(buttons);
    if (!details.isEmpty())
        box->setInformativeText(plainLineBreaks(details));
    box->exec();
    // Gone with its window: no button was pressed.
    if (box.gone())
        return QMessageBox::NoButton;
    return box->standardButton(box->clickedButton());
}

QString QtUserDialogs::input(QWidget* parent, const QString& prompt, const QString& title,
                             const QString& defaultAnswer) {
    Held dialog(new QInputDialog(parent));
    dialog->setWindowTitle(windowTitle(title));
    dialog->setInputMode(QInputDialog::TextInput);
    dialog->setLabelText(plainLineBreaks(prompt));
    dialog->setTextValue(defaultAnswer);
    return dialog.accepted() ? dialog->textValue() : QString();
}

QString QtUserDialogs::chosenFile(QFileDialog& dialog) {
    const QString path = dialog.selectedFiles().value(0);
    if (m_settings && !path.isEmpty())
        m_settings->setLastFolder(QFileInfo(path).absolutePath());
    return path;
}

namespace {

// Qt's own dialog, so it follows the program's dark look, in the folder of
// the last file chosen.
void startIn(QFileDialog& dialog, const shared::Settings* settings) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (settings && !settings->lastFolder().isEmpty() && QDir(settings->lastFolder()).exists())
        dialog.setDirectory(settings->lastFolder());
}

} // namespace

QString QtUserDialogs::openFile(QWidget* parent, const QString& filter) {
    Held dialog(new QFileDialog(parent));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    startIn(*dialog, m_settings);
    setNameFilters(*dialog, filter);
    if (!dialog.accepted())
        return {};
    return chosenFile(*dialog);
}

QString QtUserDialogs::saveFile(QWidget* parent, const QString& filter) {
    Held dialog(new QFileDialog(parent));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    startIn(*dialog, m_settings);
    setNameFilters(*dialog, filter);
    // A name typed without an extension gets the one of the chosen file type.
    dialog->setDefaultSuffix(defaultSuffix(dialog->selectedNameFilter()));
    QFileDialog* raw = &*dialog;
    QObject::connect(raw, &QFileDialog::filterSelected, raw, [raw](const QString& chosen) {
        raw->setDefaultSuffix(defaultSuffix(chosen));
    });
    if (!dialog.accepted())
        return {};
    return chosenFile(*dialog);
}

bool QtUserDialogs::print(QWidget* parent, QPrinter& printer) {
    Held dialog(new QPrintDialog(&printer, parent));
    return dialog.accepted();
}

std::optional<int> QtUserDialogs::choose(QWidget* parent, const Choice& choice) {
    Held dialog(new QDialog(parent));
    dialog->setObjectName(choice.objectName);
    dialog->setWindowTitle(choice.title);
    auto* column = new QVBoxLayout(&*dialog);
    QList<QRadioButton*> options;
    for (qsizetype i = 0; i < choice.options.size(); ++i) {
        auto* option = new QRadioButton(choice.options[i], &*dialog);
        option->setObjectName(choice.optionNames.value(i));
        option->setChecked(i == choice.current);
        column->addWidget(option);
        options.append(option);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &*dialog);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("CmdOK"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &*dialog, &QDialog::accept);
    column->addWidget(buttons);
    if (parent)
        dialog->move(parent->geometry().topLeft() + choice.offset);
    if (!dialog.accepted())
        return std::nullopt;
    for (qsizetype i = 0; i < options.size(); ++i)
        if (options[i]->isChecked())
            return static_cast<int>(i);
    return std::nullopt;
}

} // namespace quadtherm::widgets
