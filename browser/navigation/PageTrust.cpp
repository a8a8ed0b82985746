#include "browser/navigation/PageTrust.h"

#include <QFile>
#include <QHostAddress>

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

namespace pagetrust {

namespace {

template <typename T, void (*Free)(T *)>
struct Deleter
{
    void operator()(T *p) const { Free(p); }
};
using Store = std::unique_ptr<X509_STORE, Deleter<X509_STORE, X509_STORE_free>>;
using StoreContext = std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX, X509_STORE_CTX_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;

void freeChain(STACK_OF(X509) *chain)
{
    sk_X509_pop_free(chain, X509_free);
}
using Chain = std::unique_ptr<STACK_OF(X509), Deleter<STACK_OF(X509), freeChain>>;

Certificate toX509(const QSslCertificate &certificate)
{
    const QByteArray der = certificate.toDer();
    const auto *bytes = reinterpret_cast<const unsigned char *>(der.constData());
    return Certificate(d2i_X509(nullptr, &bytes, der.size()));
}

// The login call's CA file (service/ServicePlatform.cpp), the first there is.
void loadSystemStore(X509_STORE *store)
{
    for (const char *file : {"/etc/ssl/certs/ca-certificates.crt", "/etc/pki/tls/certs/ca-bundle.crt",
                             "/etc/ssl/cert.pem"}) {
        if (X509_STORE_load_file(store, file) == 1)
            break;
    }
    X509_STORE_load_path(store, "/etc/ssl/certs");
}

bool setHost(X509_VERIFY_PARAM *param, const QString &host)
{
    if (QHostAddress(host).isNull()) {
        const QByteArray name = host.toUtf8();
        X509_VERIFY_PARAM_set_hostflags(param,
                                        X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
        return X509_VERIFY_PARAM_set1_host(param, name.constData(), std::size_t(name.size())) == 1;
    }
    return X509_VERIFY_PARAM_set1_ip_asc(param, host.toLatin1().constData()) == 1;
}

} // namespace

bool missingRootExplains(QWebEngineCertificateError::Type type)
{
    return type == QWebEngineCertificateError::CertificateAuthorityInvalid;
}

bool chainTrusted(const QList<QSslCertificate> &chain, const QString &host, const Roots &roots)
{
    if (chain.isEmpty() || host.isEmpty())
        return false;
    const Store store(X509_STORE_new());
    if (!store)
        return false;
    if (roots.systemStore)
        loadSystemStore(store.get());
    for (const QString &file : roots.files)
        X509_STORE_load_file(store.get(), QFile::encodeName(file).constData());

    const Certificate leaf = toX509(chain.first());
    const Chain untrusted(sk_X509_new_null());
    if (!leaf || !untrusted)
        return false;
    for (qsizetype i = 1; i < chain.size(); ++i) {
        Certificate next = toX509(chain[i]);
        if (next && sk_X509_push(untrusted.get(), next.get()) > 0)
            next.release();
    }
    const StoreContext context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), store.get(), leaf.get(), untrusted.get()) != 1)
        return false;
    X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
    if (!setHost(X509_STORE_CTX_get0_param(context.get()), host))
        return false;
    return X509_verify_cert(context.get()) == 1;
}

bool accepts(QWebEngineCertificateError::Type type, const QList<QSslCertificate> &chain, const QString &host,
             const Roots &roots)
{
    return missingRootExplains(type) && chainTrusted(chain, host, roots);
}

} // namespace pagetrust
