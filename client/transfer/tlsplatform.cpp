#include "client/transfer/tlsplatform.h"

#include <QFile>

#include <curl/curl.h>
#include <openssl/ssl.h>

namespace TlsPlatform {

void applyTrustStore(void* curlHandle, const QString& caFile) {
    // Without a CA file libcurl keeps its built-in locations: the distribution's CA bundle.
    if (caFile.isEmpty())
        return;
    curl_easy_setopt(curlHandle, CURLOPT_CAINFO, QFile::encodeName(caFile).constData());
    // The folder of system certificates would be searched as well.
    curl_easy_setopt(curlHandle, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
}

QString negotiatedSession(void* curlHandle) {
    curl_tlssessioninfo* info = nullptr;
    if (curl_easy_getinfo(curlHandle, CURLINFO_TLS_SSL_PTR, &info) != CURLE_OK || !info ||
        info->backend != CURLSSLBACKEND_OPENSSL || !info->internals)
        return QString();
    const SSL* ssl = static_cast<const SSL*>(info->internals);
    return QStringLiteral("%1, cipher %2")
        .arg(QString::fromLatin1(SSL_get_version(ssl)),
             QString::fromLatin1(SSL_CIPHER_get_name(SSL_get_current_cipher(ssl))));
}

} // namespace TlsPlatform
