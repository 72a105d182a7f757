#include "client/transfer/ftptls.h"

#include "client/transfer/tlsplatform.h"

#include <QCoreApplication>

#include <curl/curl.h>

namespace FtpTls {

namespace {
QString tr(const char* text) {
    return QCoreApplication::translate("FtpTls", text);
}
} // namespace

void configure(void* curlHandle, const QString& caFile) {
    curl_easy_setopt(curlHandle, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    curl_easy_setopt(curlHandle, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
    curl_easy_setopt(curlHandle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curlHandle, CURLOPT_SSL_VERIFYHOST, 2L);
    TlsPlatform::applyTrustStore(curlHandle, caFile);
}

QString failureText(int code, const QString& lastCommand, const QString& detail) {
    switch (code) {
    case CURLE_USE_SSL_FAILED:
        // libcurl gives the same code when the server refuses to protect the data connections.
        if (lastCommand.startsWith(QLatin1String("PBSZ")) ||
            lastCommand.startsWith(QLatin1String("PROT")))
            return tr("The FTP server does not encrypt data connections (%1 refused): %2")
                .arg(lastCommand, detail);
        return tr("The FTP server does not offer TLS (AUTH TLS refused): %1").arg(detail);
    case CURLE_PEER_FAILED_VERIFICATION:
        return tr("The FTP server's certificate is not trusted: %1").arg(detail);
    case CURLE_SSL_CACERT_BADFILE:
        return tr("The CA file of FtpCaFile cannot be used: %1").arg(detail);
    case CURLE_SSL_CONNECT_ERROR:
        return tr("TLS handshake with the FTP server failed: %1").arg(detail);
    default:
        return QString();
    }
}

QString sessionLine(void* curlHandle) {
    const QString session = TlsPlatform::negotiatedSession(curlHandle);
    // The handshake only ends with a certificate that verified.
    return session.isEmpty()
               ? tr("TLS connection established, server certificate verified")
               : tr("TLS connection established: %1, server certificate verified").arg(session);
}

QString activeModeProblem() {
    // libcurl 7.87.0 up to 7.88.x starts no TLS on a data connection the server opens, so an
    // active-mode transfer would wait until the inactivity limit.
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (info->version_num >= 0x075700 && info->version_num < 0x080000)
        return tr("Active-mode FTP over TLS needs libcurl 8.0 or newer (this is %1); use "
                  "passive mode")
            .arg(QString::fromLatin1(info->version));
    return QString();
}

} // namespace FtpTls
