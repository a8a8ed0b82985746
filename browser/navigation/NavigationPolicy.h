#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// What the client shows itself and what it leaves to the system: a window
// without an address bar that looks like the platform must not show another
// site.

// How a navigation was started, as the engine reports it; NewWindow is a
// window.open() or a link with a target.
enum class NavigationStart { Typed, LinkClicked, FormSubmitted, NewWindow, Redirect, BackForward, Reload, Other };

enum class NavigationDecision {
    Stay,        // the engine goes on with it
    OpenOutside, // handed to the system (browser, mail program); the page stays as it was
    Ignore,      // not opened at all
};

// The hosts whose pages the client shows: the start address's, the web
// site's and the login service's, the subdomains of the site's domain (its
// host without a leading "www."), and the extra hosts a deployment names,
// each with its subdomains. Hosts are compared in their ASCII (IDNA) form,
// without their port or user info.
class PlatformHosts final
{
public:
    static PlatformHosts of(const QString &startAddress, const QString &site, const QString &loginEndpoint,
                            const QStringList &extraHosts);

    bool contains(const QUrl &url) const;

private:
    void addHost(const QString &host);
    void addDomain(const QString &domain);

    QStringList m_hosts;
    QStringList m_domains;
};

// The rule: the platform's pages, redirects, sub-frames, history and the
// client's own loads (start address, address dialog) stay in the client; a
// foreign page the user opens from a page (link, form, new window) and every
// non-web scheme (mailto:, tel:) go to the system; javascript:, data:, blob:
// and about: stay with the engine; file: from a page is not opened.
NavigationDecision navigationDecision(const QUrl &url, NavigationStart start, bool mainFrame,
                                      const PlatformHosts &hosts);
