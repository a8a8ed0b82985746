#pragma once

#include <QUrl>

// Whether a page's request to go full screen, from `origin`, is granted while
// `pageUrl` is on screen: only the page's own, never a frame of another host's.
bool mayGoFullScreen(const QUrl &origin, const QUrl &pageUrl);
