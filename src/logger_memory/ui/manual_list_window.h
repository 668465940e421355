#pragma once

#include "recording/ui/file_list_window.h"

#include <QWidget>

class QAction;
class QPrinter;
class QToolBar;

namespace quadtherm::shared {
struct WindowState;
}

namespace quadtherm::widgets {
class Grid;
class UserDialogs;
} // namespace quadtherm::widgets

namespace quadtherm::logger_memory {

// The ManualList window ("Manual Record"): the manually stored readings,
// printed as a fixed-pitch listing; "Erase" asks to erase them.
class ManualListWindow : public QWidget {
    Q_OBJECT
public:
    // `liveTimer` is the live poll, paused while the list prints.
    ManualListWindow(shared::WindowState& windows, widgets::UserDialogs& dialogs,
                     recording::MainTimers liveTimer, QWidget* parent = nullptr);

    // At the main window's corner, the heading row. The constructor runs it.
    void Form_Load();
    void appendReading(const QStringList& cells);
    void Toolbar1_ButtonClick(const QString& key);
    QAction* toolbarAction(const QString& key) const;

    widgets::Grid* Grid = nullptr;
    QToolBar* Toolbar1 = nullptr;

Q_SIGNALS:
    void eraseRequested();
    // Closed by the user or the program; ManualListOpen is already false.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void print();
    bool printTo(QPrinter& printer) const;

    shared::WindowState& m_windows;
    widgets::UserDialogs& m_dialogs;
    recording::MainTimers m_liveTimer;
};

} // namespace quadtherm::logger_memory
