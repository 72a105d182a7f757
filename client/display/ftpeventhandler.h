#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class ProgressBar;
class QLabel;

// Turns the FTP component's events into the transfer display of the main window: the progress
// bar, the three labels under it, status lines, debugFTP.log lines and the end of the operation
// (FtpDone) that the transfer procedures wait for. Its slots take the events' arguments, so the
// component's signals connect to them directly (extra signal arguments are dropped).
class FtpEventHandler : public QObject {
    Q_OBJECT
public:
    // Wait before a protocol line becomes a status line.
    static constexpr int DefaultLogTextDelayMs = 250;

    FtpEventHandler(QLabel* totalBytes, QLabel* transferred, QLabel* byteRate, ProgressBar* bar,
                    QObject* parent = nullptr);

    // The transfer under way is a download: picks the caption word. False until the first
    // download starts, and kept between transfers.
    bool receiving() const;

    // Tests set 0.
    void setLogTextDelay(int ms);
    int logTextDelay() const;

public slots:
    void onFtpDisconnected();
    // total: bytes expected, 0 when not known; rate in bytes per second.
    void onFtpTransferStatus(qint64 total, qint64 transferred, qint64 rate);
    void onFtpLogText(const QString& text);
    void onFtpCompleted();
    void onFtpReceivingFile();
    void onFtpSendingFile();

signals:
    // The FTP operation under way has ended (completed, or the connection closed).
    void ftpDone();

private:
    QPointer<QLabel> m_totalBytes;
    QPointer<QLabel> m_transferred;
    QPointer<QLabel> m_byteRate;
    ProgressBar* m_bar;
    bool m_receiving = false;
    int m_logTextDelayMs = DefaultLogTextDelayMs;
};
