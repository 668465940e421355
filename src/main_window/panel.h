#pragma once

#include "main_window/command_gate.h"
#include "meter_link/meter_protocol.h"
#include "recording/recorder.h"
#include "shared/run_state.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QToolBar;

namespace quadtherm::widgets {
class UserDialogs;
}

namespace quadtherm::recording {
class FileListWindow;
class ListWindow;
} // namespace quadtherm::recording

namespace quadtherm::main_window {

class AlarmRangePanel;
class UnitPanel;

// The main window: the four channels live in a °C and a °F panel, the
// toolbar, the alarm-range and power-off pop-ups and the link and recording
// labels. It owns the live-poll timer (one reading frame per tick) and the
// once-a-second display timer; the meter link reaches it through the resync
// hooks.
class Panel : public QMainWindow {
    Q_OBJECT
public:
    Panel(shared::RunState& state, meter_link::MeterProtocol& protocol,
          widgets::UserDialogs& dialogs, QString deviceLabel, QWidget* parent = nullptr);
    ~Panel() override;

    // Load steps: shared flags to their start values, the power-off list
    // filled, both timers on. Nothing is sent to the meter yet.
    void Form_Load();

    void Timer1_Timer();
    void Timer2_Timer();
    void Toolbar1_ButtonClick(const QString& key);
    void ComboP_Click(int index);
    void LblCOM_Click();

    QTimer Timer1;
    QTimer Timer2;
    QToolBar* Toolbar1 = nullptr;
    UnitPanel* PicC = nullptr;
    UnitPanel* PicF = nullptr;
    AlarmRangePanel* PicAlmRange = nullptr;
    QComboBox* ComboP = nullptr;
    QWidget* PicLogger = nullptr;
    QWidget* PicErase = nullptr;
    QLabel* LblCOM = nullptr;
    QLabel* LblRec = nullptr;
    QLabel* LblCount = nullptr;
    QLabel* LblFileName = nullptr;

    // Display set-ups run so far (each rebuilds every channel of both panels).
    int displaySetUps() const { return m_displaySetUps; }
    // Every command of the main window and its list windows goes through it.
    CommandGate& gate() { return m_gate; }
    QAction* toolbarAction(const QString& key) const;
    recording::Recorder& recorder() { return m_recorder; }
    recording::ListWindow* listWindow() const;
    recording::FileListWindow* fileListWindow() const;

    // Asks which interval "Sampling" sets: true for the PC's, false for the
    // meter's, nothing when the choice was closed without OK. Tests replace it.
    std::function<std::optional<bool>()> samplingChooser;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildToolbar();
    QWidget* buildStatusBar(QWidget* parent);
    void applyTheme();
    void showUnitPanel(bool fahrenheit);
    void setUpChannelDisplay(int k);
    void setUpDisplays();
    void showLink(bool up);
    void placePopups();
    // Runs an exchange with the meter once the live tick or the exchange in
    // progress has finished.
    void runExchange(std::function<void()> exchange);
    void readPowerOffTime();
    static void enable(QTimer& timer);

    // The toolbar's commands.
    void startRecording();
    void stopRecording();
    void recordingFailed(const QString& error);
    void openDataFile();
    void sampling();
    void pcSampling();
    void meterSampling();
    void memorySizeService();
    void openList();
    void closeList();
    // The recording cycle's file and list steps, from the value label texts.
    void recordCycle(const shared::PerChannel<QString>& textsC,
                     const shared::PerChannel<QString>& textsF);

    shared::RunState& m_state;
    meter_link::MeterProtocol& m_protocol;
    widgets::UserDialogs& m_dialogs;
    QString m_deviceLabel;
    QWidget* m_central = nullptr;
    CommandGate m_gate;
    int m_displaySetUps = 0;
    recording::Recorder m_recorder;
    QPointer<recording::ListWindow> m_list;
    QPointer<recording::FileListWindow> m_fileList;
    bool m_loadingFile = false;
};

} // namespace quadtherm::main_window
