#include "main_window/ui/status_bar.h"

#include <QEvent>
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
    LblNote = new QLabel(this);
    LblNote->setObjectName(QStringLiteral("LblNote"));
    m_noteTimer = new QTimer(this);
    m_noteTimer->setSingleShot(true);
    m_noteTimer->setInterval(kFlashMs);
    connect(m_noteTimer, &QTimer::timeout, this, [this] { LblNote->setText(m_lastingNote); });
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 3, 10, 3);
    row->setSpacing(10);
    row->addWidget(LblCOM);
    row->addWidget(LblBusy);
    row->addWidget(LblNote);
    row->addStretch(1);
    row->addWidget(LblRec);
    row->addWidget(LblCount);
    row->addWidget(LblFileName);
}

void StatusBar::showLink(const QString& text, bool up) {
    LblCOM->setText(text);
    // The style sheet colours the label by this property.
    LblCOM->setProperty("linkUp", up);
    LblCOM->style()->unpolish(LblCOM);
    LblCOM->style()->polish(LblCOM);
}

void StatusBar::recordingStarted(const QString& fileName) {
    m_lastingNote.clear();
    m_noteTimer->stop();
    LblNote->clear();
    LblFileName->setText(fileName);
    LblRec->setText(QStringLiteral("Rec."));
    LblRec->show();
}

void StatusBar::recordingEnded(const QString& note) {
    m_lastingNote = note;
    m_noteTimer->stop();
    LblNote->setText(note);
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
    }
}

void StatusBar::showBusy(const QString& busyWith) {
    LblBusy->setText(busyWith.isEmpty() ? QString()
                                        : QStringLiteral("Meter busy %1").arg(busyWith));
    LblBusy->setVisible(!busyWith.isEmpty());
}

void StatusBar::flashNote(const QString& text) {
    LblNote->setText(text);
    m_noteTimer->start();
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LblCOM && event->type() == QEvent::MouseButtonPress)
        Q_EMIT portLabelClicked();
    return QWidget::eventFilter(watched, event);
}

} // namespace quadtherm::main_window
