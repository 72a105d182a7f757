#pragma once

#include <QByteArray>

// What the database worker tells the client on its standard output: frames of one kind byte,
// a payload length (4 bytes, little-endian) and the payload. The client trusts none of it: a
// frame it cannot read ends the worker.
namespace WorkerProtocol {

enum class Kind : char {
    Status = 'S',      // one status line, UTF-8
    Progress = 'P',    // a page or row was read; no payload
    Range = 'R',       // the date range found: first and last date text, joined by a line feed
    Done = 'D',        // the mission ran to its end; no payload
    OutOfMemory = 'M', // the worker stops: its memory limit was reached; no payload
};

constexpr int MaxPayload = 64 * 1024;

QByteArray frame(Kind kind, const QByteArray& payload = QByteArray());

// Splits the arriving bytes into frames, however they were cut.
class Reader {
public:
    void feed(const QByteArray& bytes);
    // The next whole frame; false when none is complete yet or the stream is broken.
    bool next(Kind* kind, QByteArray* payload);
    // An unknown kind or an oversized length arrived: nothing after it can be trusted.
    bool broken() const;

private:
    QByteArray m_buffer;
    qsizetype m_read = 0;
    bool m_broken = false;
};

} // namespace WorkerProtocol
