#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QString>

#include <map>

class QWidget;

namespace quadtherm::shared {
class Settings;
}

namespace quadtherm::widgets {

// Remembers where the user put the program's windows. Each window opens
// where the program places it until the user moves or resizes it; from then
// on it opens where the user left it, in this run and the next. Watches the
// windows named in `names` (their object names) through an application-wide
// event filter, so no window needs to know.
class WindowPlaces : public QObject {
    Q_OBJECT
public:
    WindowPlaces(shared::Settings& settings, QSet<QString> names, QObject* parent = nullptr);
    // Every window the program has, the main window included.
    static QSet<QString> programWindows();

    // Puts a window where it was left (when it is known), at once.
    void restore(QWidget& window);
    // Keeps where the window is now, when the user moved or resized it.
    void keep(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    shared::Settings& m_settings;
    QSet<QString> m_names;
    // Where each window stood once the program had placed it.
    std::map<QWidget*, QRect> m_placed;
};

} // namespace quadtherm::widgets
