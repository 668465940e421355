#pragma once

#include "session/session_client.h"
#include "shared/clock.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace quadtherm::clock_keypad {

inline constexpr int kClockRefreshMs = 350;
// The meter is asked again every 0.5 s until it frames a clock reply; one
// that frames none for this long is taken to be gone and its display is
// switched off, rather than holding every other exchange for ever.
inline constexpr int kClockReadLimitMs = 3000;

inline const QString kMeterTimeCaption = QStringLiteral("Meter Time");
inline const QString kPcTimeCaption = QStringLiteral("PC System Time");

// The logging bit of the newest reading frame that sits on a frame boundary
// in `bytes`; nothing when no whole frame is there.
std::optional<bool> loggingBitOf(const QByteArray& bytes);

// The clock window's logic: the meter's and the computer's clock shown on
// request, and the meter's clock set from the computer's. The window holds
// the meter while it is open: the live poll is off, and on again whenever
// it closes. It cannot open while the meter is busy or the link is down.
class ClockSetup : public QObject {
    Q_OBJECT
public:
    explicit ClockSetup(session::SessionClient& client, QObject* parent = nullptr);
    ~ClockSetup() override;

    bool ShowMeterTime = false;
    bool ShowPcTime = false;
    shared::ClockTimer Timer1;

    bool isOpen() const { return m_open; }
    // A clock read (or the look at the meter's logging bit) is asked for or running.
    bool exchangePending() const { return m_exchangePending; }

    // False, with the note on the bottom bar, when the meter cannot be had.
    bool Form_Load();
    void Form_Unload();
    void LblMeterTime_Click();
    void LblPCTime_Click();
    void Timer1_Timer();
    void CmdSetTime_Click();

Q_SIGNALS:
    void meterTimeShown(const QString& text);
    void pcTimeShown(const QString& text);
    // The meter started logging: the window closes itself.
    void unloadRequested();

private:
    void showPcTime();
    void scheduleExchange();

    session::SessionClient& m_client;
    shared::Clock& m_clock;
    std::shared_ptr<session::SessionClient::Lease> m_lease;
    bool m_open = false;
    bool m_exchangePending = false;
    // Counts "Set" clicks: a read asked for before the latest one shows a
    // time the meter no longer has.
    int m_setCount = 0;
};

} // namespace quadtherm::clock_keypad
