#pragma once

#include "recording/data_file.h"

#include <QWidget>

class QAction;
class QToolBar;

namespace quadtherm::shared {
struct RunState;
}

namespace quadtherm::widgets {
class Grid;
class UserDialogs;
} // namespace quadtherm::widgets

namespace quadtherm::recording {

// Records read from the meter's memory, in °C and in °F; one table is shown
// at a time and "CF" swaps them.
class DataListWindow : public QWidget {
    Q_OBJECT
public:
    DataListWindow(shared::RunState& state, widgets::UserDialogs& dialogs,
                   QWidget* parent = nullptr);

    // Headings "°C"/"°F", "Date Time" and the channel types, and no rows.
    // The constructor runs it.
    void Form_Load();
    void setHeadings(const SixValues& c, const SixValues& f);
    // One record's six cells in each unit.
    void appendRecord(const QStringList& cellsC, const QStringList& cellsF);
    // Many records at once, each row's cells joined by TAB: one insert, one
    // repaint.
    void appendRecords(const QStringList& rowsC, const QStringList& rowsF);
    void clearRecords();

    void Toolbar1_ButtonClick(const QString& key);
    QAction* toolbarAction(const QString& key) const;
    widgets::Grid* visibleGrid() const;

    widgets::Grid* GridC = nullptr;
    widgets::Grid* GridF = nullptr;
    QToolBar* Toolbar1 = nullptr;

private:
    shared::RunState& m_state;
    widgets::UserDialogs& m_dialogs;
    bool m_showF = false;
};

} // namespace quadtherm::recording
