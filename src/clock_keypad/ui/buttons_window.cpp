#include "clock_keypad/ui/buttons_window.h"

#include "clock_keypad/ui/keypad_key.h"
#include "session/session_client.h"
#include "widgets/keypad_images.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace quadtherm::clock_keypad {

namespace {

using Shape = KeypadKey::Shape;
using widgets::KeyPicture;

constexpr qreal kBodyRadius = 14;
constexpr int kCursorPadSide = 136;

// The cursor keys sit in a round dish, as on the meter.
class CursorPad : public QWidget {
public:
    explicit CursorPad(QWidget* parent) : QWidget(parent) {
        setFixedSize(kCursorPadSide, kCursorPadSide);
        auto* grid = new QGridLayout(this);
        grid->setContentsMargins(2, 2, 2, 2);
        grid->setSpacing(0);
        m_grid = grid;
    }
    void place(KeypadKey* key, int row, int column) {
        m_grid->addWidget(key, row, column, Qt::AlignCenter);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF dish = QRectF(rect()).adjusted(1, 1, -1, -1);
        QRadialGradient hollow(dish.center(), dish.width() / 2);
        hollow.setColorAt(0.0, QColor(0x1d, 0x21, 0x26));
        hollow.setColorAt(0.85, QColor(0x17, 0x1a, 0x1e));
        hollow.setColorAt(1.0, QColor(0x12, 0x14, 0x17));
        p.setBrush(hollow);
        p.setPen(QPen(QColor(0x3a, 0x41, 0x48), 1));
        p.drawEllipse(dish);
    }

private:
    QGridLayout* m_grid = nullptr;
};

QVBoxLayout* column(std::initializer_list<KeypadKey*> keys) {
    auto* out = new QVBoxLayout;
    out->setSpacing(8);
    out->addStretch(1);
    for (KeypadKey* key : keys)
        out->addWidget(key, 0, Qt::AlignHCenter);
    out->addStretch(1);
    return out;
}

} // namespace

Buttons::Buttons(session::SessionClient& client, QWidget* parent)
    : QWidget(parent, Qt::Window), m_clock(client.clock()), m_keypad(client, this) {
    setObjectName(QStringLiteral("Buttons"));
    setWindowTitle(QStringLiteral("Meter Buttons"));
    // The window itself takes the focus when it opens, so that no key is
    // marked, or pressed by Space, before Tab has gone to it.
    setFocusPolicy(Qt::ClickFocus);

    // Made in reading order, which is the order Tab goes through them.
    CmdHold = makeKey("CmdHold", "HOLD", QStringLiteral("HOLD"));
    CmdMaxMin = makeKey("CmdMaxMin", "MAXMIN", QStringLiteral("  MAX    MIN"));
    CmdCF = makeKey("CmdCF", "CF", QStringLiteral("C / F"));
    CmdType = makeKey("CmdType", "TYPE", QStringLiteral("TYPE"));
    CmdSet = makeKey("CmdSet", "SET", QStringLiteral("SET"));
    CmdAlarm = makeKey("CmdAlarm", "ALARM", QStringLiteral("ALARM"));
    CmdTime = makeKey("CmdTime", "TIME", QStringLiteral("TIME"));
    CmdUp = makeKey("CmdUp", "UP", QStringLiteral("Up"));
    CmdLeft = makeKey("CmdLeft", "LEFT", QStringLiteral("Left"));
    CmdEnter = makeKey("CmdEnter", "ENTER", QStringLiteral("Enter"));
    CmdRight = makeKey("CmdRight", "RIGHT", QStringLiteral("Right"));
    CmdDown = makeKey("CmdDown", "DOWN", QStringLiteral("Down"));
    CmdMem = makeKey("CmdMem", "MEM", QStringLiteral("MEM"));
    CmdRead = makeKey("CmdRead", "READ", QStringLiteral("READ"));
    LblBusy = new QLabel(this);
    LblBusy->setObjectName(QStringLiteral("LblBusy"));
    LblBusy->setAlignment(Qt::AlignCenter);
    LblBusy->setWordWrap(true);
    LblBusy->setStyleSheet(QStringLiteral("QLabel { color: #fbbf24; background: transparent; }"));
    layOut();
    connect(&client, &session::SessionClient::availabilityChanged, this,
            &Buttons::showAvailability);
    showAvailability(client.mirror().availability, client.mirror().busyWith);
}

