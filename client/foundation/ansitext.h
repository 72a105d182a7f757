#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The one conversion between text and the bytes of the files (settings, mission files, logs,
// .tsv) and of the wire: single-byte ANSI text on every platform, the system's ANSI code page
// on Windows and Windows-1252 elsewhere. The central office gets the same bytes from every
// store, and a byte read from a file goes out unchanged. Characters the code page cannot hold
// become "?".
namespace AnsiText {

QByteArray encode(QStringView text);
QString decode(QByteArrayView bytes);
// Appends the ANSI bytes of UTF-8 text: the same bytes as encode(QString::fromUtf8(utf8)),
// without building the QString where the code page is fixed (bulk output such as .tsv rows).
void appendFromUtf8(QByteArray& out, QByteArrayView utf8);

} // namespace AnsiText
