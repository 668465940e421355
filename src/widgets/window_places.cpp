#include "widgets/window_places.h"

#include "shared/settings.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace quadtherm::widgets {

WindowPlaces::WindowPlaces(shared::Settings& settings, QSet<QString> names, QObject* parent)
    : QObject(parent), m_settings(settings), m_names(std::move(names)) {
    QCoreApplication::instance()->installEventFilter(this);
}

QSet<QString> WindowPlaces::programWindows() {
    return {QStringLiteral("Panel"),       QStringLiteral("List"),     QStringLiteral("FileList"),
            QStringLiteral("DataList"),    QStringLiteral("Memory"),   QStringLiteral("ManualList"),
            QStringLiteral("Plot"),        QStringLiteral("FilePlot"), QStringLiteral("Histogram"),
            QStringLiteral("RealTimeSLM"), QStringLiteral("Buttons"),  QStringLiteral("Setup")};
}

void WindowPlaces::restore(QWidget& window) {
    const QByteArray geometry = m_settings.windowGeometry(window.objectName());
    if (!geometry.isEmpty())
        window.restoreGeometry(geometry);
    m_placed[&window] = window.geometry();
}

void WindowPlaces::keep(QWidget& window) {
    const auto placed = m_placed.find(&window);
    // Only where the user put it: a window the program placed and nobody
    // moved opens where the program places it next time too.
    if (placed != m_placed.end() && placed->second != window.geometry())
        m_settings.setWindowGeometry(window.objectName(), window.saveGeometry());
    if (placed != m_placed.end())
        m_placed.erase(placed);
}

bool WindowPlaces::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::Show && type != QEvent::Hide)
        return false;
    auto* window = qobject_cast<QWidget*>(watched);
    if (!window || !window->isWindow() || !m_names.contains(window->objectName()))
        return false;
    if (type == QEvent::Show)
        restore(*window);
    else
        keep(*window);
    return false;
}

} // namespace quadtherm::widgets
