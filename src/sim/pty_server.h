#pragma once

#include "sim/simulated_meter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace quadtherm::sim {

// Serves the simulated meter on a pseudo-terminal at the line's own pace, so
// that any serial program can open the slave side as if it were an adapter.
class PtyServer : public QObject {
    Q_OBJECT
public:
    explicit PtyServer(SimulatedMeter& meter, QObject* parent = nullptr);
    ~PtyServer() override;

    // The meter's time: microseconds since the server was made.
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }
    // A symlink kept pointing at the current slave device; empty for none.
    void setLinkPath(const QString& path) { m_linkPath = path; }

    bool start(QString* error);
    QString slavePath() const { return m_slavePath; }
    // Pulls the adapter out, and after gapMs plugs a new one in (a new device).
    void replug(int gapMs);

Q_SIGNALS:
    void deviceReady(const QString& slavePath);
    void failed(const QString& error);

private:
    bool openPty(QString* error);
    void closePty();
    bool updateLink(QString* error);
    void removeLink();
    void onReadable();
    void onTick();

    SimulatedMeter& m_meter;
    QElapsedTimer m_clock;
    QTimer m_tick;
    QSocketNotifier* m_notifier = nullptr;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
    bool m_replugging = false;
};

} // namespace quadtherm::sim
