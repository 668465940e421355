#pragma once

#include <QString>

namespace quadtherm::shared {

// The PC-side recording: its interval counter and the cycle number of the
// history. The data file members join when recording to files arrives.
struct RecordingState {
    bool RecordingActive = false;
    // Seconds between recording cycles, a whole number 1 to 86400.
    float PcSamplingSeconds = 1.0f;
    // Once-a-second ticks counted towards the next cycle.
    float PcSamplingTick = 0.0f;
    float RecordedCount = 0.0f;
    // "yyyy/mm/dd hh:mm:ss" of the main window's load.
    QString StartDateTime;
    // Date and time of the current cycle, "yyyy/mm/dd hh:nn:ss".
    QString CycleTimestamp;
    // The current cycle's number in the history; 0 until the first cycle.
    int HistoryCount = 0;
};

// Which windows are open, and which unit panel the user chose to view.
struct WindowState {
    bool ListOpen = false;
    bool GraphOpen = false;
    bool MemoryFormOpen = false;
    bool ManualListOpen = false;
    // Toggled by every "CF" click; false at start.
    bool CelsiusView = false;
    QString ViewUnit;
};

} // namespace quadtherm::shared
