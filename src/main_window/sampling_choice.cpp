#include "main_window/sampling_choice.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quadtherm::main_window {

SamplingChoice::SamplingChoice(bool samplingOnPc, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SamplingChoice"));
    setWindowTitle(QStringLiteral("Sampling Rate"));
    OptMeter = new QRadioButton(QStringLiteral("Meter Sampling Rate"), this);
    OptMeter->setObjectName(QStringLiteral("OptMeter"));
    OptPC = new QRadioButton(QStringLiteral("PC Sampling Rate"), this);
    OptPC->setObjectName(QStringLiteral("OptPC"));
    (samplingOnPc ? OptPC : OptMeter)->setChecked(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("CmdOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* column = new QVBoxLayout(this);
    column->addWidget(OptMeter);
    column->addWidget(OptPC);
    column->addWidget(buttons);
    if (parent) // 800 × 1000 twips right of and below the main window's corner
        move(parent->geometry().topLeft() + QPoint(53, 67));
}

bool SamplingChoice::samplingOnPc() const {
    return OptPC->isChecked();
}

} // namespace quadtherm::main_window
