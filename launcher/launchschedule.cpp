#include "launcher/launchschedule.h"

#include "client/foundation/clock.h"
#include "client/foundation/datetext.h"
#include "client/foundation/filesearch.h"
#include "client/foundation/logfile.h"
#include "client/foundation/paths.h"
#include "client/foundation/profilefile.h"
#include "client/foundation/settings.h"
#include "client/foundation/trimdown.h"

#include <QFileInfo>
#include <QProcess>

namespace {
// The launcher looks at no more of a settings buffer than the settings dialog does.
constexpr int launcherTrimLimit = 99;
} // namespace

ProcessStarter::~ProcessStarter() = default;

bool DetachedProcessStarter::start(const QString& program, const QString& workingFolder,
                                   QString* error) {
    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(workingFolder);
    if (process.startDetached())
        return true;
    if (error)
        *error = process.errorString();
    return false;
}

LaunchSchedule::LaunchSchedule(const QString& programFolder, const QString& errorLogPath,
                               const Clock& clock, ProcessStarter& starter)
    : m_programFolder(programFolder), m_errorLogPath(errorLogPath), m_clock(clock),
      m_starter(starter) {}

QString LaunchSchedule::clientExecutableName() {
#ifdef Q_OS_WIN
    return QStringLiteral("skyvane.exe");
#else
    return QStringLiteral("skyvane");
#endif
}

void LaunchSchedule::minuteTick() {
    const QString now = DateText::hourMinute(m_clock.now().time());

    const QStringList ini = FileSearch::findFiles(m_programFolder, QStringLiteral("skyvane.ini"));
    if (ini.isEmpty())
        return;
    const QString buffer = ProfileFile::readBuffer(
        Paths::join(m_programFolder, ini.first()), QStringLiteral("system"),
        QStringLiteral("TimeToSend"), QStringLiteral("-1"), SettingsBufferSize);
    const QString timeToSend = trimdown(buffer, launcherTrimLimit);

    // Exact text: "09:05 AM" or "9:05 am" never match.
    if (now != timeToSend)
        return;
    m_taskProgram = Paths::join(m_programFolder, clientExecutableName());
    m_taskFolder = m_programFolder;
    ExecTask();
}

void LaunchSchedule::ExecTask() {
    QString folder;
    const QString name = SplitPath(m_taskProgram, folder);
    const QStringList found = FileSearch::findFiles(folder, name);
    if (name.isEmpty() || found.isEmpty())
        return;
    if (!QFileInfo(m_taskFolder).isDir())
        return;
    // The client is given its own folder as working folder; the launcher's own stays put.
    QString error;
    if (!m_starter.start(Paths::join(folder, found.first()), m_taskFolder, &error))
        WriteErrorLog(QStringLiteral("Error in Exec Task, Error=") + error +
                      QStringLiteral(" Task Number="));
}

void LaunchSchedule::WriteErrorLog(const QString& line) {
    // Nowhere else to report to: a resident program without a window.
    appendPlainLine(m_errorLogPath, line);
}
