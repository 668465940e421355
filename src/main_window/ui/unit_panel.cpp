#include "main_window/ui/unit_panel.h"

#include "shared/clock.h"
#include "widgets/knob_gauge.h"
#include "widgets/numeric_edit.h"
#include "widgets/strip_chart.h"
#include "widgets/theme.h"

#include <QAction>
#include <QActionGroup>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quadtherm::main_window {

namespace {

// The chart shows the last five minutes at one point a second.
constexpr double kChartFirstX = 1;
constexpr double kChartLastX = 300;

QLabel* label(const QString& name, const char* role, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setProperty("role", role);
    return l;
}

} // namespace

UnitPanel::UnitPanel(const QString& prefix, const QString& unitSymbol,
                     shared::PerChannel<double>& setpoints, QWidget* parent)
    : QFrame(parent), m_setpoints(setpoints) {
    setObjectName(QStringLiteral("Pic") + prefix);
    auto* modes = new QActionGroup(this);
    m_beforeNow = new QAction(tr("Time before now"), modes);
    m_clockTime = new QAction(tr("Clock time"), modes);
    for (QAction* mode : {m_beforeNow, m_clockTime}) {
        mode->setCheckable(true);
        connect(mode, &QAction::triggered, this, [this, mode] {
            const auto chosen = mode == m_clockTime ? widgets::TimeAxisMode::ClockTime
                                                    : widgets::TimeAxisMode::BeforeNow;
            setChartTimeMode(chosen);
            Q_EMIT chartTimeModeChosen(chosen);
        });
    }
    m_beforeNow->setChecked(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    for (int k = 0; k < shared::kChannels; ++k)
        row->addWidget(makeCard(k, prefix, unitSymbol), 1);
    connect(this, &UnitPanel::setpointChanged, this,
            [this](int k, double value) { CWG[k]->setSetpoint(value); });
}

QWidget* UnitPanel::makeCard(int k, const QString& prefix, const QString& unitSymbol) {
    auto* card = new QFrame(this);
    card->setProperty("role", "card");
    const QString channel = QStringLiteral("T%1").arg(k + 1);
    const QColor accent = widgets::theme::kChannelColors[k];

    LblTChanel[k] = label(prefix + QStringLiteral("LblTChanel"), "channel", channel, card);
    LblTChanel[k]->setStyleSheet(QStringLiteral("color: %1;").arg(accent.name()));
    LblType[k] = label(prefix + QStringLiteral("LblType"), "type", {}, card);
    LblType[k]->setToolTip(tr("Thermocouple type"));
    // Shown once the channel's type is known: an empty tag says nothing.
    LblType[k]->setVisible(false);
    LblAlarm[k] = label(prefix + QStringLiteral("LblAlarm"), "alarm", tr("ALARM"), card);
    LblAlarm[k]->setAlignment(Qt::AlignCenter);
    auto keep = LblAlarm[k]->sizePolicy();
    keep.setRetainSizeWhenHidden(true); // a blinking indicator must not shake the layout
    LblAlarm[k]->setSizePolicy(keep);
    LblAlarm[k]->hide();

    LblValue[k] = label(prefix + QStringLiteral("LblValue"), "value", {}, card);
    LblValue[k]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LblValue[k]->setMinimumWidth(
        LblValue[k]->fontMetrics().horizontalAdvance(QStringLiteral("-0000.0")));
    LblCF[k] = label(prefix + QStringLiteral("LblCF"), "unit", unitSymbol, card);
    LblCF[k]->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    CWG[k] = new widgets::StripChart(k, card);
    CWG[k]->setObjectName(prefix + QStringLiteral("CWG"));
    CWG[k]->setTraceColor(accent);
    CWG[k]->setXRange(kChartFirstX, kChartLastX);
    // Only the last screenful is ever shown; the graph window reads the history.
    CWG[k]->setHistoryLimit(2 * static_cast<int>(kChartLastX));
    CWG[k]->setMinimumHeight(90);
    CWG[k]->setTimeAxis(m_chartMode, m_chartInterval);
    CWG[k]->setValueLabel(unitSymbol);
    CWG[k]->setContextMenuPolicy(Qt::ActionsContextMenu);
    CWG[k]->addActions({m_beforeNow, m_clockTime});
    CWG[k]->setToolTip(tr("Click to open the graph of %1").arg(channel));
    connect(CWG[k], &widgets::StripChart::clicked, this, &UnitPanel::chartClicked);

    CWK[k] = new widgets::KnobGauge(k, card);
    CWK[k]->setObjectName(prefix + QStringLiteral("CWK"));
    CWK[k]->setAccentColor(accent);
    CWK[k]->setFixedSize(128, 112);
    CWK[k]->setToolTip(tr("%1 alarm setpoint").arg(channel));
    connect(CWK[k], &widgets::KnobGauge::pointerValueChanged, this,
            &UnitPanel::CWK_PointerValueChanged);

    CWE[k] = new widgets::NumericEdit(k, card);
    CWE[k]->setObjectName(prefix + QStringLiteral("CWE"));
    connect(CWE[k], &widgets::NumericEdit::valueChanged, this, &UnitPanel::CWE_ValueChanged);
    auto* editCaption = label({}, "caption", tr("%1 Alarm").arg(channel), card);
    editCaption->setBuddy(CWE[k]->spinBox());

    auto* head = new QHBoxLayout;
    head->setSpacing(6);
    head->addWidget(LblTChanel[k]);
    head->addWidget(LblType[k]);
    head->addStretch(1);
    head->addWidget(LblAlarm[k]);

    auto* value = new QHBoxLayout;
    value->setSpacing(4);
    value->addStretch(1);
    value->addWidget(LblValue[k]);
    value->addWidget(LblCF[k]);

    // The edit box keeps the width its numbers need; a wide window gives
    // its room to the chart above.
    CWE[k]->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* setpoint = new QVBoxLayout;
    setpoint->addStretch(1);
    setpoint->addWidget(editCaption);
    setpoint->addWidget(CWE[k]);
    setpoint->addStretch(1);
    auto* alarm = new QHBoxLayout;
    alarm->setSpacing(6);
    alarm->addWidget(CWK[k]);
    alarm->addLayout(setpoint);
    alarm->addStretch(1);

    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(10, 8, 10, 8);
    column->setSpacing(4);
    column->addLayout(head);
    column->addLayout(value);
    column->addWidget(CWG[k], 1);
    column->addLayout(alarm);
    return card;
}

void UnitPanel::setUpChannel(int k, const QString& typeLetter, double scaleMin, double scaleMax) {
    CWG[k]->clear();
    CWG[k]->setXRange(kChartFirstX, kChartLastX);
    LblType[k]->setText(typeLetter);
    LblType[k]->setVisible(!typeLetter.isEmpty());
    // A new range pulls the widgets' old value into it and they report that
    // value: it must not land on the setpoint just given to the channel. The
    // stored setpoint then takes what the widgets show, pulled into the range
    // itself when it lies outside (a type change keeps the old setpoint).
    const double setpoint = m_setpoints[k];
    m_syncing = true;
    CWK[k]->setAxisRange(scaleMin, scaleMax);
    CWE[k]->setRange(scaleMin, scaleMax);
    CWK[k]->setValue(setpoint);
    CWE[k]->setValue(CWK[k]->value());
    CWK[k]->setValue(CWE[k]->value());
    m_syncing = false;
    m_setpoints[k] = CWK[k]->value();
    Q_EMIT setpointChanged(k, m_setpoints[k]);
}

void UnitPanel::showCycle(const shared::PerChannel<session::ShownChannel>& channels) {
    const QDateTime now = m_clock ? m_clock->now() : QDateTime();
    for (int k = 0; k < shared::kChannels; ++k) {
        const session::ShownChannel& channel = channels[k];
        LblValue[k]->setText(channel.text);
        if (channel.alarm == session::AlarmShow::Hide)
            LblAlarm[k]->hide();
        else
            LblAlarm[k]->setVisible(!LblAlarm[k]->isVisible());
        if (channel.point)
            CWG[k]->appendPoint(*channel.point, now);
    }
}

void UnitPanel::setChartInterval(int seconds) {
    if (seconds <= 0 || seconds == m_chartInterval)
        return;
    m_chartInterval = seconds;
    for (widgets::StripChart* chart : CWG) {
        chart->clear();
        chart->setXRange(kChartFirstX, kChartLastX);
        chart->setTimeAxis(m_chartMode, m_chartInterval);
    }
}

void UnitPanel::setChartTimeMode(widgets::TimeAxisMode mode) {
    m_chartMode = mode;
    (mode == widgets::TimeAxisMode::ClockTime ? m_clockTime : m_beforeNow)->setChecked(true);
    for (widgets::StripChart* chart : CWG)
        chart->setTimeAxis(m_chartMode, m_chartInterval);
}

void UnitPanel::clearReadings() {
    for (int k = 0; k < shared::kChannels; ++k) {
        LblValue[k]->clear();
        LblAlarm[k]->hide();
        CWG[k]->clear();
    }
}

// The knob and the edit box of a channel update each other; the guard keeps
// the second widget's echo from coming back. A peer that clamps the value to
// its own limits wins, so both end with the value it shows.
void UnitPanel::CWE_ValueChanged(int index, double value) {
    if (m_syncing)
        return;
    m_syncing = true;
    CWK[index]->setValue(value);
    const double shown = CWK[index]->value();
    CWE[index]->setValue(shown);
    m_setpoints[index] = CWE[index]->value();
    m_syncing = false;
    Q_EMIT setpointChanged(index, m_setpoints[index]);
}

void UnitPanel::CWK_PointerValueChanged(int index, int, double value) {
    if (m_syncing)
        return;
    m_syncing = true;
    CWE[index]->setValue(value);
    const double shown = CWE[index]->value();
    CWK[index]->setValue(shown);
    m_setpoints[index] = CWK[index]->value();
    m_syncing = false;
    Q_EMIT setpointChanged(index, m_setpoints[index]);
}

} // namespace quadtherm::main_window
