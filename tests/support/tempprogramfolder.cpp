#include "tests/support/tempprogramfolder.h"

#include "client/foundation/ansitext.h"
#include "client/foundation/paths.h"
#include "client/foundation/statuslog.h"
#include "client/foundation/tempfolder.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

TempProgramFolder::TempProgramFolder() {
    Paths::setProgramFolderForTesting(m_dir.path());
}

TempProgramFolder::~TempProgramFolder() {
    // The run's temporary folder in it is held open (on Windows) while it lives.
    TempFolder::release();
    Paths::setProgramFolderForTesting(QString());
}

QString TempProgramFolder::path() const {
    return Paths::toNative(m_dir.path());
}

QString TempProgramFolder::file(const QString& name) const {
    return Paths::join(path(), name);
}

void TempProgramFolder::write(const QString& name, const QByteArray& content) const {
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
}

QByteArray TempProgramFolder::read(const QString& name) const {
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList TempProgramFolder::lines(const QString& name) const {
    QString text = AnsiText::decode(read(name));
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    if (text.isEmpty())
        return {};
    return text.split(QStringLiteral("\r\n"));
}

QStringList TempProgramFolder::logTexts(const QString& name) const {
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d{2}:\\d{2} [AP]M :"));
    QStringList out;
    for (QString line : lines(name))
        out << line.remove(stamp);
    return out;
}
