#include "client/missions/workerprotocol.h"

#include <QtEndian>

namespace WorkerProtocol {

namespace {
constexpr int HeaderSize = 5;

bool knownKind(char kind) {
    switch (Kind(kind)) {
    case Kind::Status:
    case Kind::Progress:
    case Kind::Range:
    case Kind::Done:
    case Kind::OutOfMemory:
        return true;
    }
    return false;
}
} // namespace

QByteArray frame(Kind kind, const QByteArray& payload) {
    const QByteArray cut = payload.left(MaxPayload);
    QByteArray out;
    out.reserve(HeaderSize + cut.size());
    out.append(char(kind));
    char length[4];
    qToLittleEndian(quint32(cut.size()), length);
    out.append(length, 4);
    out.append(cut);
    return out;
}

void Reader::feed(const QByteArray& bytes) {
    if (m_broken)
        return;
    // Drop what was read before, so the buffer holds at most one frame and the rest.
    if (m_read > 0) {
        m_buffer.remove(0, m_read);
        m_read = 0;
    }
    m_buffer.append(bytes);
}

bool Reader::next(Kind* kind, QByteArray* payload) {
    if (m_broken || m_buffer.size() - m_read < HeaderSize)
        return false;
    const char* header = m_buffer.constData() + m_read;
    const quint32 length = qFromLittleEndian<quint32>(header + 1);
    if (!knownKind(header[0]) || length > quint32(MaxPayload)) {
        m_broken = true;
        return false;
    }
    if (m_buffer.size() - m_read < HeaderSize + qsizetype(length))
        return false;
    *kind = Kind(header[0]);
    *payload = m_buffer.mid(m_read + HeaderSize, qsizetype(length));
    m_read += HeaderSize + qsizetype(length);
    return true;
}

bool Reader::broken() const {
    return m_broken;
}

} // namespace WorkerProtocol
