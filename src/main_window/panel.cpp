#include "main_window/panel.h"

#include "main_window/alarm_range.h"
#include "main_window/key_toolbar.h"
#include "main_window/live_tick.h"
#include "main_window/toolbar_icons.h"
#include "main_window/unit_panel.h"
#include "meter_link/port_numbering.h"
#include "recording/display_cycle.h"
#include "recording/file_list_window.h"
#include "recording/list_window.h"
#include "widgets/strip_chart.h"
#include "widgets/user_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QScopeGuard>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace quadtherm::main_window {

namespace {

constexpr int kTimer1Ms = 50;
constexpr int kTimer2Ms = 1000;
// Client area 14385 × 7320 twips at 15 twips a pixel.
constexpr QSize kDefaultSize(959, 488);
const QString kCaption = QStringLiteral("Panel  V7.4");

constexpr std::initializer_list<ToolbarButton> kToolbarButtons{
    {"Save", "Save As", 1},
    {"Open", "Open File", 2},
    {"Sampling", "Sampling Rate", 3, true, true},
    {"List", "List Display", 4},
    {"Graph", "Graphic Display", 5, true, true},
    {"RTC", "Set Meter Time to System (PC) Time", 11},
    {"Memory", "Data Logger", 12},
    {"Buttons", "Meter Control Panel", 13},
    {"Erase", "Erase Data Logger", 14},
    {"Poweroff", "Power Off Time", 17, true, true},
    {"CF", "Celsius/Fahrenheit", 18},
    {"Alarm", "Alarm Range", 19},
};

class ClickLabel : public QLabel {
public:
    ClickLabel(std::function<void()> onClick, QWidget* parent)
        : QLabel(parent), m_onClick(std::move(onClick)) {}

protected:
    void mousePressEvent(QMouseEvent*) override { m_onClick(); }

private:
    std::function<void()> m_onClick;
};

const char* const kStyleSheet = R"(
QWidget#centralPanel { background: #1a1e23; }
QToolBar { background: #2b3036; border: none; border-bottom: 1px solid #14171a; padding: 3px 6px; spacing: 3px; }
QToolBar::separator { background: #3a4148; width: 1px; margin: 4px 5px; }
QToolButton { border: 1px solid transparent; border-radius: 5px; padding: 3px; }
QToolButton:hover { background: #3a4148; border-color: #4b535c; }
QToolButton:pressed, QToolButton:checked { background: #454d55; }
QFrame[role="card"] { background: #23282e; border: 1px solid #30363d; border-radius: 8px; }
QLabel { color: #e6e9ec; background: transparent; }
QLabel[role="channel"] { font-size: 13pt; font-weight: bold; }
QLabel[role="type"] { color: #1a1e23; background: #9aa4ad; border-radius: 4px; padding: 0px 6px; font-weight: bold; }
QLabel[role="alarm"] { color: #ffffff; background: #dc2626; border-radius: 4px; padding: 1px 7px; font-size: 8pt; font-weight: bold; }
QLabel[role="value"] { font-size: 24pt; font-weight: bold; }
QLabel[role="unit"] { color: #9aa4ad; font-size: 11pt; padding-top: 6px; }
QLabel[role="caption"] { color: #9aa4ad; font-size: 8pt; }
QFrame[role="popup"] { background: #2b3036; border: 1px solid #4b535c; border-radius: 8px; }
QLabel[role="popupTitle"] { font-weight: bold; }
QGroupBox { color: #e6e9ec; border: 1px solid #3a4148; border-radius: 6px; margin-top: 10px; padding-top: 4px; font-weight: bold; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0px 3px; }
QWidget#bottomBar { background: #2b3036; border-top: 1px solid #14171a; }
QLabel#LblCOM[linkUp="true"] { color: #4ade80; font-weight: bold; }
QLabel#LblCOM[linkUp="false"] { color: #f87171; font-weight: bold; }
QLabel#LblRec { color: #ffffff; background: #dc2626; border-radius: 4px; padding: 0px 6px; font-weight: bold; }
QLabel#LblCount, QLabel#LblFileName { color: #9aa4ad; }
QTableView { gridline-color: #30363d; }
QHeaderView::section { background: #2b3036; color: #e6e9ec; border: none; border-right: 1px solid #3a4148; border-bottom: 1px solid #3a4148; padding: 2px 5px; font-weight: bold; }
)";

QPalette darkPalette(QPalette palette) {
    const QColor window(0x23, 0x28, 0x2e), text(0xe6, 0xe9, 0xec), base(0x15, 0x18, 0x1c),
        button(0x3a, 0x41, 0x48), muted(0x9a, 0xa4, 0xad);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x25, 0x63, 0xeb));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, muted);
    palette.setColor(QPalette::Mid, QColor(0x4b, 0x53, 0x5c));
    palette.setColor(QPalette::Dark, base);
    palette.setColor(QPalette::Light, QColor(0x4b, 0x53, 0x5c));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, muted.darker(130));
    return palette;
}

} // namespace

Panel::Panel(shared::RunState& state, meter_link::MeterProtocol& protocol,
             widgets::UserDialogs& dialogs, QString deviceLabel, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_protocol(protocol), m_dialogs(dialogs),
      m_deviceLabel(std::move(deviceLabel)), m_gate(protocol), m_recorder(state.recording) {
    setObjectName(QStringLiteral("Panel"));
    setWindowTitle(kCaption);

    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("centralPanel"));
    PicC = new UnitPanel(QStringLiteral("C"), QStringLiteral("°C"), m_state.alarms.AlarmSetpointC,
                         m_central);
    PicF = new UnitPanel(QStringLiteral("F"), QStringLiteral("°F"), m_state.alarms.AlarmSetpointF,
                         m_central);
    PicF->hide();
    auto* column = new QVBoxLayout(m_central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* panels = new QVBoxLayout;
    panels->setContentsMargins(8, 8, 8, 8);
    panels->addWidget(PicC);
    panels->addWidget(PicF);
    column->addLayout(panels, 1);
    column->addWidget(buildStatusBar(m_central));
    setCentralWidget(m_central);
    buildToolbar();

    // The pop-ups float over the channel cards, as panels of the window.
    PicAlmRange = new AlarmRangePanel(
        [this]() -> UnitPanel& { return m_state.live.MeterFahrenheit ? *PicF : *PicC; }, m_central);
    ComboP = new QComboBox(m_central);
    ComboP->setObjectName(QStringLiteral("ComboP"));
    ComboP->setToolTip(tr("Meter power-off time"));
    ComboP->hide();
    connect(ComboP, &QComboBox::activated, this, &Panel::ComboP_Click);
    // The logger and erase panels are filled by their own windows' code.
    PicLogger = new QFrame(m_central);
    PicLogger->setObjectName(QStringLiteral("PicLogger"));
    PicLogger->hide();
    PicErase = new QFrame(m_central);
    PicErase->setObjectName(QStringLiteral("PicErase"));
    PicErase->hide();

    applyTheme();
    resize(kDefaultSize);

    Timer1.setInterval(kTimer1Ms);
    Timer2.setInterval(kTimer2Ms);
    connect(&Timer1, &QTimer::timeout, this, &Panel::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &Panel::Timer2_Timer);

    m_protocol.setHooks({
        [this] {
            Timer1.stop();
            Timer2.stop();
        },
        [this] { closeList(); },
        [this](bool up) { showLink(up); },
        [this](int k) { setUpChannelDisplay(k); },
        [this] {
            enable(Timer1);
            enable(Timer2);
        },
    });
}

Panel::~Panel() {
    m_protocol.stop();
}

void Panel::buildToolbar() {
    // Grouped: recording and files, windows, meter, display.
    Toolbar1 = makeKeyToolbar(this, kToolbarButtons,
                              [this](const QString& key) { Toolbar1_ButtonClick(key); });
    setKeyRunner(Toolbar1, [this](std::function<void()> click) { m_gate.run(std::move(click)); });
    addToolBar(Qt::TopToolBarArea, Toolbar1);
}

QWidget* Panel::buildStatusBar(QWidget* parent) {
    auto* bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("bottomBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    LblCOM = new ClickLabel([this] { LblCOM_Click(); }, bar);
    LblCOM->setObjectName(QStringLiteral("LblCOM"));
    LblCOM->setProperty("linkUp", false);
    LblCOM->setToolTip(tr("Serial port of the meter"));
    LblRec = new QLabel(QStringLiteral("Rec."), bar);
    LblRec->setObjectName(QStringLiteral("LblRec"));
    LblRec->hide();
    LblCount = new QLabel(bar);
    LblCount->setObjectName(QStringLiteral("LblCount"));
    LblFileName = new QLabel(bar);
    LblFileName->setObjectName(QStringLiteral("LblFileName"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(10, 3, 10, 3);
    row->setSpacing(10);
    row->addWidget(LblCOM);
    row->addStretch(1);
    row->addWidget(LblRec);
    row->addWidget(LblCount);
    row->addWidget(LblFileName);
    return bar;
}

void Panel::applyTheme() {
    // Widgets under a style sheet take the application's palette, not the
    // window's: the whole program shares the dark theme.
    QApplication::setPalette(darkPalette(QApplication::palette()));
    setStyleSheet(QString::fromUtf8(kStyleSheet));
}

QAction* Panel::toolbarAction(const QString& key) const {
    return findKeyAction(Toolbar1, key);
}

recording::ListWindow* Panel::listWindow() const {
    return m_list;
}

recording::FileListWindow* Panel::fileListWindow() const {
    return m_fileList;
}

void Panel::Form_Load() {
    m_state.link.NeedResync = true;
    m_state.windows.ManualListOpen = false;
    move(0, 0);
    showLink(true);
    m_state.recording.RecordingActive = false;
    m_state.recording.PcSamplingSeconds = 1.0f;
    m_state.recording.StartDateTime =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    m_state.windows.MemoryFormOpen = false;
    ComboP->addItems(
        {QStringLiteral(" 5 Minutes"), QStringLiteral("15 Minutes"), QStringLiteral("30 Minutes")});
    enable(Timer1);
    enable(Timer2);
}

void Panel::closeEvent(QCloseEvent* event) {
    // Ends every wait in progress, so the nested event loops unwind.
    m_protocol.stop();
    Timer1.stop();
    Timer2.stop();
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

void Panel::enable(QTimer& timer) {
    // Enabling a running timer must not restart its interval.
    if (!timer.isActive())
        timer.start();
}

void Panel::Timer1_Timer() {
    // A tick waits for its frame in the event loop, where the timer fires again.
    if (!m_gate.beginTick())
        return;
    const auto done = qScopeGuard([this] { m_gate.endTick(); });
    switch (LiveTick(m_protocol, m_state)) {
    case TickOutcome::Resynced:
    case TickOutcome::Stopped:
        return;
    case TickOutcome::Interrupted:
        // A re-synchronisation that gave way stopped the timer; the next tick
        // starts it again once the user's command has run.
        enable(Timer1);
        return;
    case TickOutcome::Stable:
        enable(Timer2);
        return;
    case TickOutcome::Changed:
        break;
    }
    Timer2.stop();
    closeList();
    if (m_state.recording.RecordingActive)
        stopRecording();
    showUnitPanel(m_state.live.MeterFahrenheit);
    setUpDisplays();
    AcceptConfiguration(m_state);
    // Timer2 stays off until the next tick finds the channels stable.
}

void Panel::Timer2_Timer() {
    const auto shown = recording::RunDisplayCycle(m_state);
    if (!shown)
        return;
    shared::PerChannel<QString> textsC, textsF;
    for (int k = 0; k < shared::kChannels; ++k) {
        textsC[k] = shown->c[k].text;
        textsF[k] = shown->f[k].text;
        for (auto [panel, channel] :
             {std::pair{PicC, &shown->c[k]}, std::pair{PicF, &shown->f[k]}}) {
            panel->LblValue[k]->setText(channel->text);
            if (channel->alarm == recording::AlarmShow::Hide)
                panel->LblAlarm[k]->hide();
            else
                panel->LblAlarm[k]->setVisible(!panel->LblAlarm[k]->isVisible());
            if (channel->point)
                panel->CWG[k]->appendPoint(*channel->point);
        }
    }
    recordCycle(textsC, textsF);
    recording::FinishCycle(m_state.recording);
}

void Panel::showUnitPanel(bool fahrenheit) {
    // The panel going away is hidden first: with both shown for a moment the
    // layout would make room for two, and the window would grow to fit.
    (fahrenheit ? PicC : PicF)->hide();
    (fahrenheit ? PicF : PicC)->show();
}

void Panel::setUpChannelDisplay(int k) {
    const auto& live = m_state.live;
    PicC->setUpChannel(k, live.TypeLetter[k], live.ScaleMinC[k], live.ScaleMaxC[k]);
    PicF->setUpChannel(k, live.TypeLetter[k], live.ScaleMinF[k], live.ScaleMaxF[k]);
}

void Panel::setUpDisplays() {
    ++m_displaySetUps;
    for (int k = 0; k < shared::kChannels; ++k)
        setUpChannelDisplay(k);
}

void Panel::showLink(bool up) {
    LblCOM->setText(up ? meter_link::linkLabel(m_state.link.PortNumber, m_deviceLabel)
                       : QStringLiteral("No COM"));
    LblCOM->setProperty("linkUp", up);
    LblCOM->style()->unpolish(LblCOM);
    LblCOM->style()->polish(LblCOM);
    if (!up) {
        PicC->clearReadings();
        PicF->clearReadings();
    }
}

void Panel::LblCOM_Click() {
    setWindowTitle(windowTitle().contains(QStringLiteral("101126"))
                       ? kCaption
                       : kCaption + QStringLiteral("   101126"));
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

    if (key == QLatin1String("Save")) {
        if (m_state.recording.RecordingActive)
            stopRecording();
        else
            startRecording();
    } else if (key == QLatin1String("Open")) {
        openDataFile();
    } else if (key == QLatin1String("Sampling")) {
        sampling();
    } else if (key == QLatin1String("List")) {
        openList();
    } else if (key == QLatin1String("RTC")) {
        // The clock window arrives with the clock support; until then only
        // the refusal while the meter logs applies.
        if (m_state.live.MeterRecording)
            m_dialogs.message(this, QStringLiteral("Recording mode, stop record then try again !"),
                              {}, widgets::UserDialogs::Icon::Critical);
    } else if (key == QLatin1String("CF")) {
        auto& windows = m_state.windows;
        windows.CelsiusView = !windows.CelsiusView;
        showUnitPanel(PicF->isHidden()); // the panels swap
        windows.ViewUnit = windows.CelsiusView ? QStringLiteral("°C") : QStringLiteral("°F");
    } else if (key == QLatin1String("Alarm")) {
        PicAlmRange->setVisible(!PicAlmRange->isVisible());
        PicAlmRange->refill();
        placePopups();
    } else if (key == QLatin1String("Poweroff")) {
        if (ComboP->isVisible())
            ComboP->hide();
        else
            runExchange([this] { readPowerOffTime(); });
    }
}

void Panel::readPowerOffTime() {
    Timer1.stop();
    const auto index = m_protocol.readPowerOffIndex();
    if (m_protocol.stopped())
        return;
    if (!index) {
        // A short reply means the link is gone; the resync restarts the timers.
        m_protocol.ResyncMeter();
        return;
    }
    // An unknown code leaves the list without a selection rather than guessing.
    ComboP->setCurrentIndex(*index >= 0 && *index < ComboP->count() ? *index : -1);
    placePopups();
    ComboP->show();
    ComboP->raise();
    enable(Timer1);
}

void Panel::ComboP_Click(int index) {
    runExchange([this, index] {
        Timer1.stop();
        m_protocol.setPowerOffIndex(index);
        if (!m_protocol.stopped())
            enable(Timer1);
        ComboP->hide();
    });
}

void Panel::runExchange(std::function<void()> exchange) {
    m_gate.runExchange(std::move(exchange));
}

} // namespace quadtherm::main_window
