#include "client/transfer/transferhost.h"

TransferWatch::~TransferWatch() = default;

TransferHost::Variant TransferHost::headlessVariant() {
    Variant v;
    v.transfersReturnAtOnce = false;
    v.disconnectPatiently = false;
    v.passiveFallback = true;
    v.pumpBeforeMission = false;
    return v;
}

TransferWatch* TransferHost::transferWatch() {
    return nullptr;
}
