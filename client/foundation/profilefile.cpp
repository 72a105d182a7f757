#include "client/foundation/profilefile.h"

#include "client/foundation/ansitext.h"
#include "client/foundation/fullwrite.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace ProfileFile {

namespace {

// Splits the file at LF; a CR before the LF belongs to the line end. Each line's own end is
// kept in *ends so that lines the write does not touch come back byte for byte.
QList<QByteArray> readLines(const QString& path, bool* exists, QList<QByteArray>* ends = nullptr) {
    QFile file(path);
    *exists = file.open(QIODevice::ReadOnly);
    QList<QByteArray> lines;
    if (!*exists)
        return lines;
    const QByteArray data = file.readAll();
    int start = 0;
    while (start < data.size()) {
        int end = data.indexOf('\n', start);
        QByteArray ending = "\n";
        if (end < 0) {
            end = data.size();
            ending.clear();
        }
        QByteArray line = data.mid(start, end - start);
        if (line.endsWith('\r')) {
            line.chop(1);
            ending.prepend('\r');
        }
        lines.append(line);
        if (ends)
            ends->append(ending);
        start = end + 1;
    }
    return lines;
}

// True for a "[name]" line, with the name in *name.
bool isSectionLine(const QString& line, QString* name) {
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const int close = t.indexOf(QLatin1Char(']'));
    *name = (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
    return true;
}

bool splitKeyValue(const QString& line, QString* key, QString* value) {
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *key = line.left(eq).trimmed();
    *value = line.mid(eq + 1).trimmed();
    return true;
}

struct Location {
    int sectionLine = -1; // index of the [section] line
    int keyLine = -1;     // index of the key line
    int lastContent = -1; // last non-blank line of the section
};

Location locate(const QList<QByteArray>& lines, const QString& section, const QString& key,
                QString* value) {
    Location loc;
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString text = AnsiText::decode(lines[i]);
        QString name;
        if (isSectionLine(text, &name)) {
            if (inSection)
                break; // only the first section of that name counts
            if (name.compare(section.trimmed(), Qt::CaseInsensitive) == 0) {
                inSection = true;
                loc.sectionLine = i;
                loc.lastContent = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!text.trimmed().isEmpty())
            loc.lastContent = i;
        QString k, v;
        if (loc.keyLine < 0 && splitKeyValue(text, &k, &v) &&
            k.compare(key.trimmed(), Qt::CaseInsensitive) == 0) {
            loc.keyLine = i;
            if (value)
                *value = v;
        }
    }
    return loc;
}

} // namespace

bool holdsLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

QString readString(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue, int bufferSize) {
    bool exists = false;
    const QList<QByteArray> lines = readLines(path, &exists);
    QString value = defaultValue.trimmed();
    if (exists) {
        QString found;
        if (locate(lines, section, key, &found).keyLine >= 0)
            value = found;
    }
    const int room = qMax(0, bufferSize - 1);
    return value.left(room);
}

QString readBuffer(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue, int bufferSize) {
    return readString(path, section, key, defaultValue, bufferSize) + QChar(0);
}

bool writeString(const QString& path, const QString& section, const QString& key,
                 const QString& value, QString* error) {
    // A line break would end the line early and make the rest a line of its own.
    for (const QString* text : {&section, &key, &value}) {
        if (holdsLineBreak(*text)) {
            if (error)
                *error = QStringLiteral("A line break cannot be written to %1: [%2] %3")
                             .arg(path, section, key);
            return false;
        }
    }
    bool exists = false;
    QList<QByteArray> ends;
    QList<QByteArray> lines = readLines(path, &exists, &ends);
    if (!exists && QFile::exists(path)) {
        if (error)
            *error = QStringLiteral("Cannot read %1").arg(path);
        return false;
    }

    const Location loc = locate(lines, section, key, nullptr);
    const QByteArray crlf = "\r\n";
    auto insertLine = [&](int at, const QByteArray& line) {
        // The line before a new one must end, or the two would run together (a lone CR does
        // not end a line).
        if (at > 0 && !ends[at - 1].endsWith('\n'))
            ends[at - 1] = crlf;
        lines.insert(at, line);
        ends.insert(at, crlf);
    };

    if (loc.keyLine >= 0) {
        const QByteArray& old = lines[loc.keyLine];
        const QByteArray storedName = old.left(old.indexOf('=')).trimmed();
        lines[loc.keyLine] = storedName + '=' + AnsiText::encode(value);
    } else if (loc.sectionLine >= 0) {
        insertLine(loc.lastContent + 1,
                   AnsiText::encode(key.trimmed()) + '=' + AnsiText::encode(value));
    } else {
        insertLine(lines.size(), '[' + AnsiText::encode(section.trimmed()) + ']');
        insertLine(lines.size(), AnsiText::encode(key.trimmed()) + '=' + AnsiText::encode(value));
    }

    QByteArray data;
    for (int i = 0; i < lines.size(); ++i)
        data += lines[i] + ends[i];

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !writeFully(out, data.constData(), data.size()) || !out.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, out.errorString());
        return false;
    }
    return true;
}

} // namespace ProfileFile
