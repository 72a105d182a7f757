#include "tests/support/testtransferhost.h"

#include "client/transfer/ftpclient.h"
#include "client/transfer/zipcomponent.h"

#include <QCoreApplication>
#include <QThread>

TestTransferHost::TestTransferHost(const QString& programFolder, const Variant& variant)
    : m_folder(programFolder), m_variant(variant), m_ftp(new FtpClient), m_zip(new ZipComponent) {
    if (m_variant.transfersReturnAtOnce) {
        QObject::connect(m_ftp.get(), &FtpClient::FtpCompleted, [this] { m_ftpDone = true; });
        QObject::connect(m_ftp.get(), &FtpClient::FtpDisconnected, [this] { m_ftpDone = true; });
    }
}

TestTransferHost::~TestTransferHost() = default;

TransferHost::Variant TestTransferHost::windowed() {
    return Variant();
}

TransferHost::Variant TestTransferHost::headless() {
    return headlessVariant();
}

void TestTransferHost::writeStatus(const QString& text) {
    lines << text;
}

TransferHost::Variant TestTransferHost::variant() const {
    return m_variant;
}

FtpClient& TestTransferHost::ftp() {
    return *m_ftp;
}

ZipComponent& TestTransferHost::zip() {
    return *m_zip;
}

QString TestTransferHost::programFolder() const {
    return m_folder;
}

FtpTlsSettings TestTransferHost::ftpTls() const {
    return m_ftpTls;
}

void TestTransferHost::setFtpTls(const FtpTlsSettings& tls) {
    m_ftpTls = tls;
}

void TestTransferHost::sleepMs(int ms) {
    if (ms <= 10)
        QThread::msleep(ms);
    else
        skippedSleepMs += ms;
}

void TestTransferHost::pumpEvents() {
    QCoreApplication::processEvents();
}

TransferWatch* TestTransferHost::transferWatch() {
    return m_variant.transfersReturnAtOnce ? this : nullptr;
}

void TestTransferHost::setPulse(bool on) {
    if (on)
        ++pulseTurns;
}

bool TestTransferHost::ftpDone() const {
    return m_ftpDone;
}

void TestTransferHost::clearFtpDone() {
    m_ftpDone = false;
}

GetDataRunner TestTransferHost::getDataRecorder() {
    return [this](const QString& missionPath) {
        getDataMissions << missionPath;
        return true;
    };
}
