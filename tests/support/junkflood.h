#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct SessionStep;

// A server that floods the client with unknown commands, and what the client's log makes of it.
namespace JunkFlood {

// The server's steps: the script `before`, then `count` unknown commands in one burst, then the
// script `after`.
bool steps(const QString& before, int count, const QString& after, QList<SessionStep>* steps,
           QString* error);

// The server's steps: the script `before`, then for `seconds` ten unknown commands and a
// keep-alive (E00) after each other, ten thousand times every tenth of a second, then `after`.
bool alternatingSteps(const QString& before, int seconds, const QString& after,
                      QList<SessionStep>* steps, QString* error);

// The sum of the unknown commands the log's summary lines say were ignored.
qint64 countedIgnored(const QStringList& logTexts);

} // namespace JunkFlood
