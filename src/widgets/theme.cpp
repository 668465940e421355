#include "widgets/theme.h"

#include "widgets/theme_style.h"

#include <QApplication>
#include <QPalette>

namespace quadtherm::widgets::theme {

namespace {

const char* const kStyleSheet = R"(
QWidget#centralPanel { background: #1a1e23; }
QToolBar { background: #2b3036; border: none; border-bottom: 1px solid #14171a; padding: 3px 6px; spacing: 3px; }
QToolBar::separator { background: #3a4148; width: 1px; margin: 4px 5px; }
QToolButton { border: 1px solid transparent; border-radius: 5px; padding: 3px; }
QToolButton:hover { background: #3a4148; border-color: #4b535c; }
QToolButton:pressed, QToolButton:checked { background: #454d55; }
QFrame[role="card"] { background: #23282e; border: 1px solid #30363d; border-radius: 8px; }
QLabel { color: #e6e9ec; background: transparent; }
QLabel[role="channel"] { font-size: 13pt; font-weight: bold; }
QLabel[role="type"] { color: #1a1e23; background: #9aa4ad; border-radius: 4px; padding: 0px 6px; font-weight: bold; }
QLabel[role="alarm"] { color: #ffffff; background: #dc2626; border-radius: 4px; padding: 1px 7px; font-size: 8pt; font-weight: bold; }
QLabel[role="value"] { font-size: 24pt; font-weight: bold; }
QLabel[role="unit"] { color: #9aa4ad; font-size: 11pt; padding-top: 6px; }
QLabel[role="caption"] { color: #9aa4ad; font-size: 8pt; }
QFrame[role="popup"] { background: #2b3036; border: 1px solid #4b535c; border-radius: 8px; }
QLabel[role="popupTitle"] { font-weight: bold; }
QGroupBox { color: #e6e9ec; border: 1px solid #3a4148; border-radius: 6px; margin-top: 10px; padding-top: 4px; font-weight: bold; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0px 3px; }
QWidget#bottomBar { background: #2b3036; border-top: 1px solid #14171a; }
QLabel#LblCOM[linkUp="true"] { color: #4ade80; font-weight: bold; }
QLabel#LblCOM[linkUp="false"] { color: #f87171; font-weight: bold; }
QLabel#LblRec { color: #ffffff; background: #dc2626; border-radius: 4px; padding: 0px 6px; font-weight: bold; }
QLabel#LblCount, QLabel#LblFileName { color: #9aa4ad; }
QLabel#LblBusy { color: #fbbf24; }
QLabel#LblMqtt[connected="true"] { color: #4ade80; }
QLabel#LblMqtt[connected="false"] { color: #fbbf24; font-weight: bold; }
QToolButton#BtnAlarm { color: #e6e9ec; padding: 0px 4px; }
QToolButton#BtnAlarm[ringing="true"] { color: #ffffff; background: #dc2626; border-radius: 4px; font-weight: bold; }
QLabel#LblNote { color: #e6e9ec; }
QTableView { gridline-color: #30363d; }
QHeaderView::section { background: #2b3036; color: #e6e9ec; border: none; border-right: 1px solid #3a4148; border-bottom: 1px solid #3a4148; padding: 2px 5px; font-weight: bold; }
QTableCornerButton::section { background: #2b3036; border: none; }
QPushButton { color: #e6e9ec; background: #3a4148; border: 1px solid #4b535c; border-radius: 5px; padding: 4px 14px; min-width: 56px; }
QPushButton:hover { background: #454d55; }
QPushButton:pressed { background: #2b3036; }
QPushButton:focus, QPushButton:default { border-color: #38bdf8; }
QPushButton:disabled { color: #6b747d; background: #2b3036; border-color: #3a4148; }
QLineEdit, QComboBox { color: #e6e9ec; background: #15181c; border: 1px solid #4b535c; border-radius: 4px; padding: 3px 5px; selection-background-color: #2563eb; }
QLineEdit:focus, QComboBox:focus { border-color: #38bdf8; }
QLineEdit:disabled, QComboBox:disabled { color: #6b747d; }
QComboBox QLineEdit, QAbstractSpinBox QLineEdit { border: none; padding: 0px; background: transparent; }
QComboBox QAbstractItemView { background: #23282e; border: 1px solid #4b535c; selection-background-color: #2563eb; }
QScrollBar:vertical { background: #1a1e23; width: 12px; margin: 0px; }
QScrollBar:horizontal { background: #1a1e23; height: 12px; margin: 0px; }
QScrollBar::handle { background: #4b535c; border-radius: 4px; border: 2px solid #1a1e23; }
QScrollBar::handle:hover { background: #5b646e; }
QScrollBar::handle:vertical { min-height: 24px; }
QScrollBar::handle:horizontal { min-width: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; border: none; background: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
QToolTip { color: #e6e9ec; background: #2b3036; border: 1px solid #4b535c; padding: 3px; }
QMenu { color: #e6e9ec; background: #2b3036; border: 1px solid #4b535c; padding: 3px; }
QMenu::item { padding: 4px 18px 4px 22px; border-radius: 4px; }
QMenu::item:selected { background: #2563eb; color: #ffffff; }
QMenu::item:disabled { color: #6b747d; }
QMenu::separator { height: 1px; background: #3a4148; margin: 3px 6px; }
QProgressBar { color: #e6e9ec; background: #15181c; border: 1px solid #4b535c; border-radius: 4px; text-align: center; }
QProgressBar::chunk { background: #2563eb; border-radius: 3px; }
)";

QPalette darkPalette(QPalette palette) {
    const QColor window(0x23, 0x28, 0x2e), text = kText, base(0x15, 0x18, 0x1c),
                                           button(0x3a, 0x41, 0x48), muted = kMuted;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x25, 0x63, 0xeb));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, muted);
    palette.setColor(QPalette::Mid, QColor(0x4b, 0x53, 0x5c));
    palette.setColor(QPalette::Dark, base);
    palette.setColor(QPalette::Light, QColor(0x4b, 0x53, 0x5c));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, muted.darker(130));
    return palette;
}

} // namespace

void applyToApplication() {
    // Once is enough: every window and dialog, with a parent or without one
    // (the Port dialog comes before the main window), shares the dark theme.
    if (dynamic_cast<ThemeStyle*>(QApplication::style()) != nullptr)
        return;
    QApplication::setStyle(new ThemeStyle);
    QApplication::setPalette(darkPalette(QApplication::palette()));
    qApp->setStyleSheet(styleSheet());
}

QString styleSheet() {
    return QString::fromUtf8(kStyleSheet);
}

QColor mix(const QColor& a, const QColor& b, double weightOfA) {
    const double w = std::clamp(weightOfA, 0.0, 1.0);
    return QColor::fromRgbF(static_cast<float>(a.redF() * w + b.redF() * (1 - w)),
                            static_cast<float>(a.greenF() * w + b.greenF() * (1 - w)),
                            static_cast<float>(a.blueF() * w + b.blueF() * (1 - w)));
}

} // namespace quadtherm::widgets::theme
