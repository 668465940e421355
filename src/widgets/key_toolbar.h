#pragma once

#include <QKeySequence>
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

// How a toolbar shows its keys: the main window's images alone (their tool
// tips name them), or every child window's images with their words beside.
enum class KeyToolbarLook { Images, ImagesWithText };

// A toolbar named "Toolbar1" whose actions carry their key as data(); a
// click calls `onClick(key)`. The keys "Save", "Open" and "Print" take the
// desktop's shortcuts for them (Ctrl+S, Ctrl+O, Ctrl+P) in their window.
QToolBar* makeKeyToolbar(QWidget* window, const std::vector<ToolbarButton>& buttons,
                         std::function<void(const QString&)> onClick,
                         KeyToolbarLook look = KeyToolbarLook::ImagesWithText);
// The shortcut of the keys "Save", "Open" and "Print" wherever they are,
// toolbar or button; none for any other key.
QKeySequence standardShortcut(const QString& key);
QAction* findKeyAction(const QToolBar* toolbar, const QString& key);

} // namespace quadtherm::widgets
