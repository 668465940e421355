#include "main_window/ui/panel.h"

#include "clock_keypad/ui/buttons_window.h"
#include "clock_keypad/ui/setup_window.h"
#include "logger_memory/ui/logger_commands.h"
#include "main_window/alarm_bell.h"
#include "main_window/power_off.h"
#include "main_window/status_texts.h"
#include "main_window/ui/alarm_control.h"
#include "main_window/ui/alarm_range.h"
#include "main_window/ui/alarm_sound.h"
#include "main_window/ui/help_window.h"
#include "main_window/ui/power_off_list.h"
#include "main_window/ui/recording_commands.h"
#include "main_window/ui/status_bar.h"
#include "main_window/ui/unit_panel.h"
#include "meter_link/port_numbering.h"
#include "recording/ui/file_list_window.h"
#include "recording/ui/list_window.h"
#include "shared/reading_text.h"
#include "widgets/key_toolbar.h"
#include "widgets/strip_chart.h"
#include "widgets/theme.h"
#include "widgets/toolbar_icons.h"
#include "widgets/user_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace quadtherm::main_window {

namespace {

// Client area 14385 × 7320 twips at 15 twips a pixel.
constexpr QSize kDefaultSize(959, 488);
const QString kCaption = QStringLiteral("Panel  V7.4");
// How long the link may be down before the bottom bar says what to check.
constexpr int kNoAnswerHintMs = 10000;

} // namespace

const std::vector<Panel::Key>& Panel::keys() {
    // Grouped: recording and files, windows, meter, display.
    static const std::vector<Key> table{
        {"Save", "Save As", 1, &Panel::saveKey, false,
         "Starts a recording to a .4ch file; while it runs, \"Stop Recording\" ends it."},
        {"Open", "Open File", 2, &Panel::openDataFile, false,
         "Opens a saved .4ch file in the \"Saved File\" window, with its plot and histogram."},
        {"Sampling", "Sampling Rate", 3, &Panel::sampling, true,
         "Sets how often this computer records, or the meter's logger interval."},
        {"List", "List Display", 4, &Panel::openList, false,
         "The \"List\" window: every reading as it arrives, to save as a file."},
        {"Graph", "Graphic Display", 5, &Panel::graphKey, true,
         "The \"Real Time Graph\" window. A click on a channel's small chart opens its own "
         "graph."},
        {"RTC", "Set Meter Time to System (PC) Time", 11, &Panel::rtcKey, false,
         "The \"Setup\" window: the meter's clock beside this computer's, and setting it."},
        {"Memory", "Data Logger", 12, &Panel::memoryKey, false,
         "Downloads the meter's logger memory into the \"Data Logger\" or \"Manual Record\" "
         "window."},
        {"Buttons", "Meter Control Panel", 13, &Panel::buttonsKey, false,
         "The \"Meter Buttons\" window: the meter's keys, pressed from here."},
        {"Erase", "Erase Data Logger", 14, &Panel::eraseKey, false,
         "Erases the meter's logger memory, after asking."},
        {"Poweroff", "Power Off Time", 17, &Panel::powerOffKey, true,
         "Reads and sets the meter's automatic power-off time."},
        {"CF", "Celsius/Fahrenheit", 18, &Panel::swapUnitPanels, false,
         "Shows the readings in the other unit."},
        {"Alarm", "Alarm Range", 19, &Panel::alarmKey, false,
         "Sets each channel's alarm setpoint. The bell at the bottom right sets the sound."},
    };
    return table;
}

