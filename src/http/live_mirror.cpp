#include "http/live_mirror.h"

namespace quadtherm::http {

using session::OutEvent;

void LiveMirror::receive(const OutEvent& event) {
    switch (event.kind) {
    case OutEvent::Kind::Live:
        m_view.linkUp = true;
        takeSample(event.sample, true);
        return;
    case OutEvent::Kind::Cycle:
        takeSample(event.sample, false);
        if (event.sample.record > 0)
            m_view.records = event.sample.record;
        return;
    case OutEvent::Kind::Link:
        m_view.linkUp = event.linkUp;
        return;
    case OutEvent::Kind::RecordingStarted:
        m_view.recording = true;
        m_view.records = 0;
        return;
    case OutEvent::Kind::RecordingEnded:
        m_view.recording = false;
        m_view.records = event.records;
        return;
    case OutEvent::Kind::Frame: // not asked for: the page shows a sample a second
        return;
    }
}

void LiveMirror::takeSample(const session::OutSample& sample, bool forHistory) {
    // The cycle and the live tick each send a sample a second: the newer counts.
    if (!m_view.latest || m_view.latest->at <= sample.at)
        m_view.latest = sample;
    if (!forHistory)
        return;
    const qint64 atMs = sample.at.toMSecsSinceEpoch();
    // A clock set back, or another unit: the chart's hour starts again.
    if (!m_history.empty() &&
        (m_historyFahrenheit != sample.fahrenheit || m_history.back().atMs > atMs))
        m_history.clear();
    else if (!m_history.empty() && m_history.back().atMs == atMs)
        m_history.pop_back();
    m_historyFahrenheit = sample.fahrenheit;
    HistoryPoint point;
    point.atMs = atMs;
    for (int k = 0; k < shared::kChannels; ++k)
        point.values[k] = sample.channels[k].value;
    m_history.push_back(point);
    while (m_history.front().atMs < atMs - kHistoryMs)
        m_history.pop_front();
}

} // namespace quadtherm::http
