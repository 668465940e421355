#pragma once

#include <QByteArray>

#include <memory>

namespace quadtherm::shared {

// Bytes for a file descriptor (standard output or standard error), written by
// a thread of their own: a reader that stops reading (Ctrl-S in a terminal, a
// pager left on a page, a pipe nobody reads) holds up that thread only, never
// the caller. At most `capacity` bytes wait; a push that does not fit is
// refused whole, so a line is printed whole or not at all.
class OutputQueue {
public:
    OutputQueue(int fd, qsizetype capacity);
    // Drops what is still queued and returns at once. A writer blocked in a
    // write is left to end with the process; it owns what it still uses.
    ~OutputQueue();
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    // Queues `bytes` when they fit, else false. Once the descriptor failed,
    // bytes are taken and discarded.
    bool push(const QByteArray& bytes);
    bool hasRoom(qsizetype bytes) const;
    // Bytes queued and not yet written (the write in progress included).
    qsizetype pending() const;
    // Everything queued was written, or never will be (the descriptor failed).
    bool drained() const { return pending() == 0; }
    // A write failed (the reader closed its end): later bytes are discarded.
    bool broken() const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace quadtherm::shared
