#include "widgets/key_toolbar.h"

#include "widgets/toolbar_icons.h"

#include <QAction>
#include <QKeySequence>
#include <QToolBar>

namespace quadtherm::widgets {

QKeySequence standardShortcut(const QString& key) {
    if (key == QLatin1String("Save"))
        return QKeySequence(Qt::CTRL | Qt::Key_S);
    if (key == QLatin1String("Open"))
        return QKeySequence(Qt::CTRL | Qt::Key_O);
    if (key == QLatin1String("Print"))
        return QKeySequence(Qt::CTRL | Qt::Key_P);
    return {};
}

QToolBar* makeKeyToolbar(QWidget* window, const std::vector<ToolbarButton>& buttons,
                         std::function<void(const QString&)> onClick, KeyToolbarLook look) {
    auto* toolbar = new QToolBar(QStringLiteral("Toolbar1"), window);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    // The images are drawn for 24 px.
    toolbar->setIconSize(QSize(24, 24));
    toolbar->setToolButtonStyle(look == KeyToolbarLook::Images ? Qt::ToolButtonIconOnly
                                                               : Qt::ToolButtonTextBesideIcon);
    for (const ToolbarButton& button : buttons) {
        const QString key = QString::fromLatin1(button.key);
        const QString toolTip = QString::fromLatin1(button.toolTip);
        auto* action = toolbar->addAction(toolTip);
        if (button.image != 0)
            action->setIcon(toolbarImage(button.image));
        action->setObjectName(key);
        action->setData(key);
        action->setToolTip(toolTip);
        action->setEnabled(button.enabled);
        action->setShortcut(standardShortcut(key));
        QObject::connect(action, &QAction::triggered, window, [onClick, key] { onClick(key); });
        if (button.separatorAfter)
            toolbar->addSeparator();
    }
    return toolbar;
}

QAction* findKeyAction(const QToolBar* toolbar, const QString& key) {
    for (QAction* action : toolbar->actions())
        if (action->data().toString() == key)
            return action;
    return nullptr;
}

} // namespace quadtherm::widgets
