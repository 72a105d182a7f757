#include "client/session/boundedqueue.h"

BoundedQueue::BoundedQueue(const QString& what) : m_what(what), m_summaries(1, SummaryWindowMs) {}

void BoundedQueue::setClock(const Clock* clock) {
    m_summaries.setClock(clock);
}

bool BoundedQueue::enqueue(const QString& message, bool mustKeep) {
    const bool full = m_queue.size() >= MaxMessages || m_chars + message.size() > MaxChars;
    if (full && !mustKeep) {
        ++m_dropped;
        return false;
    }
    m_queue.enqueue(message);
    m_chars += message.size();
    return true;
}

QString BoundedQueue::dequeue() {
    const QString message = m_queue.dequeue();
    m_chars -= message.size();
    return message;
}

const QString& BoundedQueue::head() const {
    return m_queue.head();
}

bool BoundedQueue::isEmpty() const {
    return m_queue.isEmpty();
}

bool BoundedQueue::contains(const QString& message) const {
    return m_queue.contains(message);
}

QStringList BoundedQueue::messages() const {
    return QStringList(m_queue.begin(), m_queue.end());
}

QString BoundedQueue::takeDropSummary() {
    if (m_dropped == 0 || !m_summaries.admit())
        return QString();
    return takeAllDrops();
}

QString BoundedQueue::takeAllDrops() {
    if (m_dropped == 0)
        return QString();
    const QString line =
        QStringLiteral("Dropped %1 %2 messages: the queue was full").arg(m_dropped).arg(m_what);
    m_dropped = 0;
    return line;
}
