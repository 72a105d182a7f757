#include "client/foundation/protocol/wireformat.h"

#include "client/foundation/ansitext.h"

namespace Wire {

QByteArray frame(const QString& message) {
    return AnsiText::encode(message) + Terminator;
}

} // namespace Wire

QStringList WireFramer::feed(const QByteArray& data) {
    QStringList messages;
    qsizetype start = 0;
    while (start <= data.size()) {
        const qsizetype end = data.indexOf(Wire::Terminator, start);
        const qsizetype stop = end < 0 ? data.size() : end;
        if (!m_discarding) {
            m_partial.append(data.constData() + start, stop - start);
            if (m_partial.size() > Wire::MaxMessageBytes)
                dropOverLong();
        }
        if (end < 0)
            break;
        if (m_discarding)
            m_discarding = false;
        else
            messages << AnsiText::decode(m_partial);
        m_partial.clear();
        start = end + 1;
    }
    return messages;
}

void WireFramer::dropOverLong() {
    if (m_overLongLines.admit())
        m_problems << QStringLiteral("Dropped an incoming message longer than %1 bytes")
                          .arg(Wire::MaxMessageBytes);
    m_partial.clear();
    m_discarding = true;
}

QStringList WireFramer::takeProblems() {
    if (const qint64 more = m_overLongLines.takeDue())
        m_problems << QStringLiteral("Dropped %1 more incoming messages longer than %2 bytes")
                          .arg(more)
                          .arg(Wire::MaxMessageBytes);
    QStringList out;
    out.swap(m_problems);
    return out;
}

void WireFramer::reset() {
    m_partial.clear();
    m_discarding = false;
}

int WireFramer::keptBytes() const {
    return int(m_partial.size());
}
