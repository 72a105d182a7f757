#pragma once

#include "client/foundation/settings.h"

#include <QString>
#include <QStringList>

// The keys of section "system" that vanelet reads.
struct HeadlessSettings {
    QString siteId;
    QString sitePassword;
    QString connectionKind = QStringLiteral("LAN");
    QString serverHost;
    qint32 serverPort = 55555;
    FtpTlsSettings ftpTls;
};

// Reads skyvane.ini at iniPath. A Port that is not a whole number keeps 55555 and adds a line
// naming the value to *problems.
HeadlessSettings LoadHeadlessSettings(const QString& iniPath, QStringList* problems);
