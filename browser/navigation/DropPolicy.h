#pragma once

#include <QUrl>
#include <QWebEnginePage>

// Whether the page may go to `url` by a navigation of `type`. A file dropped
// on a page that does not take drops reaches the engine as a click on a link
// to the local file: neither that nor any other page-made way to a local file
// opens it (nor, for a file the engine cannot show, starts a download). The
// client's own loads (typed), reloads and history stay as they are.
bool pageMayOpen(const QUrl &url, QWebEnginePage::NavigationType type);
