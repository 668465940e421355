#pragma once

#include "shared/live_state.h"

#include <QFrame>

#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quadtherm::main_window {

class UnitPanel;

// The alarm-range panel `PicAlmRange`: per channel the lowest and highest
// value its setpoint knob and edit box accept. Enter in a box applies that one
// bound at once; OK applies all of them; Cancel only closes.
class AlarmRangePanel : public QFrame {
    Q_OBJECT
public:
    // `target` gives the unit panel whose limits the boxes show and set: the
    // one matching the meter's unit.
    explicit AlarmRangePanel(std::function<UnitPanel&()> target, QWidget* parent = nullptr);

    // Fills the boxes with the target panel's current limits.
    void refill();

    void CmdAlmOK_Click();
    void CmdAlmCancel_Click();

    shared::PerChannel<QGroupBox*> FrameAlm{};
    shared::PerChannel<QLineEdit*> MaxText{}, MinText{};
    shared::PerChannel<QLabel*> MaxLabel{}, MinLabel{};
    QPushButton* CmdAlmOK = nullptr;
    QPushButton* CmdAlmCancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyBound(int channel, bool maximum);

    std::function<UnitPanel&()> m_target;
};

// The limit boxes take digits, "-", "." and backspace; Enter applies the box.
enum class LimitKey { Accept, Discard, Apply };
LimitKey classifyLimitKey(int key, const QString& text);

} // namespace quadtherm::main_window
