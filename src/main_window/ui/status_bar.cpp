#include "main_window/ui/status_bar.h"

#include "main_window/ui/alarm_control.h"

#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QTimer>

namespace quadtherm::main_window {

namespace {

// Long enough to be read; a note that stays would be taken for the state.
constexpr int kFlashMs = 8000;

} // namespace

StatusBar::StatusBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("bottomBar"));
    setAttribute(Qt::WA_StyledBackground);
    LblCOM = new QLabel(this);
    LblCOM->setObjectName(QStringLiteral("LblCOM"));
    LblCOM->setProperty("linkUp", false);
    LblCOM->setToolTip(tr("Serial port of the meter"));
    LblCOM->installEventFilter(this);
    LblRec = new QLabel(QStringLiteral("Rec."), this);
    LblRec->setObjectName(QStringLiteral("LblRec"));
    LblRec->hide();
    LblCount = new QLabel(this);
    LblCount->setObjectName(QStringLiteral("LblCount"));
    LblFileName = new QLabel(this);
    LblFileName->setObjectName(QStringLiteral("LblFileName"));
    LblBusy = new QLabel(this);
    LblBusy->setObjectName(QStringLiteral("LblBusy"));
    LblBusy->hide();
    LblInterval = new QLabel(this);
    LblInterval->setObjectName(QStringLiteral("LblInterval"));
    LblInterval->setToolTip(
        tr("Recording interval of the PC, and the meter's own logging interval"));
    LblElapsed = new QLabel(this);
    LblElapsed->setObjectName(QStringLiteral("LblElapsed"));
    LblElapsed->setToolTip(tr("Time since the recording started"));
    LblMqtt = new QLabel(this);
    LblMqtt->setObjectName(QStringLiteral("LblMqtt"));
    LblMqtt->hide();
    LblNote = new QLabel(this);
    LblNote->setObjectName(QStringLiteral("LblNote"));
    // A long note is cut at the bar's end; it never widens the window.
    LblNote->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    LblNote->setMinimumWidth(0);
    m_noteTimer = new QTimer(this);
    m_noteTimer->setSingleShot(true);
    m_noteTimer->setInterval(kFlashMs);
    connect(m_noteTimer, &QTimer::timeout, this, [this] {
        m_flashNote.clear();
        showNote();
    });
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 3, 10, 3);
    row->setSpacing(10);
    row->addWidget(LblCOM);
    row->addWidget(LblBusy);
    row->addWidget(LblNote, 1);
    row->addWidget(LblMqtt);
    row->addWidget(LblInterval);
    row->addWidget(LblRec);
    row->addWidget(LblElapsed);
    row->addWidget(LblCount);
    row->addWidget(LblFileName);
    BtnAlarm = new AlarmControl(this);
    row->addWidget(BtnAlarm);
}

void StatusBar::showLink(const QString& text, bool up) {
    LblCOM->setText(text);
    // The style sheet colours the label by this property.
    LblCOM->setProperty("linkUp", up);
    LblCOM->style()->unpolish(LblCOM);
    LblCOM->style()->polish(LblCOM);
}

void StatusBar::recordingStarted(const QString& path) {
    m_lastingNote.clear();
    showNote();
    LblFileName->setText(QFileInfo(path).fileName());
    LblFileName->setToolTip(QFileInfo(path).absoluteFilePath());
    LblElapsed->setText(QStringLiteral("0:00:00"));
    LblRec->setText(QStringLiteral("Rec."));
    LblRec->show();
}

void StatusBar::recordingEnded(const QString& note) {
    m_lastingNote = note;
    showNote();
    LblElapsed->clear();
    LblFileName->setToolTip({});
    LblRec->hide();
    LblCount->clear();
    LblFileName->clear();
}

void StatusBar::showRecordCount(bool recording, qint64 count) {
    if (recording) {
        LblCount->setText(QString::number(count));
        LblRec->setText(QStringLiteral("Rec"));
    } else {
        LblFileName->clear();
        LblCount->clear();
        LblRec->clear();
        LblElapsed->clear();
    }
}

void StatusBar::showMqttConnected(bool connected) {
    LblMqtt->setText(connected ? QStringLiteral("MQTT") : QStringLiteral("MQTT offline"));
    // The style sheet colours the label by this property.
    LblMqtt->setProperty("connected", connected);
    LblMqtt->style()->unpolish(LblMqtt);
    LblMqtt->style()->polish(LblMqtt);
    LblMqtt->show();
}

void StatusBar::showMqttNote(const QString& note) {
    LblMqtt->setToolTip(note);
    // What happened, without what it means for the queue: that is in the tool tip.
    flashNote(QStringLiteral("MQTT: ") + note.section(u';', 0, 0));
}

void StatusBar::showBusy(const QString& busyWith) {
    LblBusy->setText(busyWith.isEmpty() ? QString()
                                        : QStringLiteral("Meter busy %1").arg(busyWith));
    LblBusy->setVisible(!busyWith.isEmpty());
}

void StatusBar::flashNote(const QString& text) {
    m_flashNote = text;
    showNote();
    m_noteTimer->start();
}

void StatusBar::showLinkHint(const QString& text) {
    m_linkHint = text;
    showNote();
}

void StatusBar::showNote() {
    LblNote->setText(!m_flashNote.isEmpty()  ? m_flashNote
                     : !m_linkHint.isEmpty() ? m_linkHint
                                             : m_lastingNote);
}

void StatusBar::showElapsed(const QString& text) {
    LblElapsed->setText(text);
}

void StatusBar::showInterval(const QString& text) {
    LblInterval->setText(text);
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LblCOM && event->type() == QEvent::MouseButtonPress)
        Q_EMIT portLabelClicked();
    return QWidget::eventFilter(watched, event);
}

} // namespace quadtherm::main_window
