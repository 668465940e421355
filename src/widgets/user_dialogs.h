#pragma once

#include <QMessageBox>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

class QFileDialog;
class QPrinter;

namespace quadtherm::shared {
class Settings;
}

namespace quadtherm::widgets {

// Every message box, input box, file dialog and print dialog of the program
// goes through this seam, so tests answer for the user and never block.
class UserDialogs {
public:
    enum class Icon { None, Information, Exclamation, Critical, Question };

    virtual ~UserDialogs() = default;

    // A modal message box; returns the button pressed. An empty title means
    // the application's title; `details` go under the text (the system's
    // reason for a failure, what to do about it).
    virtual QMessageBox::StandardButton
    message(QWidget* parent, const QString& text, const QString& title, Icon icon,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            const QString& details = {}) = 0;
    // An input box with a prompt, a title and a default answer; empty text
    // when cancelled.
    virtual QString input(QWidget* parent, const QString& prompt, const QString& title,
                          const QString& defaultAnswer) = 0;
    // `filter` has the bar-separated form
    // "Data Files (*.4ch)|*.4ch|All Files (*.*)|*.*|", first entry selected.
    // The full path chosen, or empty when cancelled. The save dialog asks
    // before replacing an existing file.
    virtual QString openFile(QWidget* parent, const QString& filter) = 0;
    virtual QString saveFile(QWidget* parent, const QString& filter) = 0;
    // The print dialog for `printer` (copies, printer or PDF file). False
    // when cancelled.
    virtual bool print(QWidget* parent, QPrinter& printer) = 0;

    // A small modal dialog of option buttons and an OK button.
    struct Choice {
        QString title;
        QString objectName;
        QStringList options;
        QStringList optionNames; // the option buttons' object names
        int current = 0;
        QPoint offset; // from the parent's top left corner
    };
    // The option chosen with OK, or nothing when the dialog was closed.
    virtual std::optional<int> choose(QWidget* parent, const Choice& choice) = 0;
};

// "Data Files (*.4ch)|*.4ch|All Files (*.*)|*.*|" becomes
// "Data Files (*.4ch);;All Files (*.*)".
QString qtFileFilter(const QString& barSeparated);
// The extension a save dialog adds for a Qt name filter: "4ch" for
// "Data Files (*.4ch)", nothing for wildcards like "All Files (*.*)".
QString defaultSuffix(const QString& qtNameFilter);
// Prompts are written with CR LF line breaks.
QString plainLineBreaks(const QString& text);

// The real dialogs. With settings, the file dialogs open in the folder of the
// last file chosen, this run or the last.
class QtUserDialogs final : public UserDialogs {
public:
    explicit QtUserDialogs(shared::Settings* settings = nullptr) : m_settings(settings) {}

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
    QString chosenFile(QFileDialog& dialog);

    shared::Settings* m_settings;
};

} // namespace quadtherm::widgets
