#include "client/transfer/transferend.h"

#include "client/transfer/controlreply.h"
#include "client/transfer/datasocket.h"
#include "client/transfer/tlsplatform.h"

bool TransferEnd::holdUpload() {
    if (m_state == State::Released)
        return false;
    if (m_state == State::Open)
        m_state = State::Held;
    return true;
}

bool TransferEnd::pending() const {
    return m_state == State::Held || m_state == State::Ending;
}

bool TransferEnd::mayGo(const Connection& c) {
    switch (m_state) {
    case State::Open:
    case State::Released:
        return false;
    case State::Held:
        // libcurl still keeps bytes it could not write yet: it writes them, then asks again.
        if (c.sent < c.total)
            return true;
        if (!startEnding(c)) {
            // The stream's end is libcurl's, and so is the wait for the reply that follows: it
            // waits only a round trip once the line has taken everything.
            const DataSocket::Taken taken = DataSocket::taken(c.data);
            return release(c.data < 0 || taken.acknowledged < 0 || taken.all);
        }
        m_state = State::Ending;
        [[fallthrough]];
    case State::Ending:
        if (!endStream(c))
            return release(true); // the connection is gone: libcurl finds out and reports it
        // libcurl does not read the control connection during the transfer: the reply comes
        // to the socket (an error reply that came with the 150 is libcurl's, unseen here: the
        // upload then ends at the inactivity limit).
        return release(m_streamEnded &&
                       (c.control < 0 || ControlReply::waiting(c.easy, c.control, c.tls)));
    }
    return false;
}

bool TransferEnd::startEnding(const Connection& c) {
    if (c.data < 0)
        return false;
    if (!c.tls)
        return true;
    if (!c.dataTls)
        return false;
    m_unsent = TlsPlatform::closeNotify(c.dataTls);
    return !m_unsent.isEmpty();
}

bool TransferEnd::endStream(const Connection& c) {
    if (m_streamEnded)
        return true;
    if (!m_unsent.isEmpty()) {
        const qint64 sent = DataSocket::sendSome(c.data, m_unsent);
        if (sent < 0)
            return false;
        m_unsent.remove(0, sent);
        if (!m_unsent.isEmpty())
            return true; // the rest when the socket has room
    }
    if (!DataSocket::endSending(c.data))
        return false;
    m_streamEnded = true;
    return true;
}

bool TransferEnd::release(bool go) {
    if (go)
        m_state = State::Released;
    return go;
}
