#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;
class QTimer;

// One step of a session script (the script format is described in main.cpp).
struct SessionStep {
    enum Kind { Expect, Send, Raw, Split, Pause, Close, Closed, Refuse, Listen, Ignore, Timeout };

    Kind kind = Expect;
    QList<QByteArray> messages; // Send: the messages written together; Expect/Ignore: one text
    QByteArray bytes;           // Raw: the bytes as they stand; Split: the message
    bool prefix = false;        // Expect/Ignore: the text ends in "*" and matches a prefix
    int number = 0;             // Split: bytes in the first write; Pause: ms; Timeout: seconds
    int line = 0;
};

// Reads a script. False with "line N: ..." in *error when a line cannot be understood.
bool parseSessionScript(const QString& text, QList<SessionStep>* steps, QString* error);

// The server side of a session on 127.0.0.1, played from a script: it expects the client's
// messages, answers with its own, splits and joins writes, closes and refuses connections, and
// records every byte it receives.
class SessionServer : public QObject {
    Q_OBJECT
public:
    // A message the client sent (without its terminator), on which connection and when.
    struct Message {
        int connection;
        qint64 msecs; // since start()
        QByteArray bytes;
    };

    explicit SessionServer(QObject* parent = nullptr);
    ~SessionServer() override;

    // Listens on 127.0.0.1 (or the address given); port 0 picks a free port.
    bool listen(quint16 port = 0,
                const QHostAddress& address = QHostAddress(QHostAddress::LocalHost));
    quint16 port() const;

    bool setScript(const QString& text, QString* error = nullptr);
    void setSteps(const QList<SessionStep>& steps);
    void start();

    bool isFinished() const;
    bool succeeded() const;
    QString error() const;

    QByteArray received() const;
    QList<Message> messages() const;
    int connectionCount() const;
    QStringList log() const;

signals:
    void finished(bool ok);
    void logLine(const QString& line);
    void bytesReceived(const QByteArray& bytes);

private:
    struct Connection {
        int number = 0;
        QByteArray partial;
        QList<QByteArray> inbox;
        bool closed = false;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void onDisconnected(QTcpSocket* socket);
    void advance();
    bool takeConnection();
    bool isIgnored(const QByteArray& message) const;
    void write(const QByteArray& bytes);
    void dropCurrent();
    void startWaitLimit();
    void stopWaitLimit();
    void fail(const QString& reason);
    void finish();
    void note(const QString& line);

    QTcpServer* m_server;
    quint16 m_port = 0;
    QHostAddress m_address;
    QList<SessionStep> m_steps;
    int m_index = 0;
    bool m_running = false;
    bool m_finished = false;
    bool m_failed = false;
    bool m_splitHalfSent = false;
    bool m_pauseElapsed = false;
    bool m_advancing = false; // advance() does not run inside itself
    QString m_error;
    int m_timeoutSeconds = 30;
    QList<SessionStep> m_ignores;

    QHash<QTcpSocket*, Connection> m_connections;
    QList<QTcpSocket*> m_waiting; // accepted, not yet taken by the script
    QTcpSocket* m_current = nullptr;
    int m_connectionCount = 0;

    QTimer* m_pause;
    QTimer* m_waitLimit;
    QElapsedTimer m_clock;
    QByteArray m_received;
    QList<Message> m_messages;
    QStringList m_log;
};
