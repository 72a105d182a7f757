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

qint64 countedIgnored(const QStringList& logTexts) {
    static const QRegularExpression counted("^Ignored (\\d+) more unknown commands$");
    qint64 ignored = 0;
    for (const QString& line : logTexts)
        ignored += counted.match(line).captured(1).toLongLong();
    return ignored;
}

} // namespace JunkFlood
