#include "client/session/sessionprocedures.h"

#include "client/foundation/statuslog.h"

SessionProcedures::~SessionProcedures() = default;

void SessionProcedures::resumeTransfers() {}

bool UnavailableProcedures::uploadTransactLog(const QString&, bool) {
    WriteStatus(QStringLiteral("Upload of transact.log is not available in this build"));
    return false;
}

void UnavailableProcedures::autoUpdateClient() {
    WriteStatus(QStringLiteral("Auto Update is not available in this build"));
}

bool UnavailableProcedures::processMissionPack(const QString& packName) {
    WriteStatus(QStringLiteral("Mission Pack ") + packName +
                QStringLiteral(" cannot be processed: Mission Packs are not available in this "
                               "build"));
    return false;
}

void UnavailableProcedures::abortTransfers() {}
