#include "client/foundation/settings.h"

#include "client/foundation/conversions.h"
#include "client/foundation/datetext.h"
#include "client/foundation/paths.h"
#include "client/foundation/profilefile.h"
#include "client/foundation/trimdown.h"

#include <QDir>
#include <QFileInfo>

ClientSettings& clientSettings() {
    static ClientSettings settings;
    return settings;
}

QString readSettingsKey(const QString& iniPath, const char* section, const char* key,
                        const char* defaultValue) {
    return trimdown(ProfileFile::readBuffer(iniPath, QString::fromLatin1(section),
                                            QString::fromLatin1(key),
                                            QString::fromLatin1(defaultValue), SettingsBufferSize));
}

QString settingProblem(const char* key, const QString& value, const char* defaultValue) {
    return QStringLiteral("Setting %1 in skyvane.ini is not valid (\"%2\"), using %3")
        .arg(QString::fromLatin1(key), value, QString::fromLatin1(defaultValue));
}

FtpTlsSettings readFtpTlsSettings(const QString& iniPath, QStringList* problems) {
    FtpTlsSettings s;
    const QString tls = readSettingsKey(iniPath, "system", "FtpTls", "False");
    if (!Convert::toBoolean(tls, &s.enabled)) {
        s.enabled = true;
        if (problems)
            *problems << settingProblem("FtpTls", tls, "True");
    }
    QString caFile = readSettingsKey(iniPath, "system", "FtpCaFile", "").trimmed();
    if (!caFile.isEmpty()) {
        caFile.replace(QLatin1Char('\\'), QLatin1Char('/')); // written by people: either separator
        s.caFile = Paths::toNative(
            QDir::cleanPath(QFileInfo(iniPath).absoluteDir().absoluteFilePath(caFile)));
    }
    return s;
}

void LoadSettings(const QString& iniPath, ClientSettings* out, QStringList* problems) {
    ClientSettings s;
    s.siteId = readSettingsKey(iniPath, "system", "ID", "");
    s.sitePassword = readSettingsKey(iniPath, "system", "Pass", "");
    s.connection = readSettingsKey(iniPath, "system", "Connection", "");
    s.server = readSettingsKey(iniPath, "system", "Server", "");

    const QString port = readSettingsKey(iniPath, "system", "Port", "55555");
    if (!Convert::toInt32(port, &s.port) && problems)
        *problems << settingProblem("Port", port, "55555");

    const QString passive = readSettingsKey(iniPath, "system", "PassiveMode", "True");
    if (!Convert::toBoolean(passive, &s.passiveMode) && problems)
        *problems << settingProblem("PassiveMode", passive, "True");

    const QString days = readSettingsKey(iniPath, "system", "DefaultNumDaysToReProcess", "3");
    if (!Convert::toInt16(days, &s.defaultNumDaysToReProcess) && problems)
        *problems << settingProblem("DefaultNumDaysToReProcess", days, "3");

    const QString time = readSettingsKey(iniPath, "system", "TimeToSend", "12:00:00 AM");
    if (!DateText::parseTimeOfDay(time, &s.timeToSend) && problems)
        *problems << settingProblem("TimeToSend", time, "12:00:00 AM");

    const QString retry = readSettingsKey(iniPath, "system", "Retry", "15");
    if (!Convert::toInt16(retry, &s.retry) && problems)
        *problems << settingProblem("Retry", retry, "15");

    s.ftpTls = readFtpTlsSettings(iniPath, problems);

    s.posPaths[0] = readSettingsKey(iniPath, "tabulon", "POSdrvrPath", "");
    s.posPaths[1] = readSettingsKey(iniPath, "tabulon", "DBFPath", "");
    s.posPaths[2] = readSettingsKey(iniPath, "tabulon", "ALTDBFPath", "");
    s.posPaths[3] = QString();
    s.posPaths[4] = readSettingsKey(iniPath, "qreports", "QReportsPath", "c:\\qreports");
    *out = s;
}