Panel::Panel(session::SessionClient& client, shared::ViewState& view, widgets::UserDialogs& dialogs,
             QString deviceLabel, qint16 portNumber, shared::Settings* settings,
             AlarmOutput* alarmOutput, QWidget* parent)
    : QMainWindow(parent), m_client(client), m_view(view), m_dialogs(dialogs),
      m_deviceLabel(std::move(deviceLabel)), m_portNumber(portNumber),
      m_sampling(client, view.sampling, dialogs, this), m_settings(settings),
      m_alarmOutput(alarmOutput) {
    setObjectName(QStringLiteral("Panel"));
    setWindowTitle(kCaption);

    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("centralPanel"));
    PicC = new UnitPanel(QStringLiteral("C"), shared::unitText(false), m_view.alarms.AlarmSetpointC,
                         m_central);
    PicF = new UnitPanel(QStringLiteral("F"), shared::unitText(true), m_view.alarms.AlarmSetpointF,
                         m_central);
    PicF->hide();
    // The session's cycle blinks the alarm indicators by its own copy.
    for (auto [panel, fahrenheit] : {std::pair{PicC, false}, std::pair{PicF, true}})
        connect(panel, &UnitPanel::setpointChanged, this, [this, fahrenheit](int k, double value) {
            m_client.setAlarmSetpoint(k, fahrenheit, value);
        });
    auto* column = new QVBoxLayout(m_central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* panels = new QVBoxLayout;
    panels->setContentsMargins(8, 8, 8, 8);
    panels->addWidget(PicC);
    panels->addWidget(PicF);
    column->addLayout(panels, 1);
    m_statusBar = new StatusBar(m_central);
    LblCOM = m_statusBar->LblCOM;
    LblRec = m_statusBar->LblRec;
    LblCount = m_statusBar->LblCount;
    LblFileName = m_statusBar->LblFileName;
    connect(m_statusBar, &StatusBar::portLabelClicked, this, &Panel::LblCOM_Click);
    column->addWidget(m_statusBar);
    setCentralWidget(m_central);

    std::vector<widgets::ToolbarButton> buttons;
    for (const Key& k : keys())
        buttons.push_back({k.key, k.toolTip, k.image, true, k.separatorAfter});
    Toolbar1 = widgets::makeKeyToolbar(
        this, buttons, [this](const QString& key) { Toolbar1_ButtonClick(key); },
        widgets::KeyToolbarLook::Images);
    addToolBar(Qt::TopToolBarArea, Toolbar1);
    m_recording = std::make_unique<RecordingCommands>(
        client, view.save, dialogs, this, *m_statusBar, toolbarAction(QStringLiteral("Save")));

    // The pop-ups float over the channel cards, as panels of the window.
    PicAlmRange = new AlarmRangePanel(
        [this]() -> UnitPanel& {
            return m_client.mirror().channels.MeterFahrenheit ? *PicF : *PicC;
        },
        m_central);
    ComboP = new PowerOffList(
        m_client, [this] { placePopups(); }, m_central);
    // The logger and erase panels are filled by their own windows' code.
    PicLogger = new QFrame(m_central);
    PicLogger->setObjectName(QStringLiteral("PicLogger"));
    PicLogger->hide();
    PicErase = new QFrame(m_central);
    PicErase->setObjectName(QStringLiteral("PicErase"));
    PicErase->hide();
    m_logger = new logger_memory::LoggerCommands(client, view, dialogs, this, PicLogger, PicErase);

    widgets::theme::applyToApplication();
    resize(kDefaultSize);

    connect(&m_client, &session::SessionClient::linkShown, this, &Panel::showLink);
    connect(&m_client, &session::SessionClient::liveWindowsClosing, this, &Panel::closeList);
    connect(&m_client, &session::SessionClient::channelSetUp, this,
            [this](int k, const session::ChannelSetup& setup) {
                // A rebuilt link starts every alarm at the top of its type's range.
                m_view.alarms.AlarmSetpointC[k] = setup.AlarmSetpointC;
                m_view.alarms.AlarmSetpointF[k] = setup.AlarmSetpointF;
                setUpChannelDisplay(k, setup);
            });
    connect(&m_client, &session::SessionClient::channelsChanged, this,
            [this](const session::ChannelsSetup& setup) {
                showUnitPanel(setup.MeterFahrenheit);
                setUpDisplays(setup);
            });
    connect(&m_client, &session::SessionClient::cycleRun, this, &Panel::showCycle);
    connect(&m_client, &session::SessionClient::recordingEnded, this,
            [this](recording::RecordingEnd why, const QString& error, qint64 records) {
                m_changeEndedRecording = why == recording::RecordingEnd::ConfigurationChanged;
                m_recording->ended(why, error, records);
            });
    connect(&m_client, &session::SessionClient::noteShown, m_statusBar, &StatusBar::flashNote);
    connect(&m_client, &session::SessionClient::availabilityChanged, m_statusBar,
            [this](session::Availability availability, const QString& busyWith) {
                m_statusBar->showBusy(availability == session::Availability::Busy ? busyWith
                                                                                  : QString());
            });
    connectAlarm();
    m_noAnswer = std::make_unique<shared::ClockTimer>(client.clock(), kNoAnswerHintMs, [this] {
        m_noAnswer->stop();
        m_statusBar->showLinkHint(
            noAnswerText(meter_link::linkLabel(m_portNumber, m_deviceLabel), m_deviceLabel));
    });
    connectGraphs();
    addWindowKeys();
}

