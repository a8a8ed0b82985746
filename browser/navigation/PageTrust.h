#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <QWebEngineCertificateError>

// The pages trust what the login call trusts: the system's CA store (the
// same files the login call reads) and the roots the administrator adds
// (TrustedRootCertificates). The engine verifies against roots of its own,
// so a chain it refuses for want of a root is checked here once more.
namespace pagetrust {

struct Roots
{
    // The system's CA file and folder; off only in tests.
    bool systemStore = true;
    // PEM files; each may hold several certificates.
    QStringList files;
};

// Whether the engine's refusal is one that a root it does not know explains.
// An expired, revoked, weak or misnamed certificate is never one.
bool missingRootExplains(QWebEngineCertificateError::Type type);

// Whether `chain` (the server's own certificate first, as presented)
// verifies for a TLS server named `host` (a name or an address) against
// `roots`, now. Never for a host the certificate does not name. Safe on any
// thread.
bool chainTrusted(const QList<QSslCertificate> &chain, const QString &host, const Roots &roots);

// The whole decision on an engine's certificate error.
bool accepts(QWebEngineCertificateError::Type type, const QList<QSslCertificate> &chain, const QString &host,
             const Roots &roots);

} // namespace pagetrust
