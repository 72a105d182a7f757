#include "updater/executableswap.h"

#include "client/foundation/paths.h"
#include "client/foundation/singleinstance.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <filesystem>
#include <system_error>

namespace {
std::filesystem::path fsPath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString clientName() {
    return Paths::executableName(QStringLiteral("skyvane"));
}
} // namespace

ExecutableSwap::ExecutableSwap(const QString& folder) : m_folder(folder) {}

ExecutableSwap::~ExecutableSwap() = default;

QString ExecutableSwap::clientPath() const {
    return Paths::join(m_folder, clientName());
}

QString ExecutableSwap::newPath() const {
    return Paths::join(m_folder, QStringLiteral("skyvane.new"));
}

QString ExecutableSwap::oldPath() const {
    return Paths::join(m_folder, QStringLiteral("skyvane.old"));
}

bool ExecutableSwap::run(const QString& commandLine, QString* error) {
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const QString client = clientName();
    const QString unchanged = QStringLiteral(" Nothing was changed.");

    if (!QFileInfo(newPath()).isFile())
        return fail(QStringLiteral("skyvane.new was not found in %1.").arg(m_folder) + unchanged);
    if (clientStillRunning())
        return fail(QStringLiteral("%1 is still running and cannot be replaced.").arg(client) +
                    unchanged);

    QString why;
    // A store without a client gets the new build all the same.
    const bool hadClient = QFileInfo::exists(clientPath());
    // Replacing skyvane.old in the same step as the move keeps everything as it was when the
    // client file is in use or skyvane.old cannot go.
    if (hadClient && !moveFile(clientPath(), oldPath(), true, &why))
        return fail(QStringLiteral("Cannot move %1 to skyvane.old: %2.").arg(client, why) +
                    unchanged);
    if (!moveFile(newPath(), clientPath(), false, &why))
        return fail(QStringLiteral("Cannot move skyvane.new to %1: %2. ").arg(client, why) +
                    putBack(false, hadClient));
    if (!makeExecutable(clientPath(), &why))
        return fail(QStringLiteral("Cannot make the new %1 executable: %2. ").arg(client, why) +
                    putBack(true, hadClient));
    if (!startClient(commandLine, &why))
        return fail(QStringLiteral("Cannot start the new %1: %2. ").arg(client, why) +
                    putBack(true, hadClient));
    return true;
}

QString ExecutableSwap::putBack(bool newInPlace, bool hadClient) {
    QString why;
    QString text;
    if (newInPlace) {
        if (moveFile(clientPath(), newPath(), false, &why)) {
            text = QStringLiteral("skyvane.new was left in place. ");
        } else {
            // The new build stays the client: better than none.
            return QStringLiteral("The new build could not be moved back to skyvane.new (%1) "
                                  "and stays in place.")
                .arg(why);
        }
    }
    if (!hadClient)
        return text + QStringLiteral("There was no previous build to put back.");
    if (moveFile(oldPath(), clientPath(), false, &why))
        return text + QStringLiteral("The previous build was put back.");
    return text + QStringLiteral("The previous build could not be put back (%1); it is kept "
                                 "as skyvane.old.")
                      .arg(why);
}

bool ExecutableSwap::clientStillRunning() {
    // The client holds the program folder's instance lock for as long as it runs, hung or not.
    // Where a running executable can be renamed, this is the only sign that it has not ended.
    return SingleInstance(QString::fromLatin1(ClientInstanceName), m_folder).isRunning();
}

bool ExecutableSwap::moveFile(const QString& from, const QString& to, bool replace,
                              QString* error) {
    std::error_code code;
    if (!replace && QFileInfo::exists(to)) {
        *error = QStringLiteral("%1 is in the way").arg(to);
        return false;
    }
    std::filesystem::rename(fsPath(from), fsPath(to), code);
    if (code) {
        *error = QString::fromLocal8Bit(code.message().c_str());
        return false;
    }
    return true;
}

bool ExecutableSwap::makeExecutable(const QString& path, QString* error) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    Q_UNUSED(error);
    return true;
#else
    QFile file(path);
    const QFileDevice::Permissions exec = QFileDevice::ExeOwner | QFileDevice::ExeUser |
                                          QFileDevice::ExeGroup | QFileDevice::ExeOther;
    if (!file.setPermissions(file.permissions() | exec)) {
        *error = file.errorString();
        return false;
    }
    return true;
#endif
}

bool ExecutableSwap::startClient(const QString& commandLine, QString* error) {
    QProcess process;
    process.setProgram(clientPath());
    process.setWorkingDirectory(m_folder);
#ifdef Q_OS_WIN
    // The client takes its command line as it stands.
    process.setNativeArguments(commandLine);
#else
    if (!commandLine.isEmpty())
        process.setArguments({commandLine});
#endif
    if (!process.startDetached()) {
        *error = process.errorString();
        return false;
    }
    return true;
}
