#pragma once

#include <QDialog>

class QRadioButton;

namespace quadtherm::main_window {

// "Sampling Rate": whether the next interval is the PC's recording interval
// or the meter's own logging interval. Closing it without OK keeps the
// previous choice.
class SamplingChoice : public QDialog {
    Q_OBJECT
public:
    SamplingChoice(bool samplingOnPc, QWidget* parent = nullptr);

    bool samplingOnPc() const;

    QRadioButton* OptMeter = nullptr;
    QRadioButton* OptPC = nullptr;
};

} // namespace quadtherm::main_window
