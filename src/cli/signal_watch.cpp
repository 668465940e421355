#include "cli/signal_watch.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace quadtherm::cli {

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool SignalWatch::install() {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESTART: Qt's own system calls go on; the pipe carries the news.
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

SignalWatch::SignalWatch(QObject* parent)
    : QObject(parent), m_notifier(g_pipe[0], QSocketNotifier::Read) {
    connect(&m_notifier, &QSocketNotifier::activated, this, &SignalWatch::drain);
}

QString SignalWatch::name() const {
    return m_first == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM");
}

void SignalWatch::drain() {
    unsigned char signal = 0;
    while (::read(g_pipe[0], &signal, 1) == 1) {
        if (m_first == 0)
            m_first = signal;
        ++m_count;
        Q_EMIT received(signal);
    }
}

} // namespace quadtherm::cli
