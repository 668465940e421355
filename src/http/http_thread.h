#pragma once

#include "http/credentials.h"
#include "http/limited_tcp_server.h"
#include "http/listen_options.h"

#include <QHostAddress>
#include <QString>
#include <QThread>

#include <optional>

namespace quadtherm::session {
class OutputHub;
}

namespace quadtherm::http {

class HttpServer;

// The read-only web server of --listen on a thread of its own, with its own
// copy of the meter's state fed through the session's output hub: a flood of
// requests costs this thread, never the session's live tick, whichever
// thread the session runs on (its own in the desktop program, the only one
// in the command-line tool).
class HttpThread {
public:
    struct Options {
        ListenAddress where;
        std::optional<Credentials> credentials;
        ServerLimits limits;
        QString port; // the device path the meter is read on, or "SIM"
    };

    explicit HttpThread(const Options& options);
    // Detaches from the hub, closes every connection and ends the thread.
    ~HttpThread();
    HttpThread(const HttpThread&) = delete;
    HttpThread& operator=(const HttpThread&) = delete;

    // Listens on the server's thread; false with the system's reason (the
    // address in use, or not one of this computer's).
    bool listen(QString* error);
    QHostAddress address() const { return m_address; }
    quint16 port() const { return m_port; }
    // "http://127.0.0.1:8080/"
    QString url() const;

    // The session's output from now on; detach() before the hub goes away.
    // From any thread but the server's.
    void attach(session::OutputHub& hub);
    void detach();

private:
    // Runs `work` on the server's thread and waits for it.
    void onServerThread(const std::function<void()>& work);

    Options m_options;
    QThread m_thread;
    QObject m_anchor;               // lives on m_thread: what runs there runs through it
    HttpServer* m_server = nullptr; // made, used and deleted on m_thread
    QHostAddress m_address;
    quint16 m_port = 0;
    session::OutputHub* m_hub = nullptr;
    int m_attachment = 0;
};

} // namespace quadtherm::http
