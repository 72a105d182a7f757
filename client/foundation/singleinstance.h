#pragma once

#include "client/foundation/channeladdress.h"
#include "client/foundation/instancelock.h"

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The name under which the windowed client guards its program folder; the updater looks for it.
constexpr char ClientInstanceName[] = "skyvane";

// Keeps a second copy of a program from running beside the first in the same program folder,
// whichever account of the folder's group starts it. The copy that runs holds a lock on
// <name>.lock in the folder for its whole life and answers later starts on a channel kept there
// too (<name>.channel): nothing in a shared temporary folder, where any account could plant a
// file or a socket, has a say. A later start asks the running copy to restore and raise its
// main window, then ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    SingleInstance(const QString& programName, const QString& programFolder,
                   QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this copy is the one that runs: it took the folder's lock, or the lock cannot
    // be used there at all (then the copy runs unguarded, as when no earlier copy is found).
    // False while another copy holds it: ask that one with activatePrevious() and end.
    bool takeLock();

    // Starts answering later starts; call after takeLock(). False when the channel cannot be
    // opened; this copy still holds the lock and runs all the same.
    bool listen();

    // Asks the copy that holds the lock to come forward. True when it took the request. Waits
    // up to timeoutMs for a copy that holds the lock but does not answer yet, or is busy; gives
    // up at once when the channel refuses this account.
    bool activatePrevious(int timeoutMs = 10000);

    // True while another copy holds the folder's lock.
    bool isRunning();

    // True when a copy answers on the channel; asks it nothing.
    bool isAnswering(int timeoutMs = 2000) const;

signals:
    void activationRequested();

private:
    void onNewConnection();
    void onRequest(QLocalSocket* socket);

    InstanceLock m_lock;
    ChannelAddress m_address;
    QLocalServer* m_server = nullptr;
};
