#include "client/platform/nmclidialler.h"

namespace {
// nmcli's exit codes (see its manual).
constexpr int NmcliBadArguments = 2;
constexpr int NmcliTimeout = 3;
constexpr int NmcliNoSuchConnection = 10;

// Connection types that are reached by dialling or tunnelling rather than always there.
bool isDialUpType(const QString& type) {
    static const QStringList types = {QStringLiteral("gsm"),       QStringLiteral("cdma"),
                                      QStringLiteral("pppoe"),     QStringLiteral("adsl"),
                                      QStringLiteral("bluetooth"), QStringLiteral("vpn"),
                                      QStringLiteral("wireguard")};
    return types.contains(type);
}

// Splits one line of nmcli's terse output, where ':' and '\' inside a field are escaped.
QStringList terseFields(const QString& line) {
    QStringList fields;
    QString current;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            current += line[++i];
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
} // namespace

NmcliDialler::NmcliDialler(const QString& program, int timeoutMs)
    : m_program(program), m_timeoutMs(timeoutMs) {}

quint32 NmcliDialler::codeForRun(bool started, bool finished, QProcess::ExitStatus status,
                                 int exitCode) {
    if (!started)
        return NoConnection; // no NetworkManager client on this machine
    if (!finished || status != QProcess::NormalExit)
        return NoDialTone; // gave up waiting, or the client was stopped
    switch (exitCode) {
    case 0:
        return 0;
    case NmcliBadArguments:
    case NmcliNoSuchConnection:
        return InvalidParameter;
    case NmcliTimeout:
        return NoDialTone;
    default:
        return NoConnection;
    }
}

quint32 NmcliDialler::run(const QStringList& arguments, QByteArray* output) {
    QProcess process;
    process.setProgram(m_program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start();
    const bool started = process.waitForStarted(m_timeoutMs);
    bool finished = false;
    if (started) {
        finished = process.waitForFinished(m_timeoutMs);
        if (!finished) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
    if (output)
        *output = process.readAll();
    return codeForRun(started, finished, process.exitStatus(), process.exitCode());
}

quint32 NmcliDialler::dial(const QString& connection, Handle* handle) {
    if (connection.trimmed().isEmpty())
        return InvalidParameter;
    const quint32 code =
        run({QStringLiteral("connection"), QStringLiteral("up"), QStringLiteral("id"), connection});
    if (code == 0) {
        const Handle h = m_nextHandle++;
        m_up.insert(h, connection);
        if (handle)
            *handle = h;
    }
    return code;
}

quint32 NmcliDialler::hangUp(Handle handle) {
    // Only a connection this client brought up is taken down: a handle of nothing must never
    // switch off a network somebody else relies on.
    const auto it = m_up.constFind(handle);
    if (it == m_up.constEnd())
        return InvalidParameter;
    const quint32 code = run(
        {QStringLiteral("connection"), QStringLiteral("down"), QStringLiteral("id"), it.value()});
    if (code == 0)
        m_up.remove(handle);
    return code;
}

QStringList NmcliDialler::connections() {
    QByteArray output;
    if (run({QStringLiteral("-t"), QStringLiteral("-f"), QStringLiteral("NAME,TYPE"),
             QStringLiteral("connection"), QStringLiteral("show")},
            &output) != 0)
        return {};
    QStringList names;
    const QStringList lines = QString::fromLocal8Bit(output).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList fields = terseFields(line.trimmed());
        if (fields.size() == 2 && !fields[0].isEmpty() && isDialUpType(fields[1]))
            names << fields[0];
    }
    return names;
}
