#include "setup/setupsettings.h"

#include "client/foundation/conversions.h"
#include "client/foundation/datetext.h"
#include "client/foundation/profilefile.h"
#include "client/foundation/settings.h"
#include "client/foundation/trimdown.h"

#include <QLocale>
#include <limits>

namespace {

const QString systemSection = QStringLiteral("system");

SetupValue readValue(const QString& iniPath, const QString& key, const QString& defaultValue) {
    const QString buffer =
        ProfileFile::readBuffer(iniPath, systemSection, key, defaultValue, SettingsBufferSize);
    SetupValue value;
    value.shown = trimdown(buffer, SetupTrimLimit);
    // Without a NUL among the first characters looked at, the reader sees nothing at all.
    value.tooLong = buffer.indexOf(QChar(0)) >= SetupTrimLimit;
    return value;
}

} // namespace

QString wholeNumberText(const QString& stored, qint64 lowest, qint64 highest) {
    qint32 number = 0;
    if (!Convert::toInt32(stored, &number) || number < lowest || number > highest)
        return stored;
    // "8080.4" would be rounded by the conversion; show such a text as it stands.
    bool ok = false;
    const double exact = QLocale::c().toDouble(stored.trimmed(), &ok);
    if (!ok || exact != double(number))
        return stored;
    return QString::number(number);
}

QString timeToSendText(const QString& stored) {
    QTime time;
    if (!DateText::parseTimeOfDay(stored, &time))
        return stored;
    return DateText::hourMinute(time);
}

SetupSettings ReadSettings(const QString& iniPath) {
    SetupSettings s;
    s.id = readValue(iniPath, QStringLiteral("ID"), QString());
    s.pass = readValue(iniPath, QStringLiteral("Pass"), QString());
    s.connection = readValue(iniPath, QStringLiteral("Connection"), QString());
    s.server = readValue(iniPath, QStringLiteral("Server"), QString());
    s.port = readValue(iniPath, QStringLiteral("Port"), QStringLiteral("55555"));
    s.port.shown = wholeNumberText(s.port.shown, std::numeric_limits<qint32>::min(),
                                   std::numeric_limits<qint32>::max());
    s.timeToSend = readValue(iniPath, QStringLiteral("TimeToSend"), QStringLiteral("12:00:00 AM"));
    s.timeToSend.shown = timeToSendText(s.timeToSend.shown);
    s.retry = readValue(iniPath, QStringLiteral("Retry"), QStringLiteral("15"));
    s.retry.shown = wholeNumberText(s.retry.shown, std::numeric_limits<qint16>::min(),
                                    std::numeric_limits<qint16>::max());
    s.ftpTls = readFtpTlsSettings(iniPath, nullptr).enabled;
    return s;
}

bool WriteSettings(const QString& iniPath, const QList<SetupWrite>& writes, QString* error) {
    // Checked before the first write, so that a refused value leaves the file as it was.
    for (const SetupWrite& w : writes) {
        if (!w.keep && ProfileFile::holdsLineBreak(w.value)) {
            if (error)
                *error = QStringLiteral("%1 holds a line break.").arg(w.key);
            return false;
        }
    }
    for (const SetupWrite& w : writes) {
        if (w.keep)
            continue;
        if (!ProfileFile::writeString(iniPath, systemSection, w.key, w.value, error))
            return false;
    }
    return true;
}
