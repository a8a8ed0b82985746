#include "service/TlsTrust.h"

#include "stdsoap2.h"

#if defined(WITH_OPENSSL)
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#endif

void addTrustedRoots(struct soap *soap, const std::vector<std::string> &files)
{
#if defined(WITH_OPENSSL)
    if (!soap->ctx)
        return;
    X509_STORE *store = SSL_CTX_get_cert_store(soap->ctx);
    for (const std::string &file : files)
        X509_STORE_load_file(store, file.c_str());
#else
    (void)soap;
    (void)files;
#endif
}

bool certificateRefused(int code, std::string_view report)
{
    // The runtime says "certificate verify failed" when the handshake ends
    // over the chain, and names the certificate when the host does not match.
    return code == SOAP_SSL_ERROR && report.find("certificate") != std::string_view::npos;
}
