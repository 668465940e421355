#pragma once

// The web server as the programs run it, on a free loopback port, with an
// output hub the test publishes to in the session's place. Header only.

#include "http/credentials.h"
#include "http/http_thread.h"
#include "session/output_hub.h"
#include "support/http_client.h"

#include <QDateTime>
#include <QTest>

#include <functional>
#include <memory>

namespace quadtherm::test {

struct WebRig {
    session::OutputHub hub;
    std::unique_ptr<http::HttpThread> web;
    bool listening = false;

    explicit WebRig(http::ServerLimits limits = {},
                    std::optional<http::Credentials> credentials = {}) {
        http::HttpThread::Options options;
        options.port = QStringLiteral("SIM");
        options.limits = limits;
        options.credentials = std::move(credentials);
        web = std::make_unique<http::HttpThread>(options);
        QString error;
        listening = web->listen(&error);
        web->attach(hub);
    }
    quint16 port() const { return web->port(); }
    QString url() const { return web->url(); }

    // A live sample at `at`, each channel as `fill` makes it (T1 to T4
    // reading 20.5, 21.5 ... °C, type K, unless it says otherwise).
    void publish(const QDateTime& at,
                 const std::function<void(int, session::OutReading&)>& fill = {}) {
        session::OutEvent event;
        event.kind = session::OutEvent::Kind::Live;
        event.sample.at = at;
        for (int k = 0; k < 4; ++k) {
            auto& reading = event.sample.channels[k];
            reading.state = session::ReadingState::Ok;
            reading.value = 20.5 + k;
            reading.text = QString::number(20.5 + k, 'f', 1);
            reading.type = QStringLiteral("K");
            if (fill)
                fill(k, reading);
        }
        hub.publish(event);
    }
    // The readings above, now; true once the server has them.
    bool publishReadings() {
        publish(QDateTime::currentDateTime());
        return QTest::qWaitFor(
            [this] { return httpGet(port(), "/api/live").body.contains("\"T4\""); }, 5000);
    }
    // One series of /metrics, or -1 when it is not there.
    double metric(const QByteArray& series) {
        for (const QByteArray& line : httpGet(port(), "/metrics").body.split('\n'))
            if (line.startsWith(series + ' '))
                return line.mid(series.size() + 1).toDouble();
        return -1;
    }
};

} // namespace quadtherm::test
