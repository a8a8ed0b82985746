#include "browser/view/PageCertificates.h"

#include "base/Trace.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

void PageCertificates::attach(QWebEnginePage *page, const pagetrust::Roots &roots)
{
    new PageCertificates(page, roots);
}

PageCertificates::PageCertificates(QWebEnginePage *page, pagetrust::Roots roots)
    : QObject(page), m_roots(std::move(roots))
{
    connect(page, &QWebEnginePage::certificateError, this,
            [this](const QWebEngineCertificateError &error) { onCertificateError(error); });
}

void PageCertificates::onCertificateError(const QWebEngineCertificateError &error)
{
    const QString host = error.url().host();
    if (!error.isOverridable() || !pagetrust::missingRootExplains(error.type())) {
        trace("certificate refused", host.toStdString());
        QWebEngineCertificateError(error).rejectCertificate();
        return;
    }
    // Reading the system's store takes a while: the engine waits for the answer.
    QWebEngineCertificateError pending(error);
    pending.defer();
    auto *watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [watcher, pending, host]() mutable {
        watcher->deleteLater();
        const bool trusted = watcher->result();
        trace(trusted ? "certificate trusted" : "certificate refused", host.toStdString());
        if (trusted)
            pending.acceptCertificate();
        else
            pending.rejectCertificate();
    });
    watcher->setFuture(QtConcurrent::run(pagetrust::chainTrusted, error.certificateChain(), host, m_roots));
}
