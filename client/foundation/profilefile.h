#pragma once

#include <QString>

// Reader and writer of profile files (skyvane.ini, mission .ini files, .tsd files) with the
// semantics of the Windows profile-string calls: section and key names match without regard to
// case, blanks around names and values are trimmed, the first section and the first key of a
// name win, a missing file or key gives the default, and the value is cut to the buffer size
// minus one. Files are single-byte ANSI text (AnsiText) with CR LF line ends.
namespace ProfileFile {

// The value as the profile call leaves it in a buffer of bufferSize characters: at most
// bufferSize - 1 characters of the value (or of the default), followed by one NUL.
QString readBuffer(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue, int bufferSize);

// readBuffer without the NUL: the value itself, cut to bufferSize - 1 characters.
QString readString(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue, int bufferSize);

// True when text holds a CR or an LF, which no name or value of a profile file may hold.
bool holdsLineBreak(const QString& text);

// Sets key=value in section. Changes that one line in place (or adds it at the end of the
// section, or adds the section at the end of the file, or creates the file) and leaves every
// other byte of the file as it was. The file is replaced atomically, so a failed write never
// leaves a damaged file. Returns false with a description in *error when it cannot be written.
bool writeString(const QString& path, const QString& section, const QString& key,
                 const QString& value, QString* error = nullptr);

} // namespace ProfileFile
