#pragma once

#include "client/foundation/statuswriter.h"

#include <QString>

class FtpClient;
class ZipComponent;

// What the transfer and mission procedures need from the program that runs them. The windowed
// client and the headless client each provide one; the procedures read the variation flags
// instead of being written twice.
class TransferHost : public StatusWriter {
public:
    // How the procedures differ between the two clients.
    struct Variant {
        // Wait for the component's completion event (FtpDone) with keep-alives, then close the
        // connection in a loop with pauses. Headless: transfers end when the call returns.
        bool waitForCompletion = true;
        // Headless: passive mode first, then once more in active mode; PassiveMode unused.
        bool passiveFallback = false;
        // Windowed: let window events run before each mission.
        bool pumpBeforeMission = true;
        // Headless skips data extraction missions.
        bool runGetData = true;
    };

    // The windowed client's variant is Variant(); this is vanelet's.
    static Variant headlessVariant();

    virtual Variant variant() const = 0;
    virtual FtpClient& ftp() = 0;
    virtual ZipComponent& zip() = 0;

    // The folder of the programs (missions, packs and logs live there).
    virtual QString programFolder() const = 0;
    // The PassiveMode setting.
    virtual bool passiveMode() const = 0;

    // Blocking sleep of the thread, and "let pending window events run".
    virtual void sleepMs(int ms) = 0;
    virtual void pumpEvents() = 0;

    // Keep-alive messages are due while set (windowed client).
    virtual void setPulse(bool on) = 0;
    // The FTP operation under way has ended (set by the component's events).
    virtual bool ftpDone() const = 0;
    virtual void clearFtpDone() = 0;

    // Runs one data extraction mission (windowed client).
    virtual void processGetData(const QString& missionPath) = 0;
};
