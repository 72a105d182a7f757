#include "client/foundation/filesearch.h"

#include "client/foundation/paths.h"

#include <QDir>
#include <QFileInfo>

namespace FileSearch {

namespace {
bool sameCharacter(QChar patternChar, QChar nameChar) {
    return patternChar == QLatin1Char('?') || patternChar.toCaseFolded() == nameChar.toCaseFolded();
}

// Greedy matching with one backtrack point, the last "*": a later "*" never needs an earlier
// one to take more characters, so the time stays proportional to the lengths, not exponential.
bool matchFrom(QStringView pattern, QStringView name) {
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype starAt = -1;
    qsizetype starTakes = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starAt = p++;
            starTakes = n;
        } else if (p < pattern.size() && sameCharacter(pattern[p], name[n])) {
            ++p;
            ++n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++starTakes;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}
} // namespace

bool matches(const QString& pattern, const QString& fileName) {
    // "*.*" and patterns ending in ".*" also match names without a dot.
    if (pattern.endsWith(QLatin1String(".*")) && !fileName.contains(QLatin1Char('.')))
        return matchFrom(QStringView(pattern).chopped(2), fileName);
    return matchFrom(pattern, fileName);
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
