#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// Zip archives for tests, made and read with the client's own zip component.
namespace TestZip {

// The bytes of an archive holding the given files (plain names, no folders).
QByteArray make(const QMap<QString, QByteArray>& files);

// The bytes of an archive holding one entry under any path (folders included, "a/b.ini").
QByteArray makeEntry(const QString& entryPath, const QByteArray& content);

// The sorted names of the entries of an archive; "<unpack failed>" when it cannot be read.
QStringList entries(const QString& archivePath);

} // namespace TestZip
