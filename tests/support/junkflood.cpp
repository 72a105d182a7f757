#include "junkflood.h"

#include "tools/sessionserver/sessionserver.h"

#include <QRegularExpression>

namespace JunkFlood {

bool steps(const QString& before, int count, const QString& after, QList<SessionStep>* steps,
           QString* error) {
    QList<SessionStep> head, tail;
    if (!parseSessionScript(before, &head, error) || !parseSessionScript(after, &tail, error))
        return false;
    SessionStep flood;
    flood.kind = SessionStep::Raw;
    flood.bytes.reserve(count * 8);
    for (int i = 0; i < count; ++i)
        flood.bytes += "JNKjunk\x08";
    *steps = head + QList<SessionStep>{flood} + tail;
    return true;
}

bool alternatingSteps(const QString& before, int seconds, const QString& after,
                      QList<SessionStep>* steps, QString* error) {
    QList<SessionStep> head, tail;
    if (!parseSessionScript(before, &head, error) || !parseSessionScript(after, &tail, error))
        return false;
    SessionStep burst;
    burst.kind = SessionStep::Raw;
    for (int i = 0; i < 1000; ++i)
        burst.bytes += QByteArray("JNKjunk\x08").repeated(10) + "E00\x08";
    SessionStep pause;
    pause.kind = SessionStep::Pause;
    pause.number = 100;
    *steps = head;
    for (int i = 0; i < seconds * 10; ++i)
        *steps << burst << pause;
    *steps += tail;
    return true;
}

qint64 countedIgnored(const QStringList& logTexts) {
    static const QRegularExpression counted("^Ignored (\\d+) more unknown commands$");
    qint64 ignored = 0;
    for (const QString& line : logTexts)
        ignored += counted.match(line).captured(1).toLongLong();
    return ignored;
}

} // namespace JunkFlood
