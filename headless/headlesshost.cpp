#include "headless/headlesshost.h"

#include "client/transfer/ftpclient.h"
#include "client/transfer/zipcomponent.h"

#include <QCoreApplication>
#include <QThread>

HeadlessHost::HeadlessHost(const QString& programFolder, StatusWriter& status)
    : m_programFolder(programFolder), m_status(status), m_FtpObject(new FtpClient),
      m_ZipObject(new ZipComponent) {}

HeadlessHost::~HeadlessHost() = default;

void HeadlessHost::writeStatus(const QString& text) {
    m_status.writeStatus(text);
}

TransferHost::Variant HeadlessHost::variant() const {
    return headlessVariant();
}

FtpClient& HeadlessHost::ftp() {
    return *m_FtpObject;
}

ZipComponent& HeadlessHost::zip() {
    return *m_ZipObject;
}

QString HeadlessHost::programFolder() const {
    return m_programFolder;
}

FtpTlsSettings HeadlessHost::ftpTls() const {
    return m_ftpTls;
}

void HeadlessHost::setFtpTls(const FtpTlsSettings& tls) {
    m_ftpTls = tls;
}

void HeadlessHost::sleepMs(int ms) {
    QThread::msleep(ms);
}

void HeadlessHost::pumpEvents() {
    QCoreApplication::processEvents();
}
