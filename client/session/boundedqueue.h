#pragma once

#include "client/foundation/logbudget.h"

#include <QQueue>
#include <QString>
#include <QStringList>

class Clock;

// One of the session's message queues, bounded: a server that streams messages must not fill
// the memory. What does not fit is dropped and counted; the count is said in one line when a
// message fits again, at most once per SummaryWindowMs however often the queue fills meanwhile
// (and when the session ends).
class BoundedQueue {
public:
    static constexpr int MaxMessages = 10000;
    static constexpr qsizetype MaxChars = 8 * 1024 * 1024;
    static constexpr qint64 SummaryWindowMs = 10 * 60 * 1000;

    // what: "incoming" or "outgoing", for the summary line.
    explicit BoundedQueue(const QString& what);
    void setClock(const Clock* clock);

    // False when the message was dropped. A message that must be kept (the end of the
    // session) goes in even when the queue is full.
    bool enqueue(const QString& message, bool mustKeep = false);
    QString dequeue();
    const QString& head() const;
    bool isEmpty() const;
    bool contains(const QString& message) const;
    QStringList messages() const;

    // The line that says how many were dropped since the last one; empty when none were, or
    // when this window has had its line.
    QString takeDropSummary();
    // The same whatever the window (the session ends).
    QString takeAllDrops();

private:
    QString m_what;
    LogBudget m_summaries;
    QQueue<QString> m_queue;
    qsizetype m_chars = 0;
    qint64 m_dropped = 0;
};
