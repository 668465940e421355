#include "widgets/caption_progress.h"

#include <QCoreApplication>

namespace quadtherm::widgets {

CaptionProgress::CaptionProgress(QWidget* window, QString suffix, qint64 every, Events events)
    : m_window(window), m_caption(window ? window->windowTitle() : QString()),
      m_suffix(std::move(suffix)), m_every(qMax<qint64>(1, every)), m_events(events) {}

CaptionProgress::~CaptionProgress() {
    if (m_window && !m_keep)
        m_window->setWindowTitle(m_caption);
}

void CaptionProgress::show(qint64 n) {
    if (m_window)
        m_window->setWindowTitle(QString::number(n) + m_suffix);
    if (m_events != Events::None)
        QCoreApplication::processEvents(
            m_events == Events::All ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

} // namespace quadtherm::widgets
