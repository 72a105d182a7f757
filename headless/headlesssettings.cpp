#include "headless/headlesssettings.h"

#include "client/foundation/conversions.h"
#include "client/foundation/profilefile.h"
#include "client/foundation/settings.h"
#include "client/foundation/trimdown.h"

namespace {
QString readKey(const QString& ini, const char* key, const char* def) {
    return trimdown(ProfileFile::readBuffer(ini, QStringLiteral("system"), QString::fromLatin1(key),
                                            QString::fromLatin1(def), SettingsBufferSize));
}
} // namespace

HeadlessSettings LoadHeadlessSettings(const QString& iniPath, QStringList* problems) {
    HeadlessSettings s;
    s.siteId = readKey(iniPath, "ID", "");
    s.sitePassword = readKey(iniPath, "Pass", "");
    s.connectionKind = readKey(iniPath, "Connection", "LAN");
    s.serverHost = readKey(iniPath, "Server", "");
    const QString port = readKey(iniPath, "Port", "55555");
    if (!Convert::toInt32(port, &s.serverPort)) {
        s.serverPort = 55555;
        if (problems)
            *problems << QStringLiteral(
                             "Setting Port in skyvane.ini is not valid (\"%1\"), using 55555")
                             .arg(port);
    }
    return s;
}
