#include "client/foundation/filereplace.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool replaceFile(const QString& source, const QString& target, QString* error) {
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) ==
        0)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}
