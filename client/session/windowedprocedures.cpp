#include "client/session/windowedprocedures.h"

#include "client/foundation/paths.h"
#include "client/foundation/settings.h"
#include "client/foundation/statuslog.h"
#include "client/missions/getdataworker.h"
#include "client/missions/missionpack.h"
#include "client/session/clientstate.h"
#include "client/session/sessionclient.h"
#include "client/transfer/autoupdate.h"
#include "client/transfer/ftpclient.h"
#include "client/transfer/transactlogupload.h"
#include "client/transfer/zipcomponent.h"

#include <QCoreApplication>
#include <QThread>

WindowedProcedures::WindowedProcedures(SessionClient& session)
    : m_session(session), m_xftp(new FtpClient), m_xzip(new ZipComponent),
      m_getData(new GetDataWorker(GetDataWorker::programPath(Paths::programFolder()))) {
    // The main window's event handlers set FtpDone too, but a user may close that window while
    // a transfer runs: the waits must still end, so the component's owner sets it as well.
    QObject::connect(m_xftp.get(), &FtpClient::FtpCompleted, [] { clientFlags().ftpDone = true; });
    QObject::connect(m_xftp.get(), &FtpClient::FtpDisconnected,
                     [] { clientFlags().ftpDone = true; });
}

WindowedProcedures::~WindowedProcedures() = default;

bool WindowedProcedures::uploadTransactLog(const QString& logPath, bool removeSent) {
    return UploadTransactLog(*this, logPath, removeSent);
}

void WindowedProcedures::autoUpdateClient() {
    AutoUpdateClient(*this, [this](const QString& code) { m_session.sendCode(code); });
}

bool WindowedProcedures::processMissionPack(const QString& packName) {
    // The worker reads the database; meanwhile the window, the keep-alive and Cancel stay live.
    return ProcessMissionPack(*this, packName, [this](const QString& missionPath) {
        return m_getData->run(missionPath, *this, [this] {
            sleepMs(10);
            pumpEvents();
        });
    });
}

void WindowedProcedures::abortTransfers() {
    m_xftp->setAbort(true);
    m_xzip->setAbort(true);
    m_getData->setAbort(true);
}

void WindowedProcedures::resumeTransfers() {
    m_xftp->setAbort(false);
    m_xzip->setAbort(false);
    m_getData->setAbort(false);
}

void WindowedProcedures::writeStatus(const QString& text) {
    WriteStatus(text);
}

TransferHost::Variant WindowedProcedures::variant() const {
    Variant windowed;
    windowed.passiveMode = clientSettings().passiveMode;
    return windowed;
}

FtpClient& WindowedProcedures::ftp() {
    return *m_xftp;
}

ZipComponent& WindowedProcedures::zip() {
    return *m_xzip;
}

QString WindowedProcedures::programFolder() const {
    return Paths::programFolder();
}

FtpTlsSettings WindowedProcedures::ftpTls() const {
    return clientSettings().ftpTls;
}

void WindowedProcedures::sleepMs(int ms) {
    QThread::msleep(ms);
}

void WindowedProcedures::pumpEvents() {
    QCoreApplication::processEvents();
}

TransferWatch* WindowedProcedures::transferWatch() {
    return this;
}

void WindowedProcedures::setPulse(bool on) {
    m_session.setPulse(on);
}

bool WindowedProcedures::ftpDone() const {
    return clientFlags().ftpDone;
}

void WindowedProcedures::clearFtpDone() {
    clientFlags().ftpDone = false;
}
