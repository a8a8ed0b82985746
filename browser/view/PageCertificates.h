#pragma once

#include "browser/navigation/PageTrust.h"

#include <QObject>

class QWebEngineCertificateError;
class QWebEnginePage;

// Answers a page's certificate errors for the client: a chain the engine
// refused only for want of a root is checked against the client's own trust
// (PageTrust.h) off the UI thread, and taken when that trust holds it for
// the host the page asked for; everything else is refused. Never the page's
// choice, and never the user's: there is nothing to "proceed anyway" with.
class PageCertificates final : public QObject
{
    Q_OBJECT

public:
    // Answers `page`'s errors from now on; lives as long as the page.
    static void attach(QWebEnginePage *page, const pagetrust::Roots &roots);

private:
    PageCertificates(QWebEnginePage *page, pagetrust::Roots roots);
    void onCertificateError(const QWebEngineCertificateError &error);

    pagetrust::Roots m_roots;
};
