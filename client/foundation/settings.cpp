#include "client/foundation/settings.h"

#include "client/foundation/conversions.h"
#include "client/foundation/datetext.h"
#include "client/foundation/profilefile.h"
#include "client/foundation/trimdown.h"

ClientSettings& clientSettings() {
    static ClientSettings settings;
    return settings;
}

namespace {
QString readKey(const QString& ini, const char* section, const char* key, const char* def) {
    return trimdown(ProfileFile::readBuffer(ini, QString::fromLatin1(section),
                                            QString::fromLatin1(key), QString::fromLatin1(def),
                                            SettingsBufferSize));
}

QString problem(const char* key, const QString& value, const char* def) {
    return QStringLiteral("Setting %1 in skyvane.ini is not valid (\"%2\"), using %3")
        .arg(QString::fromLatin1(key), value, QString::fromLatin1(def));
}
} // namespace

void LoadSettings(const QString& iniPath, ClientSettings* out, QStringList* problems) {
    ClientSettings s;
    s.siteId = readKey(iniPath, "system", "ID", "");
    s.sitePassword = readKey(iniPath, "system", "Pass", "");
    s.connection = readKey(iniPath, "system", "Connection", "");
    s.server = readKey(iniPath, "system", "Server", "");

    const QString port = readKey(iniPath, "system", "Port", "55555");
    if (!Convert::toInt32(port, &s.port) && problems)
        *problems << problem("Port", port, "55555");

    const QString passive = readKey(iniPath, "system", "PassiveMode", "True");
    if (!Convert::toBoolean(passive, &s.passiveMode) && problems)
        *problems << problem("PassiveMode", passive, "True");

    const QString days = readKey(iniPath, "system", "DefaultNumDaysToReProcess", "3");
    if (!Convert::toInt16(days, &s.defaultNumDaysToReProcess) && problems)
        *problems << problem("DefaultNumDaysToReProcess", days, "3");

    const QString time = readKey(iniPath, "system", "TimeToSend", "12:00:00 AM");
    if (!DateText::parseTimeOfDay(time, &s.timeToSend) && problems)
        *problems << problem("TimeToSend", time, "12:00:00 AM");

    const QString retry = readKey(iniPath, "system", "Retry", "15");
    if (!Convert::toInt16(retry, &s.retry) && problems)
        *problems << problem("Retry", retry, "15");

    s.posPaths[0] = readKey(iniPath, "tabulon", "POSdrvrPath", "");
    s.posPaths[1] = readKey(iniPath, "tabulon", "DBFPath", "");
    s.posPaths[2] = readKey(iniPath, "tabulon", "ALTDBFPath", "");
    s.posPaths[3] = QString();
    s.posPaths[4] = readKey(iniPath, "qreports", "QReportsPath", "c:\\qreports");
    *out = s;
}
