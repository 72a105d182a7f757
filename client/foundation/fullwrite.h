#pragma once

#include <QtGlobal>

class QIODevice;

// Writes all of data to an unbuffered device. A write that a full disk cuts short returns what
// fit and leaves no error behind ("Unknown error"): the rest is written again, so that the
// system says why ("No space left on device"). False when not everything was written; the
// device's errorString() then names the cause.
bool writeFully(QIODevice& device, const char* data, qint64 size);
