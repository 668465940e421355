#include "clock_keypad/ui/setup_window.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

namespace quadtherm::clock_keypad {

namespace {

// 1500 × 1000 twips at 15 twips a pixel.
constexpr QPoint kOffsetFromMain(100, 67);

// A clock display that a click (or Space, once Tab has reached it) turns on and off.
class ClockLabel : public QLabel {
public:
    ClockLabel(const QString& objectName, std::function<void()> onClick, QWidget* parent)
        : QLabel(parent), m_onClick(std::move(onClick)) {
        setObjectName(objectName);
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        setAlignment(Qt::AlignCenter);
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(12);
        mono.setBold(true);
        setFont(mono);
        // As wide as a date and time, so the window keeps its size when a
        // caption turns into a clock.
        setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00 00:00:00")) +
                        28);
        setMinimumHeight(fontMetrics().height() + 14);
        setStyleSheet(QStringLiteral(
            "QLabel { background: #15181c; border: 1px solid #3a4148; border-radius: 5px; }"
            "QLabel:hover { border-color: #5b646e; }"
            "QLabel:focus { border: 2px solid #38bdf8; }"));
    }

protected:
    void mousePressEvent(QMouseEvent*) override { m_onClick(); }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
            m_onClick();
        else
            QLabel::keyPressEvent(event);
    }

private:
    std::function<void()> m_onClick;
};

} // namespace

Setup::Setup(session::SessionClient& client, QWidget* parent) : QDialog(parent), m_clock(client) {
    setObjectName(QStringLiteral("Setup"));
    setWindowTitle(QStringLiteral("Setup"));
    setModal(true);
    // The dialog itself takes the focus when it opens: no clock is marked,
    // or switched by Space, before Tab has gone to it.
    setFocusPolicy(Qt::ClickFocus);

    FrameTime = new QGroupBox(QStringLiteral("Time"), this);
    FrameTime->setObjectName(QStringLiteral("FrameTime"));
    LblMeterTime = new ClockLabel(
        QStringLiteral("LblMeterTime"), [this] { m_clock.LblMeterTime_Click(); }, FrameTime);
    LblMeterTime->setToolTip(tr("Click to show or hide the meter's clock"));
    LblPCTime = new ClockLabel(
        QStringLiteral("LblPCTime"), [this] { m_clock.LblPCTime_Click(); }, FrameTime);
    LblPCTime->setToolTip(tr("Click to show or hide this computer's clock"));
    auto* clocks = new QVBoxLayout(FrameTime);
    clocks->setContentsMargins(12, 14, 12, 12);
    clocks->setSpacing(8);
    clocks->addWidget(LblMeterTime);
    clocks->addWidget(LblPCTime);

    CmdSetTime = new QPushButton(QStringLiteral("Set Meter Time To System Time"), this);
    CmdSetTime->setObjectName(QStringLiteral("CmdSetTime"));
    CmdExit = new QPushButton(QStringLiteral("Exit"), this);
    CmdExit->setObjectName(QStringLiteral("CmdExit"));
    // Enter must not set the meter's clock by accident.
    CmdSetTime->setAutoDefault(false);
    CmdExit->setAutoDefault(false);
    connect(CmdSetTime, &QPushButton::clicked, this, [this] { m_clock.CmdSetTime_Click(); });
    connect(CmdExit, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(CmdSetTime, 1);
    buttons->addWidget(CmdExit);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 10, 12, 12);
    column->setSpacing(10);
    column->addWidget(FrameTime);
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);

    connect(&m_clock, &ClockSetup::meterTimeShown, LblMeterTime, &QLabel::setText);
    connect(&m_clock, &ClockSetup::pcTimeShown, LblPCTime, &QLabel::setText);
    connect(&m_clock, &ClockSetup::unloadRequested, this, &QDialog::reject);
}

void Setup::openFrom(const QWidget& main) {
    // Refused, with a note on the bottom bar, while the meter is busy.
    if (!m_clock.Form_Load())
        return;
    move(main.pos() + kOffsetFromMain);
    show();
    setFocus(Qt::ActiveWindowFocusReason);
    raise();
    activateWindow();
}

void Setup::done(int result) {
    QDialog::done(result);
    m_clock.Form_Unload();
}

} // namespace quadtherm::clock_keypad
