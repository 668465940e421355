#include "main_window/ui/alarm_control.h"

#include "widgets/theme.h"
#include "widgets/vector_icon.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QSpinBox>

namespace quadtherm::main_window {

namespace {

QIcon bellIcon(bool on) {
    return widgets::vectorIcon(
        [on](QPainter& p, QIcon::Mode) {
            const QColor ink = on ? widgets::theme::kCyan : widgets::theme::kMuted;
            QPainterPath bell;
            bell.moveTo(12, 3);
            bell.cubicTo(7, 3, 6.5, 8, 6.5, 11);
            bell.lineTo(6.5, 15);
            bell.lineTo(4.5, 18);
            bell.lineTo(19.5, 18);
            bell.lineTo(17.5, 15);
            bell.lineTo(17.5, 11);
            bell.cubicTo(17.5, 8, 17, 3, 12, 3);
            p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPath(bell);
            p.drawArc(QRectF(9.5, 17.5, 5, 4), 180 * 16, 180 * 16);
            if (!on)
                p.drawLine(QPointF(4, 4), QPointF(20, 20));
        },
        on ? QStringLiteral("bell-on") : QStringLiteral("bell-off"));
}

} // namespace

AlarmControl::AlarmControl(QWidget* parent) : QToolButton(parent) {
    setObjectName(QStringLiteral("BtnAlarm"));
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(16, 16));
    auto* menu = new QMenu(this);
    ActSound = menu->addAction(tr("Sound the alarm"));
    ActSound->setObjectName(QStringLiteral("ActSound"));
    ActSound->setCheckable(true);
    ActSettings = menu->addAction(tr("Alarm sound settings…"));
    ActSettings->setObjectName(QStringLiteral("ActSettings"));
    connect(ActSound, &QAction::toggled, this, [this](bool on) {
        if (on == m_choice.enabled)
            return;
        m_choice.enabled = on;
        showChoice(m_choice);
        Q_EMIT choiceChanged(m_choice);
    });
    connect(ActSettings, &QAction::triggered, this, &AlarmControl::openSettings);
    connect(this, &QToolButton::clicked, this, [this, menu] {
        if (m_ringing)
            Q_EMIT acknowledged();
        else
            menu->popup(mapToGlobal(QPoint(0, -menu->sizeHint().height())));
    });
    showChoice(m_choice);
}

void AlarmControl::showChoice(const shared::AlarmSoundChoice& choice) {
    m_choice = choice;
    ActSound->setChecked(choice.enabled);
    if (!m_ringing) {
        setIcon(bellIcon(choice.enabled));
        setText({});
        setToolTip(choice.enabled ? tr("The alarm sounds when a channel reaches its setpoint")
                                  : tr("The alarm makes no sound"));
    }
}

void AlarmControl::showRinging(bool ringing, const QString& reason) {
    m_ringing = ringing;
    setProperty("ringing", ringing);
    style()->unpolish(this);
    style()->polish(this);
    if (ringing) {
        setText(tr("Acknowledge (Esc)"));
        setToolTip(reason);
    } else {
        showChoice(m_choice);
    }
}

void AlarmControl::openSettings() {
    if (m_dialog) {
        m_dialog->raise();
        return;
    }
    auto* dialog = new QDialog(window());
    m_dialog = dialog;
    dialog->setObjectName(QStringLiteral("AlarmSoundSettings"));
    dialog->setWindowTitle(tr("Alarm sound"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* delay = new QSpinBox(dialog);
    delay->setObjectName(QStringLiteral("SpinDelay"));
    delay->setRange(0, 86400);
    delay->setSuffix(tr(" s"));
    delay->setValue(m_choice.delaySeconds);
    auto* margin = new QDoubleSpinBox(dialog);
    margin->setObjectName(QStringLiteral("SpinMargin"));
    margin->setRange(0, 1000);
    margin->setDecimals(1);
    margin->setSuffix(QStringLiteral(" °"));
    margin->setValue(m_choice.marginDegrees);
    auto* snooze = new QSpinBox(dialog);
    snooze->setObjectName(QStringLiteral("SpinSnooze"));
    snooze->setRange(0, 24 * 60);
    snooze->setSuffix(tr(" min"));
    snooze->setValue(m_choice.snoozeSeconds / 60);
    auto* form = new QFormLayout(dialog);
    form->addRow(tr("Sound once the alarm has held for"), delay);
    form->addRow(tr("Stop when the reading is below the setpoint by"), margin);
    form->addRow(tr("After an acknowledge, stay quiet for"), snooze);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, dialog, [this, dialog, delay, margin, snooze] {
        m_choice.delaySeconds = delay->value();
        m_choice.marginDegrees = margin->value();
        m_choice.snoozeSeconds = snooze->value() * 60;
        Q_EMIT choiceChanged(m_choice);
        dialog->accept();
    });
    dialog->open();
}

} // namespace quadtherm::main_window
