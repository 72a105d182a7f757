#include "client/transfer/tlsplatform.h"

#include <QFile>

#include <curl/curl.h>

#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <windows.h>

namespace TlsPlatform {

void applyTrustStore(void* curlHandle, const QString& caFile) {
    // Schannel checks revocation; a private CA often publishes no revocation list, which is
    // then not held against the certificate. A revoked certificate still fails.
    curl_easy_setopt(curlHandle, CURLOPT_SSL_OPTIONS, long(CURLSSLOPT_REVOKE_BEST_EFFORT));
    // Without a CA file Schannel uses the Windows certificate store.
    if (caFile.isEmpty())
        return;
    // This libcurl opens files through the ANSI API: the path goes in the ANSI code page. A path
    // that code page cannot spell goes as the file's content; a file we cannot read goes as a
    // path, so that libcurl reports it naming the file.
    const QByteArray ansiPath = caFile.toLocal8Bit();
    QFile file(caFile);
    if (QString::fromLocal8Bit(ansiPath) != caFile && file.open(QIODevice::ReadOnly)) {
        QByteArray content = file.readAll();
        curl_blob blob{content.data(), size_t(content.size()), CURL_BLOB_COPY};
        curl_easy_setopt(curlHandle, CURLOPT_CAINFO_BLOB, &blob);
    } else {
        curl_easy_setopt(curlHandle, CURLOPT_CAINFO, ansiPath.constData());
    }
}

namespace {
QString protocolName(DWORD protocol) {
    switch (protocol) {
    case 0x0301:
        return QStringLiteral("TLSv1");
    case 0x0302:
        return QStringLiteral("TLSv1.1");
    case 0x0303:
        return QStringLiteral("TLSv1.2");
    case 0x0304:
        return QStringLiteral("TLSv1.3");
    default:
        return QStringLiteral("protocol 0x%1").arg(qulonglong(protocol), 4, 16, QLatin1Char('0'));
    }
}
} // namespace

QString negotiatedSession(void* curlHandle) {
    curl_tlssessioninfo* info = nullptr;
    if (curl_easy_getinfo(curlHandle, CURLINFO_TLS_SSL_PTR, &info) != CURLE_OK || !info ||
        info->backend != CURLSSLBACKEND_SCHANNEL || !info->internals)
        return QString();
    SecPkgContext_CipherInfo cipher = {};
    cipher.dwVersion = SECPKGCONTEXT_CIPHERINFO_V1;
    if (QueryContextAttributesW(static_cast<PCtxtHandle>(info->internals), SECPKG_ATTR_CIPHER_INFO,
                                &cipher) != SEC_E_OK)
        return QString();
    return QStringLiteral("%1, cipher %2")
        .arg(protocolName(cipher.dwProtocol), QString::fromWCharArray(cipher.szCipherSuite));
}

bool peekReceived(void*, qintptr, QByteArray&) {
    // Schannel decrypts in place and moves the connection's state on: nothing can be looked at
    // without taking it from libcurl.
    return false;
}

bool canPeek() {
    return false;
}

bool watchConnections(void*, const ConnectionWatch*) {
    // libcurl hands no context of Schannel's out before a connection.
    return false;
}

void* controlConnection(void*) {
    return nullptr;
}

QByteArray closeNotify(void*) {
    return QByteArray();
}

} // namespace TlsPlatform
