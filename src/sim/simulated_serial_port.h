#pragma once

#include "meter_link/serial_port.h"
#include "shared/clock.h"
#include "sim/simulated_meter.h"

namespace quadtherm::sim {

// The serial seam with the simulated meter behind it, for the in-process
// simulation and for tests. A timer on the Clock runs the meter and hands its
// bytes over in the small chunks a USB adapter delivers: on the real clock at
// the line's pace, on a test's fake clock as fast as the test lets time pass.
class SimulatedSerialPort : public meter_link::SerialPort {
    Q_OBJECT
public:
    explicit SimulatedSerialPort(shared::Clock& clock, QObject* parent = nullptr);

    SimulatedMeter& meter() { return m_meter; }
    const SimulatedMeter& meter() const { return m_meter; }
    void setLineSpeed(double factor) { m_meter.setLineSpeed(factor); }
    // The meter's time: microseconds since the port was made.
    qint64 nowUs() const { return (m_clock.elapsedMs() - m_startMs) * 1000; }

    // Pulls the adapter out: the port closes, deviceLost is emitted and open()
    // fails until plugIn().
    void unplug();
    void plugIn() { m_pluggedIn = true; }
    bool pluggedIn() const { return m_pluggedIn; }

    bool setSettings(const QString& settings) override;
    QString settings() const override { return m_settings; }
    bool open() override;
    bool isOpen() const override { return m_open; }
    void close() override;
    QByteArray readAll() override;
    bool write(const QByteArray& bytes) override;
    void discardInput() override;
    QString errorString() const override { return m_error; }
    QString deviceName() const override;

private:
    void pump();
    QByteArray garbled(const QByteArray& bytes);

    SimulatedMeter m_meter;
    shared::Clock& m_clock;
    qint64 m_startMs;
    shared::ClockTimer m_timer;
    QString m_settings;
    // False when the settings differ from 19200 8N1: both directions turn to garbage.
    bool m_lineMatches = true;
    bool m_open = false;
    bool m_pluggedIn = true;
    QByteArray m_input;
    QString m_error;
    quint32 m_noise = 0x9E3779B9u;
};

} // namespace quadtherm::sim