Panel::~Panel() {
    m_client.stop();
}

QAction* Panel::toolbarAction(const QString& key) const {
    return widgets::findKeyAction(Toolbar1, key);
}

recording::ListWindow* Panel::listWindow() const {
    return m_list;
}

recording::FileListWindow* Panel::fileListWindow() const {
    return m_fileList;
}

void Panel::Form_Load() {
    move(0, 0);
    showLink(true);
    showInterval();
    ComboP->addItems(powerOffTexts());
    m_view.windows.ManualListOpen = false;
    m_view.windows.MemoryFormOpen = false;
    m_client.start();
}

void Panel::closeEvent(QCloseEvent* event) {
    // Ends every wait of the session and stops its timers.
    m_client.stop();
    event->accept();
}

void Panel::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    placePopups();
}

void Panel::placePopups() {
    if (!PicAlmRange)
        return;
    PicAlmRange->adjustSize();
    const int x = qMax(0, (m_central->width() - PicAlmRange->width()) / 2);
    PicAlmRange->move(x, 6);
    ComboP->adjustSize();
    int comboX = 8;
    if (QAction* poweroff = toolbarAction(QStringLiteral("Poweroff")))
        if (QWidget* button = Toolbar1->widgetForAction(poweroff))
            comboX = button->mapTo(this, QPoint(0, 0)).x();
    ComboP->move(qBound(0, comboX, qMax(0, m_central->width() - ComboP->width())), 4);
    for (QWidget* popup : {static_cast<QWidget*>(PicAlmRange), static_cast<QWidget*>(ComboP)})
        popup->raise();
}

void Panel::showCycle(const session::ShownCycle& shown) {
    PicC->showCycle(shown.c);
    PicF->showCycle(shown.f);
    m_statusBar->showRecordCount(shown.recording, shown.recordedCount);
    if (shown.recording && m_recording->active())
        m_statusBar->showElapsed(
            elapsedText(m_client.clock().elapsedMs() - m_recording->startedAtMs()));
    showInterval();
    if (m_view.windows.ListOpen && m_list) {
        shared::PerChannel<QString> texts;
        for (int k = 0; k < shared::kChannels; ++k)
            texts[k] = m_view.windows.ListFahrenheit ? shown.f[k].text : shown.c[k].text;
        m_list->ListFeed(shown.timestamp, texts);
    }
}

void Panel::showUnitPanel(bool fahrenheit) {
    // The panel going away is hidden first: with both shown for a moment the
    // layout would make room for two, and the window would grow to fit.
    (fahrenheit ? PicC : PicF)->hide();
    (fahrenheit ? PicF : PicC)->show();
}

void Panel::setUpChannelDisplay(int k, const session::ChannelSetup& setup) {
    PicC->setUpChannel(k, setup.TypeLetter, setup.ScaleMinC, setup.ScaleMaxC);
    PicF->setUpChannel(k, setup.TypeLetter, setup.ScaleMinF, setup.ScaleMaxF);
}

void Panel::setUpDisplays(const session::ChannelsSetup& setup) {
    ++m_displaySetUps;
    for (int k = 0; k < shared::kChannels; ++k)
        setUpChannelDisplay(k, setup.channels[k]);
}

