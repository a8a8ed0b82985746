#pragma once

#include <QString>
#include <QWebEngineLoadingInfo>

// The page shown in place of one that could not be loaded, and when it is.

// The error page is the file "error" in the current directory, else the one
// in the program folder (which ends in '/'); empty when neither exists.
QString findErrorPage(const QString &currentDir, const QString &programFolder);

// Whether a load that has just ended sends the view to the error page. Only
// a failure does (an HTTP error status, no connection, an unknown host, a
// missing file); a load that was stopped or replaced, or that turned into a
// download, does not. The error page's own load never does, so a broken error
// page cannot loop.
bool redirectsToErrorPage(QWebEngineLoadingInfo::LoadStatus status, bool loadIsErrorPage);

// Whether an HTTP status (or a negative network error code) stands for a
// failed navigation: only errors, from 400 on, do; success and redirects don't.
bool httpStatusFails(int status);

// The error page's text with every {{START_URL}} replaced by the start
// address, escaped for use inside HTML text and quoted attributes.
QString fillErrorPage(const QString &page, const QString &startAddress);
