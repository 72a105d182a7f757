#include "client/foundation/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace Paths {

namespace {
QString& programFolderOverride() {
    static QString folder;
    return folder;
}
} // namespace

QString programFolder() {
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void setProgramFolderForTesting(const QString& folder) {
    programFolderOverride() = toNative(folder);
}

QString inProgramFolder(const QString& fileName) {
    return join(programFolder(), fileName);
}

QString join(const QString& folder, const QString& name) {
    if (folder.isEmpty() || isSeparator(folder.back()))
        return toNative(folder + name);
    return toNative(folder + QDir::separator() + name);
}

QString toNative(const QString& path) {
    QString out = path;
    const QChar sep = QDir::separator();
    for (QChar& c : out) {
        if (isSeparator(c))
            c = sep;
    }
    return out;
}

bool isSeparator(QChar c) {
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

bool isPlainFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    // Windows opens these devices in every folder and whatever the extension: "nul.zip" is no
    // file. Refused on every platform, so that a name means the same to every store.
    static const QRegularExpression device(
        QStringLiteral("^(con|prn|aux|nul|com[0-9]|lpt[0-9]) *(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    if (device.match(name).hasMatch())
        return false;
    const QString refused = QStringLiteral("\\/:*?\"<>|");
    return std::none_of(name.begin(), name.end(),
                        [&](QChar c) { return c.unicode() < 0x20 || refused.contains(c); });
}

QString executableName(const QString& program) {
#ifdef Q_OS_WIN
    return program + QStringLiteral(".exe");
#else
    return program;
#endif
}

} // namespace Paths

bool cMakeDir(const QString& path, QString* error) {
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    const QChar sep = QDir::separator();
    QStringList parts;
    {
        QString current;
        for (QChar c : path) {
            if (Paths::isSeparator(c)) {
                parts << current;
                current.clear();
            } else {
                current += c;
            }
        }
        parts << current;
    }

    QString built;
    int first = 0;
    const bool unc = path.size() >= 2 && Paths::isSeparator(path[0]) && Paths::isSeparator(path[1]);
    if (unc) {
        // Server and share are never tested or created.
        if (parts.size() < 4 || parts[2].isEmpty() || parts[3].isEmpty())
            return fail(QStringLiteral("Invalid network path (no share): %1").arg(path));
        built = QString(sep) + sep + parts[2] + sep + parts[3] + sep;
        first = 4;
    } else if (!path.isEmpty() && Paths::isSeparator(path[0])) {
        // A single leading separator is the root (of the current drive on Windows); dropping it
        // would create the folders below the current folder instead.
        built = sep;
    }
    for (int i = first; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.isEmpty())
            continue;
        built += part + sep;
        if (part.endsWith(QLatin1Char(':')))
            continue;
        const QFileInfo info(built);
        if (info.isDir())
            continue;
        if (info.exists())
            return fail(QStringLiteral("Path/File access error: %1 is a file").arg(built));
        if (!QDir().mkdir(built))
            return fail(QStringLiteral("Path/File access error: cannot create %1").arg(built));
    }
    return true;
}

QString SplitPath(const QString& path, QString& folder, QString* error) {
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("Invalid procedure call or argument: empty path");
        return QString();
    }
    for (int i = path.size() - 1; i >= 1; --i) {
        if (Paths::isSeparator(path[i])) {
            folder = path.left(i);
            return path.mid(i + 1);
        }
    }
    return QString();
}
