#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace quadtherm::widgets {

// A long job's progress in its window's caption: the count followed by a
// fixed text ("1000 Completed", "20000 completed") every so many steps. The
// caption the window had comes back when the job ends, whichever way it
// ends, unless the job sets a caption of its own (keepCaption). Each update
// can let the event loop run once, so the window is repainted and stays
// alive: without the user's input (nothing starts mid-job), or with it (the
// window can be closed to stop the job).
class CaptionProgress {
public:
    enum class Events { None, WithoutInput, All };

    CaptionProgress(QWidget* window, QString suffix, qint64 every, Events events = Events::None);
    ~CaptionProgress();
    CaptionProgress(const CaptionProgress&) = delete;
    CaptionProgress& operator=(const CaptionProgress&) = delete;

    // Counts to `n`: shows it when it is a multiple of the step.
    void step(qint64 n) {
        if (n > 0 && n % m_every == 0)
            show(n);
    }
    void show(qint64 n);
    // The job's window went away while the event loop ran.
    bool windowGone() const { return !m_window; }
    // The caption the job set last stays.
    void keepCaption() { m_keep = true; }

private:
    QPointer<QWidget> m_window;
    QString m_caption;
    QString m_suffix;
    qint64 m_every;
    Events m_events;
    bool m_keep = false;
};

} // namespace quadtherm::widgets
