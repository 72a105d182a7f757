#include "client/session/clientstate.h"

SessionValues& sessionValues() {
    static SessionValues values;
    return values;
}

ClientFlags& clientFlags() {
    static ClientFlags flags;
    return flags;
}
