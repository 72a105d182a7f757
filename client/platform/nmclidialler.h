#pragma once

#include "client/platform/dialler.h"

#include <QHash>
#include <QProcess>

// Dials through NetworkManager's command-line client: "nmcli connection up id NAME" and
// "connection down id NAME". Its failures become the three codes of the dialling call.
class NmcliDialler : public Dialler {
public:
    explicit NmcliDialler(const QString& program = QStringLiteral("nmcli"), int timeoutMs = 120000);

    quint32 dial(const QString& connection, Handle* handle) override;
    quint32 hangUp(Handle handle) override;
    QStringList connections() override;

    // The dialling code for how a run of nmcli ended.
    static quint32 codeForRun(bool started, bool finished, QProcess::ExitStatus status,
                              int exitCode);

private:
    quint32 run(const QStringList& arguments, QByteArray* output = nullptr);

    QString m_program;
    int m_timeoutMs;
    QHash<Handle, QString> m_up; // handles of the connections this client brought up
    Handle m_nextHandle = 1;
};
