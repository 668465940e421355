#pragma once

#include <QString>

#include <functional>
#include <vector>

class QAction;
class QToolBar;
class QWidget;

namespace quadtherm::widgets {

// A toolbar button as the windows know it: the key their click handler
// compares, its tool tip and its image.
struct ToolbarButton {
    const char* key;
    const char* toolTip;
    int image; // a toolbarImage index; 0 shows the tool tip as text
    bool enabled = true;
    bool separatorAfter = false;
};

// A toolbar named "Toolbar1" whose actions carry their key as data(); a
// click calls `onClick(key)`.
QToolBar* makeKeyToolbar(QWidget* window, const std::vector<ToolbarButton>& buttons,
                         std::function<void(const QString&)> onClick);
QAction* findKeyAction(const QToolBar* toolbar, const QString& key);

} // namespace quadtherm::widgets
