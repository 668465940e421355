#pragma once

#include "shared/alarm_state.h"

#include <QString>

namespace quadtherm::shared {

// Which windows are open, and which unit panel the user chose to view.
struct WindowState {
    bool ListOpen = false;
    // The live list's unit when it was opened, and the rows fed since.
    QString ListUnit;
    bool ListFahrenheit = false;
    qint64 ListRowCount = 0;
    bool GraphOpen = false;
    bool MemoryFormOpen = false;
    bool ManualListOpen = false;
    // Toggled by every "CF" click; false at start.
    bool CelsiusView = false;
    QString ViewUnit;
    // The small charts' time axis: the clock time, or (false, at start)
    // the time before now. Chosen from their context menu.
    bool ChartClockTime = false;
};

// The save dialog's last outcome: the full path, and whether a file was chosen.
struct SaveChoice {
    QString SaveFilePath;
    bool SaveFileChosen = false;
};

// The last sampling choice, and the meter's interval last read or written.
struct SamplingChoice {
    bool SamplingOnPc = false;
    int MeterSamplingSeconds = 0;
};

// What the windows keep for the whole run, on the windows' thread, owned
// once (by the program's main function) and passed by reference. The meter
// session never touches it: its alarms are what the knobs show, and the
// session keeps a copy of them for its cycle.
struct ViewState {
    AlarmState alarms;
    WindowState windows;
    SaveChoice save;
    SamplingChoice sampling;
};

} // namespace quadtherm::shared
