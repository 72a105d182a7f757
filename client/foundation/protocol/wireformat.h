#pragma once

#include "client/foundation/logbudget.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Messages of the session are 8-bit text ended by one 0x08 byte; nothing else frames them.
namespace Wire {

constexpr char Terminator = '\x08';

// The longest message the client accepts. A longer run without a terminator is dropped, so
// that a faulty server cannot make the client grow without end.
constexpr int MaxMessageBytes = 64 * 1024;

// What the connection holds of received data, and takes from it at once: a burst of millions
// of messages waits in the system's buffers instead of the client's memory.
constexpr qint64 ReadChunkBytes = 64 * 1024;

// The message in the system code page, followed by the terminator.
QByteArray frame(const QString& message);

} // namespace Wire

// Cuts the byte stream of one connection into messages. Bytes after the last terminator of an
// arrival are kept and joined to the next arrival, so a message that comes in pieces is whole.
class WireFramer {
public:
    // The complete messages of this arrival (with what was kept before), oldest first.
    QStringList feed(const QByteArray& data);

    // A status line for each over-long message dropped since the last call: the first few of a
    // window, and then one line with the count once that window is over.
    QStringList takeProblems();

    // Forgets a kept partial message (a new connection starts clean).
    void reset();

    int keptBytes() const;

private:
    void dropOverLong();

    QByteArray m_partial;
    bool m_discarding = false; // inside an over-long message: skip to its terminator
    QStringList m_problems;
    LogBudget m_overLongLines{10, 10 * 60 * 1000};
};
