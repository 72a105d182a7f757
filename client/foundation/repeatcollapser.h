#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// Collapses the lines of attempts that keep failing the same way. A server that closes or
// refuses every connection makes the client reconnect four times a second, all day, and write
// the same lines each time into the log that goes to the central office. While such a streak
// lasts, a line already written in it is counted instead of written again; the counts come out
// as "<text> [repeated N times]" before a line the streak has not had yet, every
// SummaryIntervalMs, and when the streak ends.
class RepeatCollapser {
public:
    static constexpr qint64 SummaryIntervalMs = 5 * 60 * 1000;

    // The lines to write for text at now, in order: none while it is a repeat.
    QStringList take(const QString& text, const QDateTime& now);
    // The streak is over (the server answered, or the client ends): the counts still due.
    QStringList end();

private:
    struct Seen {
        QString text;
        qint64 repeats = 0;
    };
    QStringList takeCounts();

    QList<Seen> m_seen;
    QDateTime m_countingSince;
};
