#include "client/foundation/filesearch.h"

#include "client/foundation/paths.h"

#include <QDir>
#include <QFileInfo>

namespace FileSearch {

namespace {
bool matchFrom(const QString& pattern, int p, const QString& name, int n) {
    while (p < pattern.size()) {
        const QChar pc = pattern[p];
        if (pc == QLatin1Char('*')) {
            while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
                ++p;
            if (p == pattern.size())
                return true;
            for (int k = n; k <= name.size(); ++k) {
                if (matchFrom(pattern, p, name, k))
                    return true;
            }
            return false;
        }
        if (n >= name.size())
            return false;
        if (pc != QLatin1Char('?') && pc.toCaseFolded() != name[n].toCaseFolded())
            return false;
        ++p;
        ++n;
    }
    return n == name.size();
}
} // namespace

bool matches(const QString& pattern, const QString& fileName) {
    // "*.*" and patterns ending in ".*" also match names without a dot.
    if (pattern.endsWith(QLatin1String(".*")) && !fileName.contains(QLatin1Char('.')))
        return matchFrom(pattern.left(pattern.size() - 2), 0, fileName, 0);
    return matchFrom(pattern, 0, fileName, 0);
}

QStringList findFiles(const QString& folder, const QString& pattern) {
    QDir dir(folder.isEmpty() ? QStringLiteral(".") : Paths::toNative(folder));
    const QStringList names =
        dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    QStringList found;
    for (const QString& name : names) {
        if (matches(pattern, name))
            found << name;
    }
    return found;
}

QStringList findFiles(const QString& pathPattern) {
    QString folder;
    QString pattern = SplitPath(pathPattern, folder);
    if (pattern.isEmpty() && folder.isEmpty()) {
        // No separator (or only a leading one): the pattern is the whole text.
        if (!pathPattern.isEmpty() && Paths::isSeparator(pathPattern[0]))
            return findFiles(QString(QDir::separator()), pathPattern.mid(1));
        return findFiles(QString(), pathPattern);
    }
    if (folder.isEmpty())
        folder = QString(QDir::separator());
    return findFiles(folder, pattern);
}

QString firstFile(const QString& pathPattern) {
    const QStringList all = findFiles(pathPattern);
    return all.isEmpty() ? QString() : all.first();
}

} // namespace FileSearch
