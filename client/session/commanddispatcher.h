#pragma once

#include <QString>

#include <functional>

class SessionClient;
class SessionHost;
class SessionProcedures;

// The server's commands and what the client does for each: the table of codes in
// DispatchCommand, one handler per code.
class CommandDispatcher {
public:
    // Starts a program without waiting for it: (program, argument text). True when started.
    using ProgramStarter = std::function<bool(const QString&, const QString&)>;

    CommandDispatcher(SessionClient& session, SessionHost* host);

    // Null gives the stand-in that reports the procedures as not available.
    void setProcedures(SessionProcedures* procedures);
    SessionProcedures& procedures() const;
    // Null gives the detached start of a real program.
    void setProgramStarter(ProgramStarter starter);

    void DispatchCommand(const QString& message);

private:
    using Handler = void (CommandDispatcher::*)(const QString& message, const QString& arg);
    struct Command {
        const char* code;
        Handler handle;
    };
    static const Command Commands[];

    void keepAlive(const QString& message, const QString& arg);
    void registered(const QString& message, const QString& arg);
    void versionCompatible(const QString& message, const QString& arg);
    void versionIncompatible(const QString& message, const QString& arg);
    void serverBusy(const QString& message, const QString& arg);
    void majorFailure(const QString& message, const QString& arg);
    void sendLog(const QString& message, const QString& arg);
    void endOfSession(const QString& message, const QString& arg);
    void updateStep1(const QString& message, const QString& arg);
    void updateStep2(const QString& message, const QString& arg);
    void updateFailed(const QString& message, const QString& arg);
    void updateDisabled(const QString& message, const QString& arg);
    void ftpUser(const QString& message, const QString& arg);
    void ftpPassword(const QString& message, const QString& arg);
    void ftpServer(const QString& message, const QString& arg);
    void storeFolder(const QString& message, const QString& arg);
    void missionPack(const QString& message, const QString& arg);
    void packFailed(const QString& message, const QString& arg);
    void unknown(const QString& code);

    void sendTransactLog();

    SessionClient& m_session;
    SessionHost* m_host;
    SessionProcedures* m_procedures;
    ProgramStarter m_startProgram;
};
