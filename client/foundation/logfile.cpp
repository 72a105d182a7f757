#include "client/foundation/logfile.h"

#include "client/foundation/clock.h"
#include "client/foundation/datetext.h"

#include <QFile>

bool appendPlainLine(const QString& path, const QString& text, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = QStringLiteral("Cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray line = text.toLocal8Bit() + "\r\n";
    if (file.write(line) != line.size() || !file.flush()) {
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
