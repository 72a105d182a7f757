#pragma once

#include <QByteArray>
#include <QString>

#include <zip.h>

// A read-only libzip source for an archive file that reads it in large pieces. libzip's own
// file source reads in steps of a few KB with a seek before each, which costs more system time
// than inflating the data; this one asks the system once per 256 KB.
zip_source_t* createArchiveFileSource(const QString& path, zip_error_t* error);

// Opens an archive for reading through that source; null with *openError set like zip_open's.
zip_t* openArchiveForReading(const QString& path, int* openError);

// A path as libzip's own file functions take it.
QByteArray libzipFileName(const QString& path);
