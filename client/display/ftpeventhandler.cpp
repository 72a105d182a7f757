#include "client/display/ftpeventhandler.h"

#include "client/display/progressbar.h"
#include "client/foundation/statuslog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QThread>

namespace {
void setCaption(QLabel* label, const QString& text) {
    if (!label)
        return;
    label->setText(text);
    label->repaint();
}
} // namespace

FtpEventHandler::FtpEventHandler(QLabel* totalBytes, QLabel* transferred, QLabel* byteRate,
                                 ProgressBar* bar, QObject* parent)
    : QObject(parent), m_totalBytes(totalBytes), m_transferred(transferred), m_byteRate(byteRate),
      m_bar(bar) {}

bool FtpEventHandler::receiving() const {
    return m_receiving;
}

void FtpEventHandler::setLogTextDelay(int ms) {
    m_logTextDelayMs = ms;
}

int FtpEventHandler::logTextDelay() const {
    return m_logTextDelayMs;
}

void FtpEventHandler::onFtpDisconnected() {
    WriteStatus(QStringLiteral("FTP Disconnected"));
    emit ftpDone();
}

void FtpEventHandler::onFtpTransferStatus(qint64 total, qint64 transferred, qint64 rate) {
    // An unknown total shows as half way.
    if (total != 0) {
        if (m_bar)
            m_bar->UpdateProgressBar(total, transferred, m_receiving);
        setCaption(m_totalBytes, QStringLiteral("Total Bytes Expected: ") + QString::number(total));
    } else {
        if (m_bar)
            m_bar->UpdateProgressBar(100, 50, m_receiving);
        setCaption(m_totalBytes, QStringLiteral("Total Bytes Expected: UNKNOWN"));
    }
    setCaption(m_transferred, QStringLiteral("Bytes Transfered: ") + QString::number(transferred));
    setCaption(m_byteRate,
               QStringLiteral("Transfer Rate (Bytes Per Second): ") + QString::number(rate));
}

void FtpEventHandler::onFtpLogText(const QString& text) {
    // The log lines come at a readable pace. The wait lets window events run, as every wait of
    // a transfer does: a login's dozen lines would otherwise hold back keep-alives and repaints
    // for seconds. Clicks wait: a question opened from here would hold every FTP event behind it.
    // The window (and this handler with it) may close meanwhile; the line is still logged.
    const int delay = m_logTextDelayMs;
    const QPointer<FtpEventHandler> self(this);
    QElapsedTimer waited;
    waited.start();
    while (self && waited.elapsed() < delay) {
        QThread::msleep(10);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    WriteStatus(text);
    WriteFtpDebug(text);
}

void FtpEventHandler::onFtpCompleted() {
    emit ftpDone();
}

void FtpEventHandler::onFtpReceivingFile() {
    m_receiving = true;
}

void FtpEventHandler::onFtpSendingFile() {
    m_receiving = false;
}
