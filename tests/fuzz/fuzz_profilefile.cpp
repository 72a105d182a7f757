// Profile files: the input is a file's bytes, then (after the last 0x00) a section, key and
// value separated by 0x01. Reading any file works; a key written reads back as written.
#include "client/foundation/profilefile.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path =
        QDir::temp().filePath(QStringLiteral("fuzz_profilefile_%1.ini").arg(getpid()));
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const int split = input.lastIndexOf('\0');
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(split < 0 ? input : input.left(split));
    }
    const QList<QByteArray> parts = (split < 0 ? QByteArray() : input.mid(split + 1)).split('\1');
    const QString section = QString::fromLatin1(parts.value(0)).trimmed();
    const QString key = QString::fromLatin1(parts.value(1)).trimmed();
    const QString value = QString::fromLatin1(parts.value(2)).trimmed();
    ProfileFile::readString(path, section, key, QStringLiteral("none"), 64);
    ProfileFile::readBuffer(path, QStringLiteral("Mission"), QStringLiteral("Type"), QString(), 8);
    // Names and values a line can hold: printable ASCII, no brackets or '=' in names.
    const auto printable = [](const QString& s) {
        for (const QChar c : s) {
            if (c.unicode() < 0x20 || c.unicode() > 0x7e)
                return false;
        }
        return true;
    };
    const auto name = [&](const QString& s) {
        return !s.isEmpty() && printable(s) && !s.contains(QLatin1Char('[')) &&
               !s.contains(QLatin1Char(']')) && !s.contains(QLatin1Char('=')) &&
               !s.startsWith(QLatin1Char(';'));
    };
    if (name(section) && name(key) && printable(value)) {
        QString error;
        if (ProfileFile::writeString(path, section, key, value, &error) &&
            ProfileFile::readString(path, section, key, QStringLiteral("\1"), 100000) != value)
            std::abort();
    }
    QFile::remove(path);
    return 0;
}
