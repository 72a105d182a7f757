#include "client/transfer/tlsplatform.h"

#include <QFile>

#include <curl/curl.h>
#include <openssl/err.h>
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

bool ticketsFollowHandshake(void* curlHandle) {
    curl_tlssessioninfo* info = nullptr;
    return curl_easy_getinfo(curlHandle, CURLINFO_TLS_SSL_PTR, &info) == CURLE_OK && info &&
           info->backend == CURLSSLBACKEND_OPENSSL && info->internals &&
           SSL_version(static_cast<const SSL*>(info->internals)) == TLS1_3_VERSION;
}

namespace {
// Puts one BIO in both places of ssl; ssl takes a reference for each, the caller keeps its own.
void setBios(SSL* ssl, BIO* bio) {
    BIO_up_ref(bio);
    BIO_up_ref(bio);
    SSL_set0_rbio(ssl, bio);
    SSL_set0_wbio(ssl, bio);
}
} // namespace

bool peekReceived(void* curlHandle, qintptr socket, QByteArray& received) {
    curl_tlssessioninfo* info = nullptr;
    if (curl_easy_getinfo(curlHandle, CURLINFO_TLS_SSL_PTR, &info) != CURLE_OK || !info ||
        info->backend != CURLSSLBACKEND_OPENSSL || !info->internals)
        return false;
    SSL* ssl = static_cast<SSL*>(info->internals);
    BIO* curlBio = SSL_get_rbio(ssl);
    if (!curlBio || SSL_get_wbio(ssl) != curlBio)
        return false;
    // libcurl's BIO serves only inside libcurl's own calls: meanwhile the socket is read
    // directly, and what is read stays in the SSL object for libcurl.
    BIO* direct = BIO_new_socket(int(socket), BIO_NOCLOSE);
    if (!direct)
        return false;
    BIO_up_ref(curlBio);
    setBios(ssl, direct);
    char buffer[2048];
    const int got = SSL_peek(ssl, buffer, int(sizeof buffer));
    const int error = SSL_get_error(ssl, got);
    setBios(ssl, curlBio);
    BIO_free(direct);
    BIO_free(curlBio);
    ERR_clear_error();
    if (got > 0)
        received = QByteArray(buffer, got);
    return got > 0 || error == SSL_ERROR_WANT_READ;
}

} // namespace TlsPlatform
