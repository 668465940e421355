#pragma once

#include "shared/live_state.h"

#include <QWidget>

#include <functional>
#include <initializer_list>

class QAction;
class QToolBar;

namespace quadtherm::shared {
class Clock;
struct ViewState;
} // namespace quadtherm::shared

namespace quadtherm::widgets {
class Grid;
class UserDialogs;
} // namespace quadtherm::widgets

namespace quadtherm::recording {

// The live list: one row of readings per second while it is open. It dumps
// itself to a file in the working folder every kRecordsPerFile rows, so an
// unattended run never grows without bound.
class ListWindow : public QWidget {
    Q_OBJECT
public:
    // The clock names the dump files.
    ListWindow(shared::ViewState& view, shared::PerChannel<QString> typeLetters,
               widgets::UserDialogs& dialogs, shared::Clock& clock, QWidget* parent = nullptr);

    // The heading from ListUnit and the channel types, and no rows. The
    // constructor runs it.
    void Form_Load();
    // One row from the once-a-second cycle: the °C or °F texts, as the list's unit.
    void ListFeed(const QString& cycleTimestamp, const shared::PerChannel<QString>& texts);
    void Toolbar1_ButtonClick(const QString& key);
    // The dump threshold, kRecordsPerFile unless a test wants a small one.
    void setDumpEvery(int rows);
    QAction* toolbarAction(const QString& key) const;

    widgets::Grid* GridN = nullptr;
    QToolBar* Toolbar1 = nullptr;

Q_SIGNALS:
    // The user or the program closed the list; ListOpen is already false.
    void closed();
    // The automatic dump could not be written; the rows stay in the list.
    void dumpFailed(const QString& message);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void dump();

    shared::ViewState& m_view;
    shared::PerChannel<QString> m_typeLetters;
    widgets::UserDialogs& m_dialogs;
    shared::Clock& m_clock;
    int m_dumpEvery;
};

// What the three list windows share: the table, its toolbar, size and place.
namespace list_windows {

// Six columns: record number, date and time, four channels, widths from
// sample texts in the window's font.
widgets::Grid* makeReadingsGrid(const QString& objectName, QWidget* window);
// unit, "Date Time", "T1 - K" … "T4 - T".
void setReadingsHeading(widgets::Grid& grid, const QString& unit,
                        const shared::PerChannel<QString>& typeLetters);
// Toolbar on top, the grids below; a size showing about 15 rows; placed a
// little below and right of the main window so both stay in sight.
void layOut(QWidget* window, QToolBar* toolbar, std::initializer_list<widgets::Grid*> grids);

} // namespace list_windows

} // namespace quadtherm::recording