void Buttons::showAvailability(session::Availability availability, const QString& busyWith) {
    const bool ready = availability == session::Availability::Ready;
    for (KeypadKey* key : findChildren<KeypadKey*>())
        key->setEnabled(ready);
    LblBusy->setText(availability == session::Availability::LinkDown
                         ? QStringLiteral("No COM: the keys wait for the link to the meter.")
                         : QStringLiteral("The meter is busy %1.").arg(busyWith));
    // The line keeps its room, so the window does not jump as it comes and goes.
    QSizePolicy keep = LblBusy->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    LblBusy->setSizePolicy(keep);
    LblBusy->setVisible(!ready);
}

KeypadKey* Buttons::makeKey(const char* control, std::string_view meterKey,
                            const QString& caption) {
    static const std::pair<std::string_view, KeyPicture> kPictures[] = {
        {"UP", KeyPicture::Up},       {"LEFT", KeyPicture::Left}, {"ENTER", KeyPicture::Enter},
        {"RIGHT", KeyPicture::Right}, {"DOWN", KeyPicture::Down},
    };
    const meter_link::MeterKey* key = meter_link::findMeterKey(meterKey);
    Q_ASSERT(key);
    Shape shape = meterKey == "MAXMIN" ? Shape::Plate : Shape::Key;
    std::optional<KeyPicture> picture;
    for (const auto& [name, drawn] : kPictures)
        if (name == meterKey)
            picture = drawn;
    if (picture)
        shape = Shape::Round;

    auto* button =
        new KeypadKey(QString::fromLatin1(control), picture ? QString() : caption, shape, this);
    button->holdThroughUnmarkedRepeats(m_clock);
    if (picture) {
        button->setIcon(widgets::keypadImage(*picture));
        button->setAccessibleName(caption);
        button->setToolTip(caption);
    }
    if (key->longPress) {
        button->setToolTip(tr("Hold for more than 2 seconds for the key's second function"));
        // Timed from the press to the click that ends it.
        connect(button, &KeypadKey::pressStarted, this, [this] { m_keypad.press(); });
        connect(button, &QAbstractButton::clicked, this, [this, key] { m_keypad.release(*key); });
    } else {
        connect(button, &QAbstractButton::clicked, this, [this, key] { m_keypad.click(*key); });
    }
    return button;
}

void Buttons::layOut() {
    // The meter's own grouping: the display keys along the top; below them
    // the setting keys, the cursor dish and the memory keys.
    auto* top = new QHBoxLayout;
    top->setSpacing(10);
    top->addStretch(1);
    for (KeypadKey* key : {CmdHold, CmdMaxMin, CmdCF, CmdType})
        top->addWidget(key);
    top->addStretch(1);

    auto* pad = new CursorPad(this);
    pad->place(CmdUp, 0, 1);
    pad->place(CmdLeft, 1, 0);
    pad->place(CmdEnter, 1, 1);
    pad->place(CmdRight, 1, 2);
    pad->place(CmdDown, 2, 1);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(0);
    bottom->addLayout(column({CmdSet, CmdAlarm, CmdTime}));
    bottom->addStretch(1);
    bottom->addWidget(pad);
    bottom->addStretch(1);
    bottom->addLayout(column({CmdMem, CmdRead}));

    auto* body = new QVBoxLayout(this);
    body->setContentsMargins(22, 18, 22, 18);
    body->setSpacing(12);
    body->addLayout(top);
    body->addLayout(bottom);
    body->addWidget(LblBusy);
    body->setSizeConstraint(QLayout::SetFixedSize);

    // Tab goes through the keys in reading order, the cursor dish included.
    KeypadKey* const order[] = {CmdHold, CmdMaxMin, CmdCF,    CmdType,  CmdSet,  CmdAlarm, CmdTime,
                                CmdUp,   CmdLeft,   CmdEnter, CmdRight, CmdDown, CmdMem,   CmdRead};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Buttons::showUnder(const QWidget& main) {
    if (!isVisible()) {
        adjustSize();
        const QRect outer = main.frameGeometry();
        move(outer.left() + (outer.width() - frameGeometry().width()) / 2, outer.bottom() + 1);
        show();
        setFocus(Qt::ActiveWindowFocusReason);
    }
    raise();
    activateWindow();
}

void Buttons::paintEvent(QPaintEvent*) {
    // The meter's face: a dark moulded body with a bevelled edge.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0x14, 0x17, 0x1a));
    const QRectF body = QRectF(rect()).adjusted(4, 4, -4, -4);
    QLinearGradient shell(body.topLeft(), body.bottomLeft());
    shell.setColorAt(0, QColor(0x2e, 0x34, 0x3a));
    shell.setColorAt(1, QColor(0x22, 0x27, 0x2c));
    p.setBrush(shell);
    p.setPen(QPen(QColor(0x4b, 0x53, 0x5c), 1));
    p.drawRoundedRect(body, kBodyRadius, kBodyRadius);
}

} // namespace quadtherm::clock_keypad
