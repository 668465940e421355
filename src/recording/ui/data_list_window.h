#pragma once

#include "recording/data_file.h"
#include "recording/ui/file_list_window.h"

#include "shared/live_state.h"

#include <QWidget>

class QAction;
class QToolBar;

namespace quadtherm::shared {
struct SaveChoice;
}

namespace quadtherm::widgets {
class Grid;
class UserDialogs;
} // namespace quadtherm::widgets

namespace quadtherm::recording {

// Records read from the meter's memory, in °C and in °F; one table is shown
// at a time and "CF" swaps them. "Save" and "Print" take the table shown.
class DataListWindow : public QWidget {
    Q_OBJECT
public:
    // The timers are paused while the listing prints.
    // `save` keeps the save dialog's last outcome; the headings take
    // `typeLetters` until a set's own headings are given.
    DataListWindow(shared::SaveChoice& save, shared::PerChannel<QString> typeLetters,
                   widgets::UserDialogs& dialogs, MainTimers timers = {},
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
    // The same for rows already in Latin-1, as the memory decoding gives them.
    void appendLatin1Records(const QList<QByteArray>& rowsC, const QList<QByteArray>& rowsF);
    void clearRecords();
    // Shows the °F table (or the °C one); the other keeps its rows.
    void showFahrenheit(bool fahrenheit);
    bool showsFahrenheit() const { return m_showF; }

    void Toolbar1_ButtonClick(const QString& key);
    QAction* toolbarAction(const QString& key) const;
    widgets::Grid* visibleGrid() const;

    widgets::Grid* GridC = nullptr;
    widgets::Grid* GridF = nullptr;
    QToolBar* Toolbar1 = nullptr;

private:
    void save();

    shared::SaveChoice& m_save;
    shared::PerChannel<QString> m_typeLetters;
    widgets::UserDialogs& m_dialogs;
    MainTimers m_timers;
    bool m_showF = false;
};

} // namespace quadtherm::recording
