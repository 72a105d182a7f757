#include "setup/dialupentries.h"

#include <QProcess>
#include <QStandardPaths>

DialupEntryLister::~DialupEntryLister() = default;

namespace {

// Terse output escapes ":" and "\" inside values with a backslash.
QStringList splitTerseLine(const QString& line) {
    QStringList fields;
    QString current;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            current += line.at(++i);
        } else if (c == QLatin1Char(':')) {
            fields << current;
            current.clear();
        } else {
            current += c;
        }
    }
    fields << current;
    return fields;
}

bool isDialOnDemand(const QString& type) {
    static const QStringList types = {
        QStringLiteral("gsm"),       QStringLiteral("cdma"),      QStringLiteral("pppoe"),
        QStringLiteral("adsl"),      QStringLiteral("bluetooth"), QStringLiteral("vpn"),
        QStringLiteral("wireguard"),
    };
    return types.contains(type.trimmed(), Qt::CaseInsensitive);
}

} // namespace

QStringList parseNmcliConnections(const QByteArray& output) {
    QStringList names;
    const QStringList lines = QString::fromLocal8Bit(output).split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QStringList fields = splitTerseLine(line);
        if (fields.size() == 2 && !fields[0].isEmpty() && isDialOnDemand(fields[1]))
            names << fields[0];
    }
    return names;
}

NmcliEntryLister::NmcliEntryLister(const QString& program) : m_program(program) {}

DialupEntryLister::Result NmcliEntryLister::listEntries() {
    Result result;
    const QString path = m_program.contains(QLatin1Char('/'))
                             ? m_program
                             : QStandardPaths::findExecutable(m_program);
    if (path.isEmpty())
        return result;
    QProcess nmcli;
    nmcli.start(path, {QStringLiteral("-t"), QStringLiteral("-e"), QStringLiteral("yes"),
                       QStringLiteral("-f"), QStringLiteral("NAME,TYPE"),
                       QStringLiteral("connection"), QStringLiteral("show")});
    // A technician is waiting for the dialog; nmcli answers at once or not at all.
    if (!nmcli.waitForFinished(5000)) {
        nmcli.kill();
        nmcli.waitForFinished(1000);
        return result;
    }
    if (nmcli.exitStatus() != QProcess::NormalExit || nmcli.exitCode() != 0)
        return result;
    result.names = parseNmcliConnections(nmcli.readAllStandardOutput());
    return result;
}

std::unique_ptr<DialupEntryLister> platformDialupEntryLister() {
#ifdef Q_OS_WIN
    return std::make_unique<RasEntryLister>();
#else
    return std::make_unique<NmcliEntryLister>();
#endif
}
