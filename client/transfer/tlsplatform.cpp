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

bool canPeek() {
    return true;
}

namespace {
int watchIndex() {
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

void reportConnection(const SSL* ssl, int where, int) {
    // Also called for the messages that follow a TLS 1.3 handshake: reports may repeat.
    if (!(where & SSL_CB_HANDSHAKE_START))
        return;
    const auto* watch = static_cast<const ConnectionWatch*>(
        SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), watchIndex()));
    if (watch && watch->report)
        watch->report(watch->client, const_cast<SSL*>(ssl));
}

// libcurl makes a context for every connection and hands it here before the connection.
CURLcode watchContext(CURL*, void* context, void* watch) {
    auto* ctx = static_cast<SSL_CTX*>(context);
    if (SSL_CTX_set_ex_data(ctx, watchIndex(), watch) != 1)
        return CURLE_OK; // not told: that connection's end stays libcurl's
    SSL_CTX_set_info_callback(ctx, &reportConnection);
    return CURLE_OK;
}
} // namespace

bool watchConnections(void* curlHandle, const ConnectionWatch* watch) {
    if (watchIndex() < 0)
        return false;
    return curl_easy_setopt(curlHandle, CURLOPT_SSL_CTX_FUNCTION, &watchContext) == CURLE_OK &&
           curl_easy_setopt(curlHandle, CURLOPT_SSL_CTX_DATA, watch) == CURLE_OK;
}

void* controlConnection(void* curlHandle) {
    curl_tlssessioninfo* info = nullptr;
    if (curl_easy_getinfo(curlHandle, CURLINFO_TLS_SSL_PTR, &info) != CURLE_OK || !info ||
        info->backend != CURLSSLBACKEND_OPENSSL)
        return nullptr;
    return info->internals;
}

QByteArray closeNotify(void* tlsObject) {
    SSL* ssl = static_cast<SSL*>(tlsObject);
    BIO* curlBio = SSL_get_wbio(ssl);
    BIO* memory = BIO_new(BIO_s_mem());
    if (!curlBio || !memory) {
        BIO_free(memory);
        return QByteArray();
    }
    // The alert is written into memory; libcurl's BIO goes back in place untouched.
    BIO_up_ref(curlBio);
    SSL_set0_wbio(ssl, memory);
    const int result = SSL_shutdown(ssl);
    char* data = nullptr;
    const long size = BIO_get_mem_data(memory, &data);
    const QByteArray alert = result >= 0 && size > 0 ? QByteArray(data, int(size)) : QByteArray();
    SSL_set0_wbio(ssl, curlBio);
    ERR_clear_error();
    return alert;
}

} // namespace TlsPlatform
