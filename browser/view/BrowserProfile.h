#pragma once

#include <QByteArray>

class QWebEngineProfile;

// What every request of the client's pages carries as its languages:
// Simplified Chinese, whatever the system locale.
QByteArray pageAcceptLanguage();

// Sets up a profile for the client's pages: their languages, the per-host
// zoom memory, the PDF viewer and the pages' desktop notifications.
void configureBrowserProfile(QWebEngineProfile *profile);
