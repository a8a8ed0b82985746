#pragma once

#include <QString>
#include <QUrl>
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

// Why a load failed, as the error page reads it from its address's fragment:
// "http-<status>" for an HTTP error status (the page is missing or broken, the
// platform answered), "unreachable" when the platform could not be reached
// (refused, name not found, timed out; RecoveryPolicy.h), "certificate" when
// its certificate was refused, "failed" for any other error of the engine.
QString errorPageReason(int statusCode);

// The reason when the page's renderer ended abnormally twice in a row.
QString crashedPageReason();

// The error page's own address, carrying the reason in its fragment.
QUrl errorPageAddress(const QString &errorPagePath, int statusCode);
QUrl errorPageAddress(const QString &errorPagePath, const QString &reason);

// The error page's text with every {{START_URL}} replaced by the start
// address and every {{FAILED_HOST}} by the host that failed, each escaped
// for use inside HTML text and quoted attributes.
QString fillErrorPage(const QString &page, const QString &startAddress, const QString &failedHost = {});
