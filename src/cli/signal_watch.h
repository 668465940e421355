#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace quadtherm::cli {

// SIGINT and SIGTERM as events. The handler writes the signal's number to a
// pipe that a QSocketNotifier reads, so that a wait sleeping in any nested
// event loop hears the signal at its next wake instead of at its deadline.
class SignalWatch : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; first thing in main(), so that an early signal
    // waits in the pipe for the first event loop.
    static bool install();

    explicit SignalWatch(QObject* parent = nullptr);

    // The first signal received; 0 while none was.
    int first() const { return m_first; }
    int count() const { return m_count; }
    // The exit status of a command that a signal ended: 128 + its number.
    int exitStatus() const { return 128 + m_first; }
    QString name() const;

Q_SIGNALS:
    void received(int signal);

private:
    void drain();

    QSocketNotifier m_notifier;
    int m_first = 0;
    int m_count = 0;
};

} // namespace quadtherm::cli
