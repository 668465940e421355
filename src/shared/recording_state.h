#pragma once

#include <QString>

namespace quadtherm::shared {

// The PC-side recording: its interval counter and the cycle number of the
// history. The data file members join when recording to files arrives.
struct RecordingState {
    bool RecordingActive = false;
    // The save dialog's last outcome: the full path, and whether a file was chosen.
    QString SaveFilePath;
    bool SaveFileChosen = false;
    // The unit in force when the recording started; its texts are recorded.
    QString RecordingUnit;
    bool RecordingFahrenheit = false;
    // Continuation files created since the program started; never reset.
    int SplitFileSequence = 0;
    // Meter memory size in units of 64 K.
    int MemorySizeCode = 0;
    // Seconds between recording cycles, a whole number 1 to 86400.
    float PcSamplingSeconds = 1.0f;
    // Once-a-second ticks counted towards the next cycle.
    float PcSamplingTick = 0.0f;
    // Records written in this recording, across its continuation files. A
    // 64-bit count: a float would stop counting at 16,777,216 records.
    qint64 RecordedCount = 0;
    // "yyyy/mm/dd hh:mm:ss" of the main window's load.
    QString StartDateTime;
    // Date and time of the current cycle, "yyyy/mm/dd hh:nn:ss".
    QString CycleTimestamp;
    // The current cycle's number in the history; 0 until the first cycle.
    int HistoryCount = 0;
};

} // namespace quadtherm::shared
