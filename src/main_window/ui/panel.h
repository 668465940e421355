#pragma once

#include "main_window/ui/recording_commands.h"
#include "main_window/ui/sampling_commands.h"
#include "session/session_client.h"
#include "shared/settings.h"
#include "shared/view_state.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <vector>

class QAction;
class QLabel;
class QToolBar;

namespace quadtherm::widgets {
class UserDialogs;
}

namespace quadtherm::recording {
class FileListWindow;
class ListWindow;
} // namespace quadtherm::recording

namespace quadtherm::clock_keypad {
class Buttons;
class Setup;
} // namespace quadtherm::clock_keypad
namespace quadtherm::logger_memory {
class LoggerCommands;
}
namespace quadtherm::graphs {
class GraphWindows;
}

namespace quadtherm::main_window {

class AlarmBell;
class AlarmOutput;
class AlarmRangePanel;
class HelpWindow;
class PowerOffList;
class StatusBar;
class UnitPanel;

// The main window, a view of the meter session: the four channels in a °C
// and a °F panel, the toolbar, the alarm-range and power-off pop-ups and the
// link and recording labels. It talks to the session through its client
// only; what it keeps for the run is in `view`.
class Panel : public QMainWindow {
    Q_OBJECT
public:
    // With `settings` it remembers the alarm sound; `alarmOutput` sounds
    // it (none in tests).
    Panel(session::SessionClient& client, shared::ViewState& view, widgets::UserDialogs& dialogs,
          QString deviceLabel, qint16 portNumber = 0, shared::Settings* settings = nullptr,
          AlarmOutput* alarmOutput = nullptr, QWidget* parent = nullptr);
    ~Panel() override;

    // Load steps: placed at the top left, the power-off list filled, the
    // session started. Nothing is sent to the meter yet.
    void Form_Load();

    void Toolbar1_ButtonClick(const QString& key);
    void LblCOM_Click();

    QToolBar* Toolbar1 = nullptr;
    UnitPanel* PicC = nullptr;
    UnitPanel* PicF = nullptr;
    AlarmRangePanel* PicAlmRange = nullptr;
    PowerOffList* ComboP = nullptr;
    QWidget* PicLogger = nullptr;
    QWidget* PicErase = nullptr;
    QLabel* LblCOM = nullptr;
    QLabel* LblRec = nullptr;
    QLabel* LblCount = nullptr;
    QLabel* LblFileName = nullptr;

    session::SessionClient& client() { return m_client; }
    // Display set-ups run so far (each rebuilds every channel of both panels).
    int displaySetUps() const { return m_displaySetUps; }
    QAction* toolbarAction(const QString& key) const;
    recording::ListWindow* listWindow() const;
    recording::FileListWindow* fileListWindow() const;
    // PicLogger's downloads, PicErase's erase and the logger windows.
    logger_memory::LoggerCommands& logger() { return *m_logger; }
    graphs::GraphWindows& graphWindows() const { return *m_graphs; }
    AlarmBell& alarmBell() { return *m_bell; }
    // The bar along the bottom: the link, the recording and the outputs.
    StatusBar& bottomBar() const { return *m_statusBar; }

    // F1's help window, opened or brought to the front.
    void showHelp();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A toolbar key and the command it runs.
    struct Key {
        const char* key;
        const char* toolTip;
        int image;
        void (Panel::*command)();
        bool separatorAfter = false;
        const char* where = ""; // for the help: what the key opens or does
    };
    static const std::vector<Key>& keys();

    void placePopups();
    // What the session tells.
    void showLink(bool up);
    void showUnitPanel(bool fahrenheit);
    void setUpChannelDisplay(int k, const session::ChannelSetup& setup);
    void setUpDisplays(const session::ChannelsSetup& setup);
    void showCycle(const session::ShownCycle& shown);
    void showInterval();
    // The audible alarm: its control, what each cycle tells it, a probe
    // pulled during a recording.
    void connectAlarm();
    // Ctrl+W, Ctrl+Q and F1, from any of the program's windows.
    void addWindowKeys();
    void hearCycle(const session::ShownCycle& shown);
    void hearChannels(const session::ChannelsSetup& setup);

    // The toolbar's commands.
    void saveKey();
    void openDataFile();
    void sampling() {
        m_sampling.run();
        showInterval();
    }
    void openList();
    void closeList();
    void rtcKey();
    void buttonsKey();
    void memoryKey();
    void eraseKey();
    void powerOffKey();
    void swapUnitPanels();
    void alarmKey();
    // The graphs: the "Graph" key, the clicks on the small charts and the
    // file list's columns.
    void graphKey();
    void connectGraphs();
    void connectFileList();

    session::SessionClient& m_client;
    shared::ViewState& m_view;
    widgets::UserDialogs& m_dialogs;
    QString m_deviceLabel;
    qint16 m_portNumber;
    SamplingCommands m_sampling;
    std::unique_ptr<RecordingCommands> m_recording;
    logger_memory::LoggerCommands* m_logger = nullptr;
    QWidget* m_central = nullptr;
    StatusBar* m_statusBar = nullptr;
    int m_displaySetUps = 0;
    QPointer<recording::ListWindow> m_list;
    QPointer<recording::FileListWindow> m_fileList;
    graphs::GraphWindows* m_graphs = nullptr;
    bool m_loadingFile = false;
    bool m_closing = false;
    // Tells what to check once the link has been down for a while.
    std::unique_ptr<shared::ClockTimer> m_noAnswer;
    shared::Settings* m_settings;
    AlarmOutput* m_alarmOutput;
    AlarmBell* m_bell = nullptr;
    // The probes as the channels were last set up, and whether the change
    // that comes now ended a recording.
    shared::PerChannel<bool> m_probes{};
    bool m_changeEndedRecording = false;
    QPointer<clock_keypad::Setup> m_clockWindow;
    QPointer<clock_keypad::Buttons> m_keypadWindow;
    QPointer<HelpWindow> m_help;
};

} // namespace quadtherm::main_window
