#pragma once

#include <QString>
#include <QStringList>

// Directory search with the platform's wildcard rules: "*" any run of characters, "?" one
// character, case-insensitive, "*.*" every name with or without a dot. Only plain files are
// found: no folders, no hidden files. Names come in a stable order (case-insensitive by name).
namespace FileSearch {

bool matches(const QString& pattern, const QString& fileName);

// Names (without folder) of the files in folder that match pattern.
QStringList findFiles(const QString& folder, const QString& pattern);

// The same for a path whose last part is the pattern ("C:\Data\*.txt", "/tmp/x/*.ini").
// A path without a separator searches the current folder.
QStringList findFiles(const QString& pathPattern);

// The first match of pathPattern, or an empty text.
QString firstFile(const QString& pathPattern);

} // namespace FileSearch
