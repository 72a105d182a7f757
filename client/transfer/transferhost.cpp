#include "client/transfer/transferhost.h"

TransferHost::Variant TransferHost::headlessVariant() {
    Variant v;
    v.waitForCompletion = false;
    v.passiveFallback = true;
    v.pumpBeforeMission = false;
    v.runGetData = false;
    return v;
}
