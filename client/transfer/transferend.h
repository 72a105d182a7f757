#pragma once

#include <QByteArray>
#include <QtGlobal>

// The end of an FTP upload, held back from libcurl until the server's final reply (226) has
// come: libcurl reads that reply blocking the thread, for as long as a slow line takes to
// drain its queue or a slow server to read what it was sent. The upload's last read is paused
// while its data stream is ended here (TLS close_notify, then the end of the TCP stream) and
// the reply is awaited. Checked from the event loop; nothing here waits.
//
// A download is not held: the server sends its 226 as it closes the data connection, and
// libcurl may have read that reply together with the 150 already, where nothing beside
// libcurl can see it.
class TransferEnd {
public:
    // What the checks look at, as the FTP component knows it.
    struct Connection {
        void* easy = nullptr;    // the transfer's libcurl easy handle (CURL*)
        bool tls = false;        // FTP over TLS
        qintptr control = -1;    // the control connection's socket, -1 when not known
        qintptr data = -1;       // the data connection's socket, -1 when not known
        void* dataTls = nullptr; // the data connection's TLS object, null when not known
        qint64 sent = 0;         // bytes libcurl has written into the data connection
        qint64 total = 0;        // bytes of the whole upload
    };

    // libcurl asks for more of an upload whose file has ended: true while the end is held.
    bool holdUpload();

    // Held or being ended: mayGo() has something to check.
    bool pending() const;
    // Moves the end on; true when libcurl is to go on now (it may be held again: an upload
    // whose last bytes libcurl still keeps writes them first).
    bool mayGo(const Connection& connection);

private:
    enum class State { Open, Held, Ending, Released };

    bool startEnding(const Connection& connection);
    bool endStream(const Connection& connection);
    bool release(bool go);

    State m_state = State::Open;
    QByteArray m_unsent; // the TLS end of the stream, as much as the socket has not taken
    bool m_streamEnded = false;
};
