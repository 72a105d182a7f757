#pragma once

#include <QString>

class Clock;

// Starts a program without waiting for it.
class ProcessStarter {
public:
    virtual ~ProcessStarter();
    // Starts program with no arguments, in workingFolder. Returns false with a description in
    // *error when it could not be started.
    virtual bool start(const QString& program, const QString& workingFolder, QString* error) = 0;
};

// The real thing: QProcess::startDetached.
class DetachedProcessStarter : public ProcessStarter {
public:
    bool start(const QString& program, const QString& workingFolder, QString* error) override;
};

// The launcher's schedule: once a minute the time of day, as "h:nn AMPM", is compared with
// TimeToSend of skyvane.ini, and on a match the client is started from the program folder with
// no argument. There is no memory of earlier starts; the client's own single-instance guard
// deals with a second one.
class LaunchSchedule {
public:
    LaunchSchedule(const QString& programFolder, const QString& errorLogPath, const Clock& clock,
                   ProcessStarter& starter);

    // The minute timer's work.
    void minuteTick();

    // Starts the task set by the tick: the program path in the working folder, when both exist.
    void ExecTask();

    // The client's file name on this platform.
    static QString clientExecutableName();

private:
    void WriteErrorLog(const QString& line);

    QString m_programFolder;
    QString m_errorLogPath;
    const Clock& m_clock;
    ProcessStarter& m_starter;
    // The task the tick hands to ExecTask.
    QString m_taskProgram;
    QString m_taskFolder;
};
