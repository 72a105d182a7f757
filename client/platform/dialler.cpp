#include "client/platform/dialler.h"

#ifdef Q_OS_WIN
#include "client/platform/windowsdialler.h"
#else
#include "client/platform/nmclidialler.h"
#endif

Dialler::~Dialler() = default;

std::unique_ptr<Dialler> Dialler::createDefault() {
#ifdef Q_OS_WIN
    return std::make_unique<WindowsDialler>();
#else
    return std::make_unique<NmcliDialler>();
#endif
}

QString DialErrorText(quint32 code) {
    switch (code) {
    case Dialler::NoConnection:
        return QStringLiteral("No Connection");
    case Dialler::NoDialTone:
        return QStringLiteral("No Dial Tone, or User Canceled");
    case Dialler::InvalidParameter:
        return QStringLiteral("ERROR_INVALID_PARAMETER");
    default:
        return QStringLiteral("<invalid>Connection may be blank");
    }
}
