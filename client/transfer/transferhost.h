#pragma once

#include "client/foundation/settings.h"
#include "client/foundation/statuswriter.h"

#include <QString>

class FtpClient;
class ZipComponent;

// How the windowed client follows a transfer under way: the component reports its end by an
// event (FtpDone) while keep-alive messages hold the session open.
class TransferWatch {
public:
    virtual ~TransferWatch();

    // Keep-alive messages are due while set.
    virtual void setPulse(bool on) = 0;
    // The FTP operation under way has ended (set by the component's events).
    virtual bool ftpDone() const = 0;
    virtual void clearFtpDone() = 0;
};

// What the transfer and mission procedures need from the program that runs them. The windowed
// client and the headless client each provide one; the procedures read the variation flags
// instead of being written twice.
class TransferHost : public StatusWriter {
public:
    // How the procedures differ between the two clients.
    struct Variant {
        // After login the component's transfers return as soon as they are under way, and the
        // procedures wait for FtpDone. Headless: transfers end when the call returns.
        bool transfersReturnAtOnce = true;
        // Close the connection in a loop with pauses (and pause after an upload). Headless: one
        // disconnect.
        bool disconnectPatiently = true;
        // Headless: passive mode first, then once more in active mode.
        bool passiveFallback = false;
        // The PassiveMode setting, used without the fallback.
        bool passiveMode = true;
        // Windowed: let window events run before each mission.
        bool pumpBeforeMission = true;
    };

    // The windowed client's variant is Variant() with its PassiveMode; this is vanelet's.
    static Variant headlessVariant();

    virtual Variant variant() const = 0;
    virtual FtpClient& ftp() = 0;
    virtual ZipComponent& zip() = 0;

    // The folder of the programs (missions, packs and logs live there).
    virtual QString programFolder() const = 0;
    // The FtpTls and FtpCaFile settings.
    virtual FtpTlsSettings ftpTls() const = 0;

    // Blocking sleep of the thread, and "let pending window events run".
    virtual void sleepMs(int ms) = 0;
    virtual void pumpEvents() = 0;

    // The windowed client's watch over its transfers; null when nothing waits for FtpDone and
    // no session needs keep-alives (vanelet).
    virtual TransferWatch* transferWatch();
};
