#pragma once

#include <QDialog>
#include <QIcon>
#include <QKeySequence>
#include <QString>

#include <vector>

namespace quadtherm::main_window {

// One line of the help: a toolbar key's image and tool tip, where it leads,
// and its shortcut when it has one.
struct HelpLine {
    QIcon icon;
    QString name;
    QString where;
    QKeySequence shortcut;
};

// F1's short help: the main toolbar's keys and where each window is, then
// the keyboard. It stays open beside the program, as a window of its own.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    HelpWindow(const std::vector<HelpLine>& toolbar, const std::vector<HelpLine>& keyboard,
               QWidget* parent);
};

} // namespace quadtherm::main_window
