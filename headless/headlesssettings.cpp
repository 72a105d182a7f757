#include "headless/headlesssettings.h"

#include "client/foundation/conversions.h"
#include "client/foundation/settings.h"

HeadlessSettings LoadHeadlessSettings(const QString& iniPath, QStringList* problems) {
    HeadlessSettings s;
    s.siteId = readSettingsKey(iniPath, "system", "ID", "");
    s.sitePassword = readSettingsKey(iniPath, "system", "Pass", "");
    s.connectionKind = readSettingsKey(iniPath, "system", "Connection", "LAN");
    s.serverHost = readSettingsKey(iniPath, "system", "Server", "");
    const QString port = readSettingsKey(iniPath, "system", "Port", "55555");
    if (!Convert::toInt32(port, &s.serverPort)) {
        s.serverPort = 55555;
        if (problems)
            *problems << settingProblem("Port", port, "55555");
    }
    s.ftpTls = readFtpTlsSettings(iniPath, problems);
    return s;
}
