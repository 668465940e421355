#include "main_window/ui/alarm_range.h"

#include "main_window/ui/unit_panel.h"
#include "shared/reading_text.h"
#include "widgets/knob_gauge.h"
#include "widgets/numeric_edit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace quadtherm::main_window {

LimitKey classifyLimitKey(int key, const QString& text) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return LimitKey::Apply;
    // Keys without a character (arrows, Delete, Home) edit the box as usual.
    if (text.isEmpty() || key == Qt::Key_Backspace)
        return LimitKey::Accept;
    if (text.size() == 1) {
        const QChar c = text.front();
        if ((c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == QChar(8))
            return LimitKey::Accept;
    }
    return LimitKey::Discard;
}

namespace {

// The shortest text that reads back as the same value, without an exponent:
// a box reads its leading number, so "1e+17" would come back as 1.
QString limitText(double value) {
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

} // namespace

AlarmRangePanel::AlarmRangePanel(std::function<UnitPanel&()> target, QWidget* parent)
    : QFrame(parent), m_target(std::move(target)) {
    setObjectName(QStringLiteral("PicAlmRange"));
    setProperty("role", "popup");
    auto* channels = new QHBoxLayout;
    channels->setSpacing(8);
    for (int k = 0; k < shared::kChannels; ++k) {
        FrameAlm[k] = new QGroupBox(QStringLiteral("T%1").arg(k + 1), this);
        FrameAlm[k]->setObjectName(QStringLiteral("FrameAlm"));
        auto* grid = new QGridLayout(FrameAlm[k]);
        grid->setContentsMargins(8, 6, 8, 8);
        MaxLabel[k] = new QLabel(QStringLiteral("Max"), FrameAlm[k]);
        MinLabel[k] = new QLabel(QStringLiteral("Min"), FrameAlm[k]);
        MaxText[k] = new QLineEdit(FrameAlm[k]);
        MinText[k] = new QLineEdit(FrameAlm[k]);
        MaxLabel[k]->setObjectName(QStringLiteral("MaxLabel"));
        MinLabel[k]->setObjectName(QStringLiteral("MinLabel"));
        MaxText[k]->setObjectName(QStringLiteral("MaxText"));
        MinText[k]->setObjectName(QStringLiteral("MinText"));
        for (QLineEdit* box : {MaxText[k], MinText[k]}) {
            box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("-00000.00")) +
                                 12);
            box->setAlignment(Qt::AlignRight);
            box->installEventFilter(this);
        }
        MaxLabel[k]->setBuddy(MaxText[k]);
        MinLabel[k]->setBuddy(MinText[k]);
        grid->addWidget(MaxLabel[k], 0, 0);
        grid->addWidget(MaxText[k], 0, 1);
        grid->addWidget(MinLabel[k], 1, 0);
        grid->addWidget(MinText[k], 1, 1);
        channels->addWidget(FrameAlm[k]);
    }
    CmdAlmOK = new QPushButton(QStringLiteral("OK"), this);
    CmdAlmCancel = new QPushButton(QStringLiteral("Cancel"), this);
    CmdAlmOK->setObjectName(QStringLiteral("CmdAlmOK"));
    CmdAlmCancel->setObjectName(QStringLiteral("CmdAlmCancel"));
    // Enter belongs to the limit boxes, never to a default button.
    CmdAlmOK->setAutoDefault(false);
    CmdAlmCancel->setAutoDefault(false);
    connect(CmdAlmOK, &QPushButton::clicked, this, &AlarmRangePanel::CmdAlmOK_Click);
    connect(CmdAlmCancel, &QPushButton::clicked, this, &AlarmRangePanel::CmdAlmCancel_Click);

    auto* title = new QLabel(tr("Alarm setpoint range"), this);
    title->setProperty("role", "popupTitle");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdAlmOK);
    buttons->addWidget(CmdAlmCancel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 10, 12, 10);
    column->addWidget(title);
    column->addLayout(channels);
    column->addLayout(buttons);
    hide();
}

void AlarmRangePanel::refill() {
    UnitPanel& source = m_target();
    for (int k = 0; k < shared::kChannels; ++k) {
        MaxText[k]->setText(limitText(source.CWE[k]->maximum()));
        MinText[k]->setText(limitText(source.CWE[k]->minimum()));
    }
}

void AlarmRangePanel::applyBound(int channel, bool maximum) {
    UnitPanel& target = m_target();
    auto* edit = target.CWE[channel];
    auto* knob = target.CWK[channel];
    if (maximum) {
        const double value = shared::leadingNumber(MaxText[channel]->text());
        edit->setMaximum(value);
        knob->setAxisMaximum(value);
    } else {
        const double value = shared::leadingNumber(MinText[channel]->text());
        edit->setMinimum(value);
        knob->setAxisMinimum(value);
    }
}

void AlarmRangePanel::CmdAlmOK_Click() {
    for (int k = 0; k < shared::kChannels; ++k) {
        UnitPanel& target = m_target();
        const double max = shared::leadingNumber(MaxText[k]->text());
        const double min = shared::leadingNumber(MinText[k]->text());
        target.CWE[k]->setMaximum(max);
        target.CWE[k]->setMinimum(min);
        target.CWK[k]->setAxisMaximum(max);
        target.CWK[k]->setAxisMinimum(min);
    }
    hide();
}

void AlarmRangePanel::CmdAlmCancel_Click() {
    hide();
}

bool AlarmRangePanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    for (int k = 0; k < shared::kChannels; ++k) {
        if (watched != MaxText[k] && watched != MinText[k])
            continue;
        switch (classifyLimitKey(key->key(), key->text())) {
        case LimitKey::Accept:
            return false;
        case LimitKey::Discard:
            return true;
        case LimitKey::Apply:
            applyBound(k, watched == MaxText[k]);
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace quadtherm::main_window
