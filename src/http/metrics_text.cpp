#include "http/metrics_text.h"

#include <QLocale>

#include <utility>
#include <vector>

namespace quadtherm::http {

QByteArray refusalName(Refusal why) {
    switch (why) {
    case Refusal::ClientLimit:
        return "client_limit";
    case Refusal::IdleEvicted:
        return "idle_evicted";
    case Refusal::Timeout:
        return "timeout";
    case Refusal::BadRequest:
        return "bad_request";
    case Refusal::Method:
        return "method_not_allowed";
    case Refusal::TooLarge:
        return "too_large";
    case Refusal::Unauthorized:
        return "unauthorized";
    case Refusal::ForeignHost:
        break;
    }
    return "foreign_host";
}

QByteArray labelValue(const QString& text) {
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

namespace {

using Labels = std::vector<std::pair<const char*, QByteArray>>;

class Exposition {
public:
    explicit Exposition(const QString& port) : m_port(labelValue(port)) {}

    void family(const char* name, const char* type, const char* help) {
        m_text +=
            QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
    }
    void sample(const char* name, const Labels& labels, double value) {
        m_text += QByteArray(name) + "{port=\"" + m_port + '"';
        for (const auto& [label, text] : labels)
            m_text += QByteArray(",") + label + "=\"" + text + '"';
        m_text += "} " + QByteArray::number(value, 'g', QLocale::FloatingPointShortest) + '\n';
    }
    QByteArray text() const { return m_text; }

private:
    QByteArray m_port;
    QByteArray m_text;
};

const session::ReadingState kStates[] = {session::ReadingState::Ok, session::ReadingState::Over,
                                         session::ReadingState::Under,
                                         session::ReadingState::NoProbe};

QByteArray channelName(int k) {
    return "T" + QByteArray::number(k + 1);
}

} // namespace

QByteArray metricsText(const LiveView& view, const ServerFigures& figures) {
    Exposition out(view.port);
    out.family("quadtherm_link_up", "gauge",
               "1 while the meter answers on its port, 0 while the link is down.");
    out.sample("quadtherm_link_up", {}, view.linkUp ? 1 : 0);
    out.family("quadtherm_recording", "gauge", "1 while a recording to a data file runs.");
    out.sample("quadtherm_recording", {}, view.recording ? 1 : 0);
    out.family("quadtherm_records_written", "gauge",
               "Records written to the running recording, or to the last one.");
    out.sample("quadtherm_records_written", {}, double(view.records));

    // Readings of a link that is down would be old ones: they are left out.
    const session::OutSample* sample = view.linkUp && view.latest ? &*view.latest : nullptr;
    if (sample) {
        const QByteArray unit = sample->fahrenheit ? "fahrenheit" : "celsius";
        out.family("quadtherm_temperature", "gauge",
                   "A channel's reading in the meter's unit (label unit); none while it reads "
                   "over, under or no probe.");
        for (int k = 0; k < shared::kChannels; ++k) {
            const auto& reading = sample->channels[k];
            if (reading.state == session::ReadingState::Ok && reading.value)
                out.sample("quadtherm_temperature",
                           {{"channel", channelName(k)},
                            {"type", labelValue(reading.type)},
                            {"unit", unit}},
                           *reading.value);
        }
        out.family("quadtherm_reading_state", "gauge",
                   "1 for what a channel reads now (ok, over, under or no_probe), 0 for the "
                   "other states.");
        for (int k = 0; k < shared::kChannels; ++k)
            for (const auto state : kStates)
                out.sample("quadtherm_reading_state",
                           {{"channel", channelName(k)},
                            {"state", session::readingStateName(state).toUtf8()}},
                           sample->channels[k].state == state ? 1 : 0);
        out.family("quadtherm_alarm", "gauge",
                   "1 while a channel is at or above its alarm setpoint.");
        for (int k = 0; k < shared::kChannels; ++k)
            out.sample("quadtherm_alarm", {{"channel", channelName(k)}},
                       sample->channels[k].alarm ? 1 : 0);
        out.family("quadtherm_sample_timestamp_seconds", "gauge",
                   "When the latest readings were taken, in seconds since the epoch.");
        out.sample("quadtherm_sample_timestamp_seconds", {},
                   double(sample->at.toMSecsSinceEpoch()) / 1000.0);
    }

    out.family("quadtherm_output_dropped_total", "counter",
               "Readings and events of the session the web server's mailbox dropped while it "
               "fell behind.");
    out.sample("quadtherm_output_dropped_total", {}, double(figures.dropped));
    out.family("quadtherm_http_connections", "gauge", "Open HTTP connections.");
    out.sample("quadtherm_http_connections", {}, figures.connections);
    out.family("quadtherm_http_refused_total", "counter",
               "HTTP connections closed early and requests refused, by reason.");
    for (int r = 0; r < kRefusals; ++r)
        out.sample("quadtherm_http_refused_total", {{"reason", refusalName(Refusal(r))}},
                   double(figures.refused[size_t(r)]));
    return out.text();
}

} // namespace quadtherm::http
