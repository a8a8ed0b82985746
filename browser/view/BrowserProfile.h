#pragma once

#include <QByteArray>

class QWebEngineProfile;

// What every request of the client's pages carries as its languages:
// Simplified Chinese, whatever the system locale.
QByteArray pageAcceptLanguage();

// Sets up a profile for the client's pages: their languages, and the per-host
// zoom memory.
void configureBrowserProfile(QWebEngineProfile *profile);
