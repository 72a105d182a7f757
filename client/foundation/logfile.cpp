#include "client/foundation/logfile.h"

#include "client/foundation/ansitext.h"
#include "client/foundation/clock.h"
#include "client/foundation/datetext.h"
#include "client/foundation/fullwrite.h"

#include <QFile>

#include <algorithm>

QString visibleLine(const QString& text) {
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; };
    if (std::none_of(text.begin(), text.end(), isControl))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (!isControl(c))
            out += c;
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return out;
}

bool appendPlainLine(const QString& path, const QString& text, QString* error) {
    QFile file(path);
    // Unbuffered: a line that a full disk cuts short is named as such (writeFully).
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        if (error)
            *error = QStringLiteral("Cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray line = AnsiText::encode(visibleLine(text)) + "\r\n";
    if (!writeFully(file, line.constData(), line.size())) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    file.close();
    return true;
}

bool appendLogLine(const QString& path, const QString& text, const Clock& clock, QString* error) {
    return appendPlainLine(path, DateText::logLine(clock.now(), text), error);
}
