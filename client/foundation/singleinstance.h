#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The name under which the windowed client guards its program folder; the updater looks for it.
constexpr char ClientInstanceName[] = "skyvane";

// Keeps a second copy of a program from running beside the first in the same program folder:
// the second start asks the first (over a local channel named after the folder) to restore and
// raise its main window, then ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    SingleInstance(const QString& programName, const QString& programFolder,
                   QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when an earlier instance holds the channel and was asked to come forward: this one
    // must end. Waits up to timeoutMs for a busy earlier instance to take the request.
    bool activatePrevious(int timeoutMs = 10000);

    // True when an instance holds the channel; asks it nothing.
    bool isAnswering(int timeoutMs = 2000) const;

    // Starts answering later starts. False when the channel cannot be opened, or when another
    // live instance holds it.
    bool listen();

    QString channelName() const;

signals:
    void activationRequested();

private:
    void onNewConnection();
    void onRequest(QLocalSocket* socket);

    QString m_channel;
    QLocalServer* m_server = nullptr;
};
