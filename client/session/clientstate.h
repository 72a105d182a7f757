#pragma once

#include <QString>

// Values and flags shared by the windowed client's start-up, windows, session and procedures.
struct SessionValues {
    QString sessionName = QStringLiteral("default");
};

struct ClientFlags {
    bool closing = false;  // the client is ending; closing the main window asks nothing
    bool dialedUp = false; // this client dialled and must hang up
    bool pulseOn = false;  // keep-alive messages are due
    bool ftpDone = false;  // the FTP operation under way has ended
};

SessionValues& sessionValues();
ClientFlags& clientFlags();
