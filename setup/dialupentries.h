#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

// Lists the computer's dial-up entries for the settings dialog. Each platform has its own back
// end; tests put in their own.
class DialupEntryLister {
public:
    enum class Outcome {
        Listed,        // names holds the entries (possibly none)
        UnknownSystem, // a Windows version whose dial-up records we do not know
        ListFailed     // the entries could not be read
    };
    struct Result {
        Outcome outcome = Outcome::Listed;
        QStringList names;
        int systemVersion = 0; // the Windows major version, for UnknownSystem
    };

    virtual ~DialupEntryLister();
    virtual Result listEntries() = 0;
};

// The back end of the running platform: the Windows phone book on Windows, NetworkManager's
// command-line client elsewhere.
std::unique_ptr<DialupEntryLister> platformDialupEntryLister();

// Asks NetworkManager's nmcli for its connections that are brought up on demand (mobile
// broadband, PPPoE, DSL, Bluetooth, VPN). Without nmcli or a running NetworkManager the list is
// empty: there is nothing to dial then, and LAN is the only choice.
class NmcliEntryLister : public DialupEntryLister {
public:
    explicit NmcliEntryLister(const QString& program = QStringLiteral("nmcli"));
    Result listEntries() override;

private:
    QString m_program;
};

// The names of dial-on-demand connections in the terse output of
// "nmcli -t -e yes -f NAME,TYPE connection show", in the order listed.
QStringList parseNmcliConnections(const QByteArray& output);

#ifdef Q_OS_WIN
// The Windows major version as GetVersionExA reports it, 0 when it cannot be read.
int GetWindowsVersion();

// The phone-book entries through RasEnumEntriesA, with the record size that matches the
// Windows version.
class RasEntryLister : public DialupEntryLister {
public:
    Result listEntries() override;
};
#endif
