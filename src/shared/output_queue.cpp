#include "shared/output_queue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <cerrno>
#include <unistd.h>

namespace quadtherm::shared {

// Owned jointly by the queue and its writer thread, so that a writer still
// blocked when the queue goes away never touches freed memory.
struct OutputQueue::Shared {
    const int fd;
    const qsizetype capacity;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<QByteArray> queue;
    qsizetype queued = 0; // bytes in `queue` plus the write in progress
    bool broken = false;
    bool closing = false;

    Shared(int descriptor, qsizetype bytes) : fd(descriptor), capacity(bytes) {}

    // Something longer than the whole queue still goes, alone.
    bool fits(qsizetype bytes) const { return queued == 0 || queued + bytes <= capacity; }

    // The whole chunk, or false when the descriptor refuses it.
    bool writeAll(const QByteArray& chunk) const {
        for (qsizetype done = 0; done < chunk.size();) {
            const ssize_t n = ::write(fd, chunk.constData() + done, size_t(chunk.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return closing || !queue.empty(); });
            if (closing)
                return;
            const QByteArray chunk = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            const bool ok = writeAll(chunk);
            lock.lock();
            queued -= chunk.size();
            if (!ok) {
                broken = true;
                for (const QByteArray& rest : queue)
                    queued -= rest.size();
                queue.clear();
            }
        }
    }
};

OutputQueue::OutputQueue(int fd, qsizetype capacity)
    : m_shared(std::make_shared<Shared>(fd, capacity)) {
    std::thread([shared = m_shared] { shared->run(); }).detach();
}

OutputQueue::~OutputQueue() {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->closing = true;
    m_shared->queue.clear();
    m_shared->wake.notify_all();
}

bool OutputQueue::push(const QByteArray& bytes) {
    const std::lock_guard lock(m_shared->mutex);
    if (m_shared->broken)
        return true;
    if (!m_shared->fits(bytes.size()))
        return false;
    m_shared->queue.push_back(bytes);
    m_shared->queued += bytes.size();
    m_shared->wake.notify_one();
    return true;
}

bool OutputQueue::hasRoom(qsizetype bytes) const {
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->broken || m_shared->fits(bytes);
}

qsizetype OutputQueue::pending() const {
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->queued;
}

bool OutputQueue::broken() const {
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->broken;
}

} // namespace quadtherm::shared
