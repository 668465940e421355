#include "session/output_hub.h"

#include <QMutexLocker>
#include <QObject>
#include <QPointer>

#include <algorithm>
#include <deque>

namespace quadtherm::session {

struct OutputHub::Mailbox {
    int id = 0;
    int capacity = 0;
    OutKinds kinds = kOutAllButFrames;
    QPointer<QObject> context;
    mutable QMutex mutex;
    OutputSink* sink = nullptr; // null once detached
    std::deque<OutEvent> queue;
    bool drainQueued = false;
    quint64 dropped = 0;

    // On the context's thread: hands over what is queued, one at a time,
    // without holding the lock while the consumer works.
    void drain() {
        for (;;) {
            OutEvent event;
            OutputSink* to = nullptr;
            {
                const QMutexLocker lock(&mutex);
                if (queue.empty() || sink == nullptr) {
                    drainQueued = false;
                    return;
                }
                event = std::move(queue.front());
                queue.pop_front();
                to = sink;
            }
            to->receive(event);
        }
    }
};

OutputHub::OutputHub() {
    qRegisterMetaType<OutEvent>();
}

OutputHub::~OutputHub() = default;

int OutputHub::attach(OutputSink* sink, QObject* context, int capacity, OutKinds kinds) {
    auto box = std::make_shared<Mailbox>();
    box->kinds = kinds;
    box->sink = sink;
    box->context = context;
    box->capacity = qMax(1, capacity);
    const QMutexLocker lock(&m_mutex);
    box->id = m_nextId++;
    m_boxes.push_back(box);
    return box->id;
}

void OutputHub::detach(int id) {
    const QMutexLocker lock(&m_mutex);
    for (auto it = m_boxes.begin(); it != m_boxes.end(); ++it) {
        if ((*it)->id != id)
            continue;
        // Held until after the lock below is released: the list's reference
        // may be the last one.
        const std::shared_ptr<Mailbox> box = *it;
        m_boxes.erase(it);
        const QMutexLocker boxLock(&box->mutex);
        box->sink = nullptr;
        box->queue.clear();
        return;
    }
}

bool OutputHub::wants(OutEvent::Kind kind) const {
    const QMutexLocker lock(&m_mutex);
    return std::any_of(m_boxes.begin(), m_boxes.end(),
                       [kind](const auto& box) { return (box->kinds & outKindBit(kind)) != 0; });
}

void OutputHub::publish(const OutEvent& event) {
    std::vector<std::shared_ptr<Mailbox>> boxes;
    {
        const QMutexLocker lock(&m_mutex);
        boxes = m_boxes;
    }
    for (const auto& box : boxes) {
        if ((box->kinds & outKindBit(event.kind)) == 0)
            continue;
        const QMutexLocker lock(&box->mutex);
        if (box->sink == nullptr || box->context.isNull())
            continue;
        if (int(box->queue.size()) >= box->capacity) {
            ++box->dropped;
            continue;
        }
        box->queue.push_back(event);
        if (box->drainQueued)
            continue;
        box->drainQueued = true;
        QMetaObject::invokeMethod(
            box->context.data(), [box] { box->drain(); }, Qt::QueuedConnection);
    }
}

quint64 OutputHub::dropped(int id) const {
    const QMutexLocker lock(&m_mutex);
    for (const auto& box : m_boxes) {
        if (box->id == id) {
            const QMutexLocker boxLock(&box->mutex);
            return box->dropped;
        }
    }
    return 0;
}

OutSample sampleOf(const ShownCycle& shown, const shared::LiveState& live, const QDateTime& at,
                   qint64 record) {
    OutSample sample;
    sample.at = at;
    sample.fahrenheit = live.MeterFahrenheit;
    sample.record = record;
    const auto& channels = live.MeterFahrenheit ? shown.f : shown.c;
    for (int k = 0; k < shared::kChannels; ++k) {
        OutReading& out = sample.channels[k];
        out.text = channels[k].text;
        out.type = live.TypeLetter[k];
        out.alarm = channels[k].alarm == AlarmShow::Toggle;
        if (!live.ProbePresent[k]) {
            out.state = ReadingState::NoProbe;
        } else if (live.OverRange[k]) {
            out.state = ReadingState::Over;
        } else if (live.UnderRange[k]) {
            out.state = ReadingState::Under;
        } else {
            bool ok = false;
            const double value = out.text.toDouble(&ok);
            out.state = ReadingState::Ok;
            if (ok)
                out.value = value;
        }
    }
    return sample;
}

QString readingStateName(ReadingState state) {
    switch (state) {
    case ReadingState::Ok:
        return QStringLiteral("ok");
    case ReadingState::Over:
        return QStringLiteral("over");
    case ReadingState::Under:
        return QStringLiteral("under");
    case ReadingState::NoProbe:
        break;
    }
    return QStringLiteral("no_probe");
}

} // namespace quadtherm::session
