#include "sim/pty_server.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace quadtherm::sim {

namespace {

constexpr int kTickMs = 2;

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyServer::PtyServer(SimulatedMeter& meter, QObject* parent) : QObject(parent), m_meter(meter) {
    m_clock.start();
    m_tick.setInterval(kTickMs);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &PtyServer::onTick);
}

PtyServer::~PtyServer() {
    removeLink();
    closePty();
}

bool PtyServer::start(QString* error) {
    if (!openPty(error) || !updateLink(error))
        return false;
    m_tick.start();
    return true;
}

void PtyServer::replug(int gapMs) {
    if (m_replugging)
        return;
    m_replugging = true;
    removeLink();
    closePty();
    QTimer::singleShot(gapMs, this, [this] {
        m_replugging = false;
        QString error;
        if (!openPty(&error) || !updateLink(&error)) {
            Q_EMIT failed(error);
            return;
        }
        Q_EMIT deviceReady(m_slavePath);
    });
}

bool PtyServer::openPty(QString* error) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    const char* name = nullptr;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || !(name = ::ptsname(master))) {
        *error = systemError("grantpt/unlockpt/ptsname");
        ::close(master);
        return false;
    }
    // Holding the slave open ourselves keeps the master from reading EIO
    // whenever no client has the device open, between one client and the next.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slave < 0) {
        *error = systemError("open slave");
        ::close(master);
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    m_master = master;
    m_slave = slave;
    m_slavePath = QString::fromLocal8Bit(name);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyServer::onReadable);
    return true;
}

void PtyServer::closePty() {
    delete m_notifier;
    m_notifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = -1;
    m_slave = -1;
    m_slavePath.clear();
}

bool PtyServer::updateLink(QString* error) {
    if (m_linkPath.isEmpty())
        return true;
    // A new link renamed over the old one: a client never sees the path missing.
    const QByteArray link = m_linkPath.toLocal8Bit();
    const QByteArray temporary = link + ".new." + QByteArray::number(qint64(::getpid()));
    ::unlink(temporary.constData());
    if (::symlink(m_slavePath.toLocal8Bit().constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), link.constData()) != 0) {
        *error = systemError("symlink");
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

void PtyServer::removeLink() {
    if (m_linkPath.isEmpty() || m_slavePath.isEmpty())
        return;
    const QByteArray link = m_linkPath.toLocal8Bit();
    char target[4096];
    const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
    if (length > 0 && QByteArray(target, length) == m_slavePath.toLocal8Bit())
        ::unlink(link.constData());
}

void PtyServer::onReadable() {
    QByteArray bytes;
    char buffer[512];
    ssize_t got = 0;
    for (;;) {
        got = ::read(m_master, buffer, sizeof buffer);
        if (got > 0)
            bytes.append(buffer, got);
        else if (got < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && m_notifier) {
        // A hung-up line would report readable forever: look again later.
        m_notifier->setEnabled(false);
        QTimer::singleShot(100, this, [this] {
            if (m_notifier)
                m_notifier->setEnabled(true);
        });
    }
    if (!bytes.isEmpty())
        m_meter.receive(bytes, nowUs());
}

void PtyServer::onTick() {
    if (m_master < 0) {
        m_meter.discardUntil(nowUs());
        return;
    }
    const bool dumping = m_meter.sendingDump();
    const QByteArray bytes = m_meter.transmit(nowUs());
    if (bytes.isEmpty())
        return;
    // Nobody reading: throw away what waits in the line's input queue, as a
    // real port overruns, rather than hand the next client seconds-old frames.
    // A dump in progress is left alone: its reader may be a moment behind a
    // dump sent faster than the line.
    const double perSecond = 1e6 / m_meter.byteTimeUs() * std::max(1.0, m_meter.dumpSpeed());
    const int limit = std::clamp(int(perSecond / 2), 4096, 32768);
    int queued = 0;
    if (!dumping && ::ioctl(m_slave, FIONREAD, &queued) == 0 && queued > limit)
        ::tcflush(m_slave, TCIFLUSH);
    qsizetype done = 0;
    bool flushed = false;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (wrote > 0) {
            done += wrote;
        } else if (wrote < 0 && errno == EINTR) {
            continue;
        } else if (wrote < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !flushed) {
            ::tcflush(m_slave, TCIFLUSH);
            flushed = true;
        } else {
            break; // the rest is lost, as on an overrun line
        }
    }
}

} // namespace quadtherm::sim
