#pragma once

#include <QUrl>

class PlatformHosts;

// Whether a page's request to go full screen, from `origin`, is granted while
// `pageUrl` is on screen: the page's own, or a frame of another of the
// platform's hosts on a platform page; never a frame of a foreign host's.
bool mayGoFullScreen(const QUrl &origin, const QUrl &pageUrl, const PlatformHosts &hosts);