void Panel::showLink(bool up) {
    m_statusBar->showLink(
        up ? meter_link::linkLabel(m_portNumber, m_deviceLabel) : QStringLiteral("No COM"), up);
    if (!up) {
        PicC->clearReadings();
        PicF->clearReadings();
        if (!m_noAnswer->isActive())
            m_noAnswer->start();
    } else {
        m_noAnswer->stop();
        m_statusBar->showLinkHint({});
    }
}

void Panel::connectAlarm() {
    m_bell = new AlarmBell(m_client.clock(), this);
    if (m_settings)
        m_bell->setChoice(m_settings->alarmSound());
    AlarmControl* control = m_statusBar->BtnAlarm;
    control->showChoice(m_bell->choice());
    connect(control, &AlarmControl::choiceChanged, this,
            [this](const shared::AlarmSoundChoice& choice) {
                m_bell->setChoice(choice);
                if (m_settings)
                    m_settings->setAlarmSound(choice);
            });
    connect(control, &AlarmControl::acknowledged, m_bell, &AlarmBell::acknowledge);
    // Escape hushes a sounding alarm.
    auto* hush = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    hush->setObjectName(QStringLiteral("ShortcutAcknowledge"));
    connect(hush, &QShortcut::activated, this, [this] {
        if (m_bell->ringing())
            m_bell->acknowledge();
    });
    connect(m_bell, &AlarmBell::ringingChanged, control, &AlarmControl::showRinging);
    connect(m_bell, &AlarmBell::ringingChanged, this, [this](bool ringing, const QString& reason) {
        if (!m_alarmOutput)
            return;
        if (!ringing) {
            m_alarmOutput->stopSound();
            return;
        }
        m_alarmOutput->startSound();
        if (isMinimized())
            m_alarmOutput->notify(QStringLiteral("QuadTherm alarm"), reason);
    });
    connect(&m_client, &session::SessionClient::cycleRun, this, &Panel::hearCycle);
    connect(&m_client, &session::SessionClient::channelsChanged, this, &Panel::hearChannels);
    connect(&m_client, &session::SessionClient::channelSetUp, this,
            [this](int k, const session::ChannelSetup& setup) {
                m_probes[k] = setup.ProbePresent;
                if (setup.ProbePresent)
                    m_bell->probeBack(k);
            });
}

void Panel::hearCycle(const session::ShownCycle& shown) {
    // What the panel in view shows: its unit's readings and setpoints.
    const bool fahrenheit = !PicF->isHidden();
    const auto& channels = fahrenheit ? shown.f : shown.c;
    const auto& setpoints =
        fahrenheit ? m_view.alarms.AlarmSetpointF : m_view.alarms.AlarmSetpointC;
    shared::PerChannel<AlarmBell::Channel> heard;
    for (int k = 0; k < shared::kChannels; ++k)
        heard[k] = {channels[k].alarm == session::AlarmShow::Toggle, channels[k].point,
                    setpoints[k]};
    m_bell->cycle(heard);
}

void Panel::hearChannels(const session::ChannelsSetup& setup) {
    // Users count a broken thermocouple during a recording as an alarm.
    for (int k = 0; k < shared::kChannels; ++k) {
        const bool present = setup.channels[k].ProbePresent;
        if (m_changeEndedRecording && m_probes[k] && !present)
            m_bell->probeLost(k);
        else if (present)
            m_bell->probeBack(k);
        m_probes[k] = present;
    }
    m_changeEndedRecording = false;
}

void Panel::showInterval() {
    const int meter = m_view.sampling.MeterSamplingSeconds;
    m_statusBar->showInterval(intervalText(m_client.mirror().pcSamplingSeconds,
                                           meter > 0 ? std::optional<int>(meter) : std::nullopt));
}

void Panel::LblCOM_Click() {
    setWindowTitle(windowTitle().contains(QStringLiteral("101126"))
                       ? kCaption
                       : kCaption + QStringLiteral("   101126"));
}

