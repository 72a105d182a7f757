#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// Keeps a second copy of a program from running beside the first in the same program folder:
// the second start asks the first (over a local channel named after the folder) to restore and
// raise its main window, then ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    SingleInstance(const QString& programName, const QString& programFolder,
                   QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when an earlier instance answered and was asked to come forward: this one must end.
    bool activatePrevious(int timeoutMs = 2000);

    // Starts answering later starts. False when the channel cannot be opened.
    bool listen();

    QString channelName() const;

signals:
    void activationRequested();

private:
    void onNewConnection();

    QString m_channel;
    QLocalServer* m_server = nullptr;
};
