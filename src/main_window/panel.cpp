#include "main_window/panel.h"

#include "meter_link/live_reading.h"
#include "shared/reading_text.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QScopeGuard>

namespace quadtherm::main_window {

namespace {

constexpr int kTimer1Ms = 50;
constexpr int kTimer2Ms = 1000;
constexpr int kStatusEveryTicks = 100;
const QString kCaption = QStringLiteral("Panel  V7.4");

class ClickLabel : public QLabel {
public:
    ClickLabel(std::function<void()> onClick, QWidget* parent)
        : QLabel(parent), m_onClick(std::move(onClick)) {}

protected:
    void mousePressEvent(QMouseEvent*) override { m_onClick(); }

private:
    std::function<void()> m_onClick;
};

} // namespace

Panel::Panel(shared::RunState& state, meter_link::MeterProtocol& protocol, QString deviceLabel,
             QWidget* parent)
    : QMainWindow(parent), m_state(state), m_protocol(protocol),
      m_deviceLabel(std::move(deviceLabel)) {
    setObjectName(QStringLiteral("Panel"));
    setWindowTitle(kCaption);

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->setHorizontalSpacing(24);
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    for (int k = 0; k < shared::kChannels; ++k) {
        auto* name = new QLabel(QStringLiteral("T%1").arg(k + 1), central);
        name->setFont(big);
        m_type[k] = new QLabel(central);
        m_valueC[k] = new QLabel(central);
        m_valueF[k] = new QLabel(central);
        for (QLabel* value : {m_valueC[k], m_valueF[k]}) {
            value->setFont(big);
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            value->setMinimumWidth(
                value->fontMetrics().horizontalAdvance(QStringLiteral("-0000.0 °C")));
        }
        grid->addWidget(name, k, 0);
        grid->addWidget(m_type[k], k, 1);
        grid->addWidget(m_valueC[k], k, 2);
        grid->addWidget(m_valueF[k], k, 3);
    }
    m_lblCOM = new ClickLabel([this] { LblCOM_Click(); }, central);
    m_lblCOM->setObjectName(QStringLiteral("LblCOM"));
    m_lblCOM->setText(QStringLiteral("No COM"));
    grid->addWidget(m_lblCOM, shared::kChannels, 0, 1, 4);
    setCentralWidget(central);

    m_timer1.setInterval(kTimer1Ms);
    m_timer2.setInterval(kTimer2Ms);
    connect(&m_timer1, &QTimer::timeout, this, &Panel::Timer1_Timer);
    connect(&m_timer2, &QTimer::timeout, this, &Panel::Timer2_Timer);

    m_protocol.setHooks({
        [this] {
            m_timer1.stop();
            m_timer2.stop();
        },
        {},
        [this](bool up) { showLink(up); },
        {},
        [this] {
            setUpDisplays();
            m_timer1.start();
            m_timer2.start();
        },
    });
}

Panel::~Panel() {
    m_protocol.stop();
}

void Panel::Form_Load() {
    m_state.link.NeedResync = true;
    move(0, 0);
    showLink(true);
    m_timer1.start();
    m_timer2.start();
}

void Panel::closeEvent(QCloseEvent* event) {
    // Ends every wait in progress, so the nested event loops unwind.
    m_protocol.stop();
    m_timer1.stop();
    m_timer2.stop();
    event->accept();
}

void Panel::Timer1_Timer() {
    // A tick waits for its frame in the event loop, where the timer fires again.
    if (m_inTick)
        return;
    m_inTick = true;
    const auto done = qScopeGuard([this] { m_inTick = false; });
    auto& link = m_state.link;
    auto& live = m_state.live;
    if (link.NeedResync) {
        m_protocol.ResyncMeter();
        return;
    }
    if (++link.PollCount >= kStatusEveryTicks) {
        m_protocol.QueryStatus();
        link.PollCount = 0;
    }
    const auto frame = m_protocol.readReadingFrame();
    if (!frame) {
        if (!m_protocol.stopped())
            m_protocol.ResyncMeter();
        return;
    }
    meter_link::DecodeFrame(live, *frame);
    bool changed = live.UnitText != live.PrevUnitText;
    for (int k = 0; k < shared::kChannels; ++k)
        changed = changed || live.ProbePresent[k] != live.PrevProbePresent[k] ||
                  live.TypeCode[k] != live.PrevTypeCode[k];
    if (!changed) {
        m_timer2.start();
        return;
    }
    m_timer2.stop();
    meter_link::SetRanges(live, live.CurrentChannel);
    for (int k = 0; k < shared::kChannels; ++k) {
        live.PrevProbePresent[k] = live.ProbePresent[k];
        live.PrevTypeCode[k] = live.TypeCode[k];
    }
    live.PrevUnitText = live.UnitText;
    setUpDisplays();
}

void Panel::Timer2_Timer() {
    const auto& live = m_state.live;
    for (int k = 0; k < shared::kChannels; ++k) {
        const auto shown = [&](const QString& text, const char* unit) {
            return shared::shownReadingText(live.ProbePresent[k], live.OverRange[k],
                                            live.UnderRange[k],
                                            text + QChar(u' ') + QString::fromUtf8(unit));
        };
        m_valueC[k]->setText(shown(live.LiveTextC[k], "°C"));
        m_valueF[k]->setText(shown(live.LiveTextF[k], "°F"));
    }
}

void Panel::setUpDisplays() {
    for (int k = 0; k < shared::kChannels; ++k)
        m_type[k]->setText(m_state.live.TypeLetter[k]);
    Timer2_Timer();
}

void Panel::showLink(bool up) {
    if (!up) {
        m_lblCOM->setText(QStringLiteral("No COM"));
        return;
    }
    const int n = m_state.link.PortNumber;
    m_lblCOM->setText(n > 0 ? QStringLiteral("COM%1").arg(n) : m_deviceLabel);
}

void Panel::LblCOM_Click() {
    setWindowTitle(windowTitle().contains(QStringLiteral("101126"))
                       ? kCaption
                       : kCaption + QStringLiteral("   101126"));
}

} // namespace quadtherm::main_window
