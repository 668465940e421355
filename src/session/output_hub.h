#pragma once

#include "session/display_cycle.h"
#include "shared/live_state.h"

#include <QDateTime>
#include <QMetaType>
#include <QMutex>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QObject;

namespace quadtherm::session {

// What a channel's reading is, beside its number.
enum class ReadingState { Ok, Over, Under, NoProbe };

// One channel as it leaves the session: the same decoded values the
// displays show and the file records.
struct OutReading {
    ReadingState state = ReadingState::NoProbe;
    std::optional<double> value; // only when Ok, in the sample's unit
    QString text;                // as the file writes it: "23.4", "Over", "- - -"
    QString type;                // the thermocouple letter, empty when unknown
    bool alarm = false;          // at or above its setpoint: the ALARM tag blinks
};

// The four channels at one moment, in the meter's unit.
struct OutSample {
    QDateTime at; // local time, with its offset
    bool fahrenheit = false;
    shared::PerChannel<OutReading> channels;
    // The record's number when this sample is the one written to the
    // recording's file; 0 when nothing was recorded.
    qint64 record = 0;
};

// Everything that leaves the session: readings, records and the link.
struct OutEvent {
    enum class Kind {
        Live,             // the latest readings, once a second while the link is up
        Cycle,            // a recording cycle ran (a record when sample.record > 0)
        Link,             // the link went down ("No COM") or came back
        RecordingStarted, // path
        RecordingEnded,   // path, records, why
        Frame,            // a channel's frame was read: frame, and sample.at
    };
    Kind kind = Kind::Live;
    OutSample sample;
    shared::LiveChannel frame;
    bool linkUp = false;
    QString path;
    qint64 records = 0;
    // Why a recording ended: "stopped", "configuration_changed",
    // "link_rebuilt" or "write_failed", with the system's reason in `error`.
    QString why;
    QString error;
};

// Which kinds of event a consumer takes: frames come twenty times a second
// and are left out unless asked for.
using OutKinds = quint32;
constexpr OutKinds outKindBit(OutEvent::Kind kind) {
    return OutKinds{1} << int(kind);
}
inline constexpr OutKinds kOutAllButFrames = ~outKindBit(OutEvent::Kind::Frame);

// A consumer of the session's output. receive() runs on the thread of the
// context object it was attached with, one event at a time, in order.
class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual void receive(const OutEvent& event) = 0;
};

// The one way out of the session for everything that is not the file: the
// console printer, the MQTT publisher and the HTTP server each hang off it
// with a mailbox of their own. publish() never waits for a consumer: a
// mailbox that is full drops the event for that consumer only and counts it,
// so a slow or dead consumer costs its own copy, never a record or a tick.
// The recorder is fed the same decoded values directly by the session,
// synced before the cycle goes on: the file is the one guaranteed output.
class OutputHub {
public:
    static constexpr int kDefaultCapacity = 4096;

    OutputHub();
    ~OutputHub();
    OutputHub(const OutputHub&) = delete;
    OutputHub& operator=(const OutputHub&) = delete;

    // From any thread. Events reach `sink` on `context`'s thread; detach it
    // there before either goes away. Returns the attachment's id.
    int attach(OutputSink* sink, QObject* context, int capacity = kDefaultCapacity,
               OutKinds kinds = kOutAllButFrames);
    void detach(int id);
    // Whether any consumer takes events of `kind`: nothing is made for none.
    bool wants(OutEvent::Kind kind) const;

    // From the session's thread.
    void publish(const OutEvent& event);

    // Events a consumer's full mailbox had to drop.
    quint64 dropped(int id) const;

private:
    struct Mailbox;
    mutable QMutex m_mutex;
    std::vector<std::shared_ptr<Mailbox>> m_boxes;
    int m_nextId = 1;
};

// A sample from what the cycle or the live tick shows, in the meter's unit.
OutSample sampleOf(const ShownCycle& shown, const shared::LiveState& live, const QDateTime& at,
                   qint64 record = 0);

// "ok", "over", "under", "no_probe".
QString readingStateName(ReadingState state);

} // namespace quadtherm::session

Q_DECLARE_METATYPE(quadtherm::session::OutEvent)
