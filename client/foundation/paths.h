#pragma once

#include <QString>

// Paths of the program folder and the path helpers of the missions. Paths written by people use
// "\" or "/"; both are accepted everywhere, and paths are written with the native separator.
namespace Paths {

// The folder of the running executable, unless a test has set another one.
QString programFolder();
void setProgramFolderForTesting(const QString& folder);

// programFolder() + native separator + name
QString inProgramFolder(const QString& fileName);

// Folder + native separator + name, without doubling a separator the folder already ends with.
QString join(const QString& folder, const QString& name);

// Every "\" and "/" turned into the native separator.
QString toNative(const QString& path);

bool isSeparator(QChar c);

// True for a name that can only mean a file in the folder it is joined to: not empty, not "."
// or "..", no separator, drive, wildcard or control character, no Windows device ("NUL.zip").
bool isPlainFileName(const QString& name);

// A program's file name on this platform: "skyvane" here, "skyvane.exe" on Windows.
QString executableName(const QString& program);

} // namespace Paths

// Creates every missing folder of path, from the top down. "\\server\share" is never tested or
// created, a drive ("C:") is never tested, and a single leading separator stays the root.
// Returns false with a description in *error at the first level that cannot be created (the
// levels above stay), or for a network path without a share.
bool cMakeDir(const QString& path, QString* error = nullptr);

// Cuts path at its last separator (the first character is never taken as one): returns what
// follows it and sets folder to what precedes it. Without a separator returns an empty text and
// leaves folder alone. An empty path is an invalid argument: returns an empty text, sets *error.
QString SplitPath(const QString& path, QString& folder, QString* error = nullptr);
