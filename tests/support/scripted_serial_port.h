#pragma once

#include "meter_link/serial_port.h"
#include "support/fake_clock.h"

#include <QList>

#include <functional>

namespace quadtherm::test {

// A serial port whose incoming bytes are scripted against a FakeClock:
// bytes arrive at given times, replies answer given writes, and a repeating
// pattern can stream in the background at a given byte rate.
class ScriptedSerialPort final : public meter_link::SerialPort {
    Q_OBJECT
public:
    explicit ScriptedSerialPort(FakeClock& clock, QObject* parent = nullptr);

    // Bytes that arrive `afterMs` from now.
    void arrive(const QByteArray& bytes, qint64 afterMs = 0);
    // Whenever the program writes exactly `request`, `reply` arrives `afterMs`
    // later. A later rule for the same request replaces the earlier one.
    void answer(const QByteArray& request, const QByteArray& reply, qint64 afterMs = 5);
    // Runs `action` whenever the program writes exactly `request`.
    void onWrite(const QByteArray& request, std::function<void()> action);
    // Streams `pattern` over and over from now on, `bytesPerMs` bytes a
    // millisecond (1.92 is the meter's line rate), starting `phase` bytes in.
    void stream(const QByteArray& pattern, double bytesPerMs = 1.92, qsizetype phase = 0);
    // Like the meter, the stream stops while the program talks to it and
    // resumes `ms` after the program's last write.
    void pauseStreamOnWrite(qint64 ms) { m_pauseOnWriteMs = ms; }

    // Everything the program wrote, one entry per write.
    const QList<QByteArray>& writes() const { return m_writes; }
    int countWrites(const QByteArray& bytes) const;

    void setOpenFails(bool fails) { m_openFails = fails; }
    // The adapter is pulled out: the port closes and says so.
    void loseDevice();
    int openCount() const { return m_openCount; }

    bool setSettings(const QString& settings) override;
    QString settings() const override { return m_settings; }
    bool open() override;
    bool isOpen() const override { return m_open; }
    void close() override { m_open = false; }
    QByteArray readAll() override;
    bool write(const QByteArray& bytes) override;
    void discardInput() override;
    QString errorString() const override { return m_error; }
    QString deviceName() const override { return QStringLiteral("scripted"); }

private:
    struct Arrival {
        qint64 dueMs;
        QByteArray bytes;
    };
    struct Rule {
        QByteArray request;
        QByteArray reply;
        qint64 afterMs;
        std::function<void()> action;
    };
    void produceStreamUntil(qint64 ms);
    std::optional<qint64> nextDueMs() const;

    FakeClock& m_clock;
    QList<Arrival> m_pending;
    QList<Rule> m_rules;
    QList<QByteArray> m_writes;
    QByteArray m_pattern;
    double m_bytesPerMs = 1.92;
    double m_streamBytes = 0; // stream bytes produced so far, fractional
    qsizetype m_patternPos = 0;
    qint64 m_streamMs = 0;
    qint64 m_pauseOnWriteMs = 0;
    qint64 m_streamPausedUntil = -1;
    QString m_settings;
    QString m_error;
    bool m_open = false;
    bool m_openFails = false;
    int m_openCount = 0;
};

} // namespace quadtherm::test