void Panel::addWindowKeys() {
    // Application-wide, so they work from every child window too; a modal
    // dialog blocks them like every other input to the windows behind it.
    const auto key = [this](const QKeySequence& keys, const char* name, auto act) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setObjectName(QString::fromLatin1(name));
        shortcut->setContext(Qt::ApplicationShortcut);
        connect(shortcut, &QShortcut::activated, this, act);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_W), "ShortcutCloseWindow", [this] {
        QWidget* front = QApplication::activeWindow();
        if (front && front != this)
            front->close();
    });
    key(QKeySequence(Qt::CTRL | Qt::Key_Q), "ShortcutQuit", [this] { close(); });
    key(QKeySequence(Qt::Key_F1), "ShortcutHelp", [this] { showHelp(); });
}

void Panel::showHelp() {
    if (!m_help) {
        std::vector<HelpLine> toolbar;
        for (const Key& k : keys()) {
            QAction* action = widgets::findKeyAction(Toolbar1, QString::fromLatin1(k.key));
            toolbar.push_back({widgets::toolbarImage(k.image), QString::fromLatin1(k.toolTip),
                               QString::fromUtf8(k.where),
                               action ? action->shortcut() : QKeySequence()});
        }
        const std::vector<HelpLine> keyboard{
            {{},
             QStringLiteral("Save"),
             QStringLiteral("Starts or stops a recording; in a list "
                            "window, saves the list."),
             QKeySequence(Qt::CTRL | Qt::Key_S)},
            {{},
             QStringLiteral("Open"),
             QStringLiteral("Opens a saved .4ch file."),
             QKeySequence(Qt::CTRL | Qt::Key_O)},
            {{},
             QStringLiteral("Print"),
             QStringLiteral("Prints the list or graph in front."),
             QKeySequence(Qt::CTRL | Qt::Key_P)},
            {{},
             QStringLiteral("Close"),
             QStringLiteral("Closes the window in front (not this "
                            "main window)."),
             QKeySequence(Qt::CTRL | Qt::Key_W)},
            {{},
             QStringLiteral("Quit"),
             QStringLiteral("Ends the program, like closing the main "
                            "window."),
             QKeySequence(Qt::CTRL | Qt::Key_Q)},
            {{},
             QStringLiteral("Hush"),
             QStringLiteral("Silences a sounding alarm."),
             QKeySequence(Qt::Key_Escape)},
            {{}, QStringLiteral("Help"), QStringLiteral("This window."), QKeySequence(Qt::Key_F1)},
        };
        m_help = new HelpWindow(toolbar, keyboard, this);
        m_help->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void Panel::Toolbar1_ButtonClick(const QString& key) {
    // The four pop-ups are mutually exclusive.
    if (key != QLatin1String("Memory"))
        PicLogger->hide();
    if (key != QLatin1String("Erase"))
        PicErase->hide();
    if (key != QLatin1String("Poweroff"))
        ComboP->hide();
    if (key != QLatin1String("Alarm"))
        PicAlmRange->hide();
    for (const Key& k : keys())
        if (key == QLatin1String(k.key) && k.command)
            (this->*k.command)();
}

void Panel::rtcKey() {
    if (m_client.mirror().meterLogging) {
        m_dialogs.message(this, QStringLiteral("Recording mode, stop record then try again !"), {},
                          widgets::UserDialogs::Icon::Critical);
        return;
    }
    if (!m_clockWindow)
        m_clockWindow = new clock_keypad::Setup(m_client, this);
    m_clockWindow->openFrom(*this);
}

void Panel::buttonsKey() {
    if (!m_keypadWindow)
        m_keypadWindow = new clock_keypad::Buttons(m_client, this);
    m_keypadWindow->showUnder(*this);
}

void Panel::memoryKey() {
    PicLogger->setVisible(!PicLogger->isVisible());
}

void Panel::eraseKey() {
    PicErase->setVisible(!PicErase->isVisible());
}

void Panel::swapUnitPanels() {
    auto& windows = m_view.windows;
    windows.CelsiusView = !windows.CelsiusView;
    showUnitPanel(PicF->isHidden());
    windows.ViewUnit = shared::unitText(!windows.CelsiusView);
}

void Panel::alarmKey() {
    PicAlmRange->setVisible(!PicAlmRange->isVisible());
    PicAlmRange->refill();
    placePopups();
}

void Panel::saveKey() {
    m_recording->saveKey();
}

void Panel::powerOffKey() {
    ComboP->toggle();
}

} // namespace quadtherm::main_window
