#pragma once

#include <QtGlobal>

class Clock;

// The no-progress rule of an FTP operation: it has stalled once, for the whole limit, no
// protocol line passed, libcurl moved no byte, and the other side took nothing more of what
// went into the data connection. The last is what moves while a slow line drains its queue
// and the sockets' buffers after libcurl has handed over the last byte; where the system does
// not tell it, only the first two count.
class StallWatch {
public:
    StallWatch(const Clock& clock, qint64 limitMs);

    // A protocol line (and the start of the operation).
    void noteActivity();
    // libcurl's count of the bytes the transfer moved so far.
    void noteMoved(qint64 bytes);
    // The data connection's count of acknowledged bytes (DataSocket::taken); -1: not known.
    void noteAcknowledged(qint64 bytes);

    bool stalled() const;

private:
    const Clock& m_clock;
    qint64 m_limitMs;
    qint64 m_lastMs;
    qint64 m_moved = 0;
    qint64 m_acknowledged = -1;
};
