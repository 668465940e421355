#pragma once

#include "session/output_hub.h"
#include "shared/live_state.h"

#include <QString>

#include <deque>
#include <optional>

namespace quadtherm::http {

// One second of the chart: the four channels' values, none where a channel
// had no number (over, under, no probe).
struct HistoryPoint {
    qint64 atMs = 0; // since the epoch
    shared::PerChannel<std::optional<double>> values;
};

// What the server knows of the meter, from the session's output.
struct LiveView {
    QString port; // the device path, or "SIM"
    bool linkUp = false;
    bool recording = false;
    // Written to the recording in progress, or to the last one.
    qint64 records = 0;
    std::optional<session::OutSample> latest;
};

// The HTTP server's own copy of the meter's state, fed by the session's
// output hub on the server's thread: requests read it there and never reach
// into the session. It keeps the last hour of readings for the page's chart.
class LiveMirror : public session::OutputSink {
public:
    static constexpr qint64 kHistoryMs = 3600 * 1000;

    explicit LiveMirror(QString port) { m_view.port = std::move(port); }

    void receive(const session::OutEvent& event) override;

    const LiveView& view() const { return m_view; }
    // Oldest first, one point a second while the link is up, all in the
    // unit of the latest sample: a change of unit starts the hour afresh.
    const std::deque<HistoryPoint>& history() const { return m_history; }

private:
    void takeSample(const session::OutSample& sample, bool forHistory);

    LiveView m_view;
    std::deque<HistoryPoint> m_history;
    bool m_historyFahrenheit = false;
};

} // namespace quadtherm::http
