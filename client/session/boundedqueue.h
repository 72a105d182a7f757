#pragma once

#include <QQueue>
#include <QString>
#include <QStringList>

// One of the session's message queues, bounded: a server that streams messages must not fill
// the memory. What does not fit is dropped and counted; the count is said once, in one line,
// when a message fits again (or the session ends).
class BoundedQueue {
public:
    static constexpr int MaxMessages = 10000;
    static constexpr qsizetype MaxChars = 8 * 1024 * 1024;

    // what: "incoming" or "outgoing", for the summary line.
    explicit BoundedQueue(const QString& what);

    // False when the message was dropped. A message that must be kept (the end of the
    // session) goes in even when the queue is full.
    bool enqueue(const QString& message, bool mustKeep = false);
    QString dequeue();
    const QString& head() const;
    bool isEmpty() const;
    bool contains(const QString& message) const;
    QStringList messages() const;

    // The line that says how many were dropped since the last one; empty when none were.
    QString takeDropSummary();

private:
    QString m_what;
    QQueue<QString> m_queue;
    qsizetype m_chars = 0;
    qint64 m_dropped = 0;
};
